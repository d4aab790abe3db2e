#include "project/ProjectSession.h"

#include <filesystem>

#include "base/Errors.h"
#include "base/InputFile.h"
#include "base/TextUtils.h"
#include "xml/SaveCommit.h"
#include "project/LayoutProject.h"
#include "xml/Xml.h"

namespace orvanel {

std::unique_ptr<TSNESProject> CreateProject(int projectType, TUserInterface& ui,
                                            const std::string& programDir) {
  std::unique_ptr<TSNESProject> project;
  if (projectType == 1)
    project = std::make_unique<TSNESProject>(ui);
  else if (projectType == 2)
    project = std::make_unique<TDravikSNESTraceFileProject>(ui);
  else if (const TTraceLayout* layout = LayoutOfProjectType(projectType))
    project = std::make_unique<TLayoutProject>(ui, *layout);
  else
    return nullptr;
  project->Create();
  if (TSNESLabelManager* labels = project->LabelManager()) labels->GetScope("Global", true);
  if (!programDir.empty()) {
    try {
      project->LoadRegisterFile(programDir);
    } catch (const EOrvanelError& e) {
      // A register file that cannot be read costs the register names, not the project.
      ui.ShowMessage(std::string(kUnreadableRegisterFile) + "\n" + e.what());
    }
  }
  return project;
}

void StartNewProject(TSNESProject& project) {
  project.ScopeManager()->GetScope("Global", true);
  project.ImportLog();
  project.ScopeManager()->LoadFiles(project);
}

std::unique_ptr<TSNESProject> NewProject(int projectType, TUserInterface& ui,
                                         const std::string& programDir) {
  std::unique_ptr<TSNESProject> project = CreateProject(projectType, ui, programDir);
  if (!project) return nullptr;
  if (!ui.ExecuteFileDialog(project->TraceLogDialog)) return nullptr;
  if (!ui.ExecuteFileDialog(project->ScopeManager()->FileDialog())) return nullptr;
  StartNewProject(*project);
  return project;
}

std::unique_ptr<TSNESProject> NewProjectOfAnyLayout(TUserInterface& ui,
                                                    const std::string& programDir,
                                                    std::optional<bool>& interruptLevels) {
  TFileDialog dialog;
  dialog.Title = "Load Trace File";
  dialog.Filter = "Trace Logs|*.log;*.txt|Any File|*.*";
  dialog.Option = kInterruptLevelsOption;
  dialog.OptionChecked = interruptLevels.value_or(true);
  if (!ui.ExecuteFileDialog(dialog)) return nullptr;
  interruptLevels = dialog.OptionChecked;
  const TTraceLayout* layout = RecogniseLayoutOfFile(dialog.FileName);
  if (!layout) throw EFileError(UnknownLayoutMessage());
  std::unique_ptr<TSNESProject> project = CreateProject(layout->ProjectType, ui, programDir);
  project->TraceLogDialog.FileName = dialog.FileName;
  project->InterruptLevels = dialog.OptionChecked;
  ui.ShowMessage(std::string("The log is a ") + layout->Name + ".");
  if (!ui.ExecuteFileDialog(project->ScopeManager()->FileDialog())) return nullptr;
  StartNewProject(*project);
  return project;
}

std::unique_ptr<TSNESProject> OpenProject(const std::string& fileName, TUserInterface& ui,
                                          const std::string& programDir) {
  // A save of this project cut short after its point of no return is finished first, so
  // that the files read are all of one save.
  FinishInterruptedSave(fileName);
  TXmlDocument doc = TXmlDocument::LoadFile(fileName);
  TXmlElement root = doc.Root();
  if (!root || root.Name() != "project")
    throw EXmlError("\"" + fileName +
                    "\" is not an Orvanel project file (its root is not \"project\")");
  std::optional<std::string_view> type = root.Attribute("projecttype");
  if (!type)
    throw EXmlError("\"" + fileName + "\" names no project type (\"projecttype\" is missing)");
  int64_t projectType = StrToInt(*type);
  std::unique_ptr<TSNESProject> project =
      CreateProject(static_cast<int>(projectType), ui, programDir);
  if (!project || projectType != project->ProjectType) {
    std::string known;
    for (const TTraceLayout& layout : TraceLayouts())
      known += (known.empty() ? "" : ", ") + std::to_string(layout.ProjectType) + " (" +
               layout.Name + ")";
    throw EXmlError("\"" + fileName + "\" has the project type " + std::string(*type) + "; only " +
                    known + " are known");
  }
  project->ReadProjectXml(doc);
  return project;
}

namespace {

namespace fs = std::filesystem;

std::string WithExtension(const std::string& path, const char* ext) {
  return fs::path(path).replace_extension(ext).string();
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// Names the project file and the trace data file after the project file.
void NameFiles(TSNESProject& project, const std::string& projectFile) {
  project.ProjectFileName = Absolute(projectFile);
  project.TraceDataDialog.FileName = Absolute(WithExtension(projectFile, ".tfd"));
}

}  // namespace

bool ConvertLogToProject(const TConvertOptions& o, TUserInterface& ui) {
  std::error_code ec;
  if (std::string kind = NonRegularKind(o.LogFile); !kind.empty())
    throw EFileError("The log \"" + o.LogFile + "\" is " + kind + ", not a file");
  if (!fs::is_regular_file(o.LogFile, ec))
    throw EFileError("The log \"" + o.LogFile + "\" does not exist");
  auto project = CreateProject(o.Layout     ? o.Layout->ProjectType
                               : o.Debugger ? 2
                                            : 1,
                               ui, o.ProgramDir);
  project->InterruptLevels = o.InterruptLevels.value_or(project->InterruptLevelsByDefault());
  project->TraceLogDialog.FileName = o.LogFile;
  project->ScopeManager()->FileDialog().FileName =
      Absolute(o.MapFile.empty() ? WithExtension(o.ProjectFile, ".tfm") : o.MapFile);
  project->LabelManager()->FileDialog().FileName =
      Absolute(o.LabelFile.empty() ? WithExtension(o.ProjectFile, ".tlm") : o.LabelFile);
  StartNewProject(*project);
  if (o.BeforeSave) o.BeforeSave(*project);
  NameFiles(*project, o.ProjectFile);
  return project->Save();
}

void NameFilesAfter(TSNESProject& project, const std::string& projectFile) {
  NameFiles(project, projectFile);
  project.ScopeManager()->FileDialog().FileName = Absolute(WithExtension(projectFile, ".tfm"));
  project.LabelManager()->FileDialog().FileName = Absolute(WithExtension(projectFile, ".tlm"));
}

std::vector<std::string> SavedFiles(const TSNESProject& project) {
  std::vector<std::string> files;
  auto add = [&](const std::string& name) {
    if (!name.empty()) files.push_back(Absolute(name));
  };
  add(project.ProjectFileName);
  add(project.TraceDataDialog.FileName);
  if (const TSNESScopeManager* scopes = project.ScopeManager()) add(scopes->FileDialog().FileName);
  if (const TSNESLabelManager* labels = project.LabelManager()) add(labels->FileDialog().FileName);
  if (!project.ProjectFileName.empty()) add(WithExtension(project.ProjectFileName, ".tcc"));
  return files;
}

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  fs::path left = fs::weakly_canonical(a, ec);
  if (ec) return false;
  fs::path right = fs::weakly_canonical(b, ec);
  return !ec && left == right;
}

}  // namespace

bool SaveProjectAs(TSNESProject& project, const std::string& outFile) {
  const std::string newNames[] = {Absolute(outFile), Absolute(WithExtension(outFile, ".tfd")),
                                  Absolute(WithExtension(outFile, ".tfm")),
                                  Absolute(WithExtension(outFile, ".tlm")),
                                  Absolute(WithExtension(outFile, ".tcc"))};
  if (project.ReadWithErrors()) {
    const std::string readFrom[] = {
        project.ProjectFileName, project.TraceDataDialog.FileName,
        project.ScopeManager()->FileDialog().FileName,
        project.LabelManager()->FileDialog().FileName,
        project.CodeCache() ? project.CodeCache()->TraceDataDialog.FileName : std::string()};
    for (const std::string& written : newNames)
      for (const std::string& read : readFrom)
        if (SameFile(written, read))
          throw EFileError("\"" + project.ProjectFileName +
                           "\" was read with errors and would lose what could not be read if "
                           "it were saved over \"" +
                           read + "\"; save it under another name");
  }
  NameFilesAfter(project, outFile);
  return project.Save();
}

bool ResaveProject(const std::string& inFile, const std::string& outFile, TUserInterface& ui,
                   const std::string& programDir) {
  auto project = OpenProject(inFile, ui, programDir);
  return SaveProjectAs(*project, outFile);
}

}  // namespace orvanel
