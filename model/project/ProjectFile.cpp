// The project file: the names of the other files, the project's name and type, and the
// bookmarks; and the save sequence that writes every file of a project.
#include <filesystem>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "project/Project.h"
#include "project/SnesProject.h"
#include "xml/SaveCommit.h"
#include "xml/Xml.h"

namespace orvanel {

namespace {

namespace fs = std::filesystem;

// Paths are written absolute, so that a project file names its files from anywhere.
std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// A relative path is taken relative to the project file's folder; an absolute path that is
// missing falls back to a file of the same name beside the project file.
std::string ResolvePath(const std::string& value, const std::string& projectFile) {
  if (value.empty()) return value;
  fs::path folder = fs::path(projectFile).parent_path();
  fs::path p(value);
  std::error_code ec;
  if (p.is_relative()) return (folder / p).lexically_normal().string();
  if (fs::exists(p, ec)) return value;
  fs::path beside = folder / p.filename();
  if (!p.filename().empty() && fs::exists(beside, ec)) return beside.string();
  return value;
}

std::string ChildText(const TXmlElement& root, const char* name) {
  TXmlElement e = root.FirstChildElement(name);
  return e ? e.Text() : std::string();
}

}  // namespace

// --- bookmarks ---------------------------------------------------------------------------------

TMenuEntry* TProject::AddBookmark(const std::string& offsetText, const std::string& name) {
  if (const TBookmarkList::Entry* existing = bookmarks_.Find(offsetText))
    return existing->MenuEntry.get();
  auto entry = std::make_unique<TMenuEntry>();
  entry->Caption = name;
  entry->Hint = offsetText;
  entry->Tag = StrToInt(offsetText);
  TMenuEntry* added = bookmarks_.Append(offsetText, name, std::move(entry));
  saved_ = false;
  if (TTraceFileLine* line = FindInIndex(added->Tag)) line->SetFlag(lfIsBookmarked, true);
  return added;
}

bool TProject::NewBookmark(const std::string& offsetText, const std::string& name) {
  if (bookmarks_.Find(offsetText)) {
    ui_.ShowMessage("Bookmark for offset " + offsetText + " alreay defined");
    return false;
  }
  AddBookmark(offsetText, name);
  return true;
}

TMenuEntry* TProject::ReadBookmark(const TXmlElement& element) {
  std::string offsetText(element.Attribute("offset").value_or(""));
  std::string name = element.Text();
  auto entry = std::make_unique<TMenuEntry>();
  entry->Caption = name;
  entry->Tag = StrToInt(offsetText);  // checked before the entry joins the list
  TMenuEntry* added = bookmarks_.Append(offsetText, name, std::move(entry));
  if (TTraceFileLine* line = FindInIndex(added->Tag)) line->SetFlag(lfIsBookmarked, true);
  return added;
}

void TProject::ReadBookmarks(const TXmlElement& root) {
  TXmlElement list = root.FirstChildElement("bookmarks");
  if (!list) return;
  for (TXmlElement e = list.FirstChildElement(); e; e = e.NextSiblingElement()) ReadBookmark(e);
}

void TProject::WriteBookmarks(TXmlElement& root) const {
  TXmlElement list = root.AppendChild("bookmarks");
  for (const TBookmarkList::Entry& e : bookmarks_.Entries()) {
    TXmlElement b = list.AppendChild("bookmark");
    b.SetAttribute("offset", e.OffsetText);
    b.SetText(e.Name);
  }
}

std::vector<TMenuEntry*> TProject::FillBookmarkMenu() const {
  std::vector<TMenuEntry*> entries;
  for (const TBookmarkList::Entry& e : bookmarks_.Entries()) entries.push_back(e.MenuEntry.get());
  return entries;
}

TTreeItem* TProject::BookmarkClick(const TMenuEntry& entry) const {
  return FindNodeByOffset(+1, 0, entry.Tag);
}

// --- project file ------------------------------------------------------------------------------

void TProject::WriteProjectXml(TXmlDocument& doc, TSaveCommit& commit) {
  TXmlElement root = doc.SetRoot("project");
  root.SetAttribute("name", ProjectName);
  root.SetAttribute("projecttype", std::to_string(ProjectType));
  // Written only when on, so a project without the setting is the file it always was.
  if (InterruptLevels) root.SetAttribute("interruptlevels", "TRUE");
  root.AppendChild("tracefile").SetText(LogLoaded ? AbsolutePath(TraceDataDialog.FileName) : "");
  root.AppendChild("mapfile").SetText(
      scopeManager_ ? AbsolutePath(scopeManager_->FileDialog().FileName) : "");
  TSNESLabelManager* labels = LabelManager();
  root.AppendChild("labels").SetText(labels ? AbsolutePath(labels->FileDialog().FileName) : "");
  if (codeCache_) {
    root.AppendChild("codecachefile").SetText(AbsolutePath(codeCache_->TraceDataDialog.FileName));
    codeCache_->SaveTraceData(&commit);
  } else {
    root.AppendChild("codecachefile");
  }
  WriteBookmarks(root);
  AfterWriteFiles(doc);
}

void TProject::WriteProjectFile(const std::string& fileName, TSaveCommit& commit) {
  TXmlDocument doc;
  WriteProjectXml(doc, commit);
  doc.SaveFile(fileName, &commit);
}

void TProject::ReadProjectXml(const TXmlDocument& doc) {
  TXmlElement root = doc.Root();
  if (!root || root.Name() != "project")
    throw EXmlError("\"" + doc.FileName() + "\" is not an Orvanel project file");
  ProjectFileName = doc.FileName();
  ProjectName = std::string(root.Attribute("name").value_or(""));
  ProjectType = static_cast<uint8_t>(StrToInt(root.Attribute("projecttype").value_or("")));
  InterruptLevels = root.Attribute("interruptlevels").value_or("") == "TRUE";

  TraceLogDialog.Title = "Load Trace File";
  std::string traceFile = ResolvePath(ChildText(root, "tracefile"), ProjectFileName);
  if (!traceFile.empty()) {
    TraceLogDialog.FileName = traceFile;
    TraceDataDialog.FileName = traceFile;
  }
  if (scopeManager_)
    scopeManager_->FileDialog().FileName = ResolvePath(ChildText(root, "mapfile"), ProjectFileName);
  if (codeCache_)
    codeCache_->TraceDataDialog.FileName =
        ResolvePath(ChildText(root, "codecachefile"), ProjectFileName);
  AfterReadFiles(doc);
  if (TSNESLabelManager* labels = LabelManager()) {
    TXmlElement e = root.FirstChildElement("labels");
    labels->FileDialog().FileName = e ? ResolvePath(e.Text(), ProjectFileName) : std::string();
  }
  if (scopeManager_) scopeManager_->LoadFiles(*this);
  if (codeCache_) {
    LoadCodeCacheFile();
    if (codeCache_->ReadWithErrors()) SetReadWithErrors(true);
  }
  LoadTraceData();
  ReadBookmarks(root);
  saved_ = true;
}

void TProject::LoadCodeCacheFile() {
  const std::string& name = codeCache_->TraceDataDialog.FileName;
  std::error_code ec;
  if (name.empty() || fs::exists(name, ec) || ec) {
    codeCache_->LoadTraceData();
    return;
  }
  // The code cache only collects copies: without its file the project is still whole. The
  // cache is marked modified, so the next save writes the file.
  ui_.ShowMessage("The code cache file \"" + name +
                  "\" is missing; the project opens with an empty code cache, and the next "
                  "save writes the file.");
  codeCache_->SetSaved(false);
}

// --- saving ------------------------------------------------------------------------------------

bool TProject::Save() {
  TSaveCommit commit;
  return Save(commit);
}

bool TProject::Save(TSaveCommit& commit) {
  TBusyScope busy(ui_);
  // A save that stops or fails leaves no file behind.
  struct TDiscardUnlessCommitted {
    TSaveCommit& Commit;
    ~TDiscardUnlessCommitted() { Commit.Discard(); }
  } discard{commit};
  if (scopeManager_ && !scopeManager_->SaveFiles(ui_, &commit)) return false;
  if (!SaveTraceData(&commit)) return false;
  if (ProjectFileName.empty()) {
    if (!ui_.ExecuteFileDialog(ProjectFileDialog)) {
      saved_ = false;
      return false;
    }
    ProjectFileName = ProjectFileDialog.FileName;
  }
  if (codeCache_)
    codeCache_->TraceDataDialog.FileName =
        fs::path(ProjectFileName).replace_extension(".tcc").string();
  WriteProjectFile(ProjectFileName, commit);
  commit.Commit(ProjectFileName);
  LogSaved = true;
  if (codeCache_) {
    codeCache_->LogSaved = true;
    codeCache_->SetSaved(true);
  }
  saved_ = true;
  return true;
}

}  // namespace orvanel
