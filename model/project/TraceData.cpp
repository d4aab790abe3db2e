// The trace data file: the code tree written element by element, and the tree rebuilt from
// it with every index (offset index, pending targets, target index, code cache twins,
// scopes and labels). Both directions stream and keep their own stack, so neither the size
// nor the depth of a tree is bounded by memory for a DOM or by the call stack.
#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/Errors.h"
#include "base/InputFile.h"
#include "base/TextUtils.h"
#include "project/Project.h"
#include "project/SnesProject.h"
#include "records/SnesTraceLine.h"
#include "xml/Xml.h"

namespace orvanel {

// --- writing -------------------------------------------------------------------------------

namespace {

// Passes everything on but the comment. A record's fields are read from the first element
// of its offset, so its comment is written there only: a long comment on a line executed
// thousands of times would otherwise fill the file thousands of times over.
class TCommentlessWriter : public TXmlWriter {
 public:
  explicit TCommentlessWriter(TXmlWriter& writer) : writer_(writer) {}
  void StartElement(std::string_view name) override { writer_.StartElement(name); }
  void Attribute(std::string_view name, std::string_view value) override {
    if (name != "comment") writer_.Attribute(name, value);
  }
  void EndElement() override { writer_.EndElement(); }

 private:
  TXmlWriter& writer_;
};

// Writes the children of `item` (top level when null), each element with its subtree.
void WriteItems(TXmlWriter& writer, const TCodeTree& tree, const TTreeItem* item) {
  TCommentlessWriter commentless(writer);
  std::unordered_set<const TTraceFileLine*> commentWritten;  // instructions shown more than once
  struct TFrame {
    const std::vector<TTreeItem*>* Children;
    size_t Next;
  };
  const std::vector<TTreeItem*>& first = item ? item->Children() : tree.TopLevel();
  std::vector<TFrame> stack{{&first, 0}};
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    if (frame.Next >= frame.Children->size()) {
      stack.pop_back();
      if (!stack.empty()) writer.EndElement();  // the element whose children these were
      continue;
    }
    const TTreeItem* child = (*frame.Children)[frame.Next++];
    const TTraceFileLine* line = child->Line();
    // Comment records are read anew from every element; instructions from their first.
    const bool repeated = !line->IsComment() && line->itemCount_ > 1 && !line->Comment().empty() &&
                          !commentWritten.insert(line).second;
    line->WriteXml(repeated ? commentless : writer, child->Registers());
    if (child->HasChildren())
      stack.push_back({&child->Children(), 0});
    else
      writer.EndElement();
  }
}

}  // namespace

void TProject::WriteSubtree(TXmlWriter& writer, const TTreeItem* item) const {
  if (tree_.Empty()) return;
  WriteItems(writer, tree_, item);
}

void TSNESCodeCache::WriteSubtree(TXmlWriter& writer, const TTreeItem* item) const {
  WriteItems(writer, tree_, item);
}

void TProject::WriteTraceData(const std::string& fileName, TSaveCommit* commit) {
  TBusyScope busy(ui_);
  TXmlStreamWriter writer(fileName, commit);
  writer.StartElement("tracedata");
  if (!tree_.Empty()) WriteSubtree(writer, nullptr);
  writer.EndElement();
  writer.Commit();
  if (!commit) LogSaved = true;  // only once the file is really there
}

bool TProject::SaveTraceData(TSaveCommit* commit) {
  if (TraceDataDialog.FileName.empty() && !ui_.ExecuteFileDialog(TraceDataDialog)) return false;
  WriteTraceData(TraceDataDialog.FileName, commit);
  return true;
}

// --- reading -------------------------------------------------------------------------------

namespace {

// The lines of a file, counted in large blocks: the maximum of the progress shown while the
// file is read.
int64_t CountLines(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::vector<char> block(1 << 20);
  int64_t lines = 1;
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    lines += std::count(block.data(), block.data() + in.gcount(), '\n');
  }
  return lines;
}

// The start of a long text for a message, not cut inside a UTF-8 character.
std::string Shown(std::string_view text) {
  constexpr size_t kShown = 80;
  if (text.size() <= kShown) return std::string(text);
  size_t end = kShown;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "...";
}

// Reports the line a reader has reached, now and then.
class TReadProgress {
 public:
  TReadProgress(TUserInterface& ui, int64_t lines) : ui_(ui) { ui_.ProgressStart(lines); }
  ~TReadProgress() { ui_.ProgressEnd(); }
  TReadProgress(const TReadProgress&) = delete;
  TReadProgress& operator=(const TReadProgress&) = delete;
  void At(int64_t position) {
    if (position - last_ >= 4096) {
      last_ = position;
      ui_.ProgressPosition(position);
    }
  }

 private:
  TUserInterface& ui_;
  int64_t last_ = 0;
};

// Reads a trace data file in one pass. While the file is read, its elements become items of
// the project's tree showing fresh records that nothing else knows yet; an element of an
// offset read before shows that offset's record again and only its registers are read. Once
// the whole file was read, the new items are placed in document order: the offset index,
// the target index, code cache twins, scopes, labels and pending targets. A file that breaks
// part-way takes its items, records and messages away again, so the project is as it was.
class TTreeBuilder {
 public:
  TTreeBuilder(TProject& project, TXmlStreamReader& reader, TReadProgress& progress,
               std::string fileName)
      : p_(project),
        r_(reader),
        progress_(progress),
        tree_(project.Tree()),
        fileName_(std::move(fileName)) {}
  void Run();
  // Lines of the file that are not in the tree because of a fault, and values left out.
  int64_t Dropped() const { return dropped_; }
  int64_t Refused() const { return refused_; }

 private:
  struct TLevel {
    TTreeItem* ParentItem = nullptr;
    bool FirstChild = true;  // the next element is the parent's first child
    bool TestName = false;   // a nested level is read only when its first child is a line
    bool Skipping = false;   // the rest of this level is passed over
    bool Dropping = false;   // ... because a line of it could not be read
  };
  std::string Where(int line) const {
    return "\"" + fileName_ + "\", line " + std::to_string(line) + ": ";
  }
  void Read();
  // The item of the current element, with a fresh record or the record read for its offset.
  TTreeItem* Stage(const TLevel& level);
  void PlaceAll();
  void Place(TTreeItem* item);
  void Adopt(TTraceFileLine* record);
  void TakeBack();

  TProject& p_;
  TXmlStreamReader& r_;
  TReadProgress& progress_;
  TCodeTree& tree_;
  std::string fileName_;
  int64_t dropped_ = 0;
  int64_t refused_ = 0;
  size_t firstNewTop_ = 0;  // the new items start at this top-level row
  size_t messagesBefore_ = 0;
  // Records read from the file and not yet the project's; a record's storeSlot_ is its
  // place here until the project adopts it.
  std::vector<std::unique_ptr<TTraceFileLine>> fresh_;
  std::unordered_map<int64_t, TTraceFileLine*> recordAt_;  // the instruction record per offset
  // Records that lost to a record the project had already indexed at their offset.
  std::unordered_map<const TTraceFileLine*, TTraceFileLine*> replacedBy_;
};

void TTreeBuilder::Run() {
  firstNewTop_ = tree_.TopLevel().size();
  messagesBefore_ = p_.Messages().Count();
  try {
    Read();
  } catch (...) {
    TakeBack();
    throw;
  }
  PlaceAll();
}

void TTreeBuilder::Read() {
  // Find the document element; its children are the top level, whatever their names.
  TXmlStreamReader::TNode node;
  while ((node = r_.Next()) != TXmlStreamReader::TNode::End)
    if (node == TXmlStreamReader::TNode::Element) break;
  if (node != TXmlStreamReader::TNode::Element || r_.IsEmptyElement()) {
    while (r_.Next() != TXmlStreamReader::TNode::End) {
    }  // the rest must be well-formed too
    return;
  }

  std::vector<TLevel> levels(1);
  while ((node = r_.Next()) != TXmlStreamReader::TNode::End) {
    if (node == TXmlStreamReader::TNode::EndElement) {
      if (!levels.empty()) levels.pop_back();
      continue;
    }
    if (node != TXmlStreamReader::TNode::Element || levels.empty()) continue;
    progress_.At(r_.Line());

    TLevel& level = levels.back();
    bool first = level.FirstChild;
    level.FirstChild = false;
    if (!level.Skipping && first && level.TestName && r_.Name() != "traceline")
      level.Skipping = true;  // only the first child is tested; it decides for the level
    TTreeItem* item = nullptr;
    if (!level.Skipping) {
      try {
        item = Stage(level);
      } catch (const std::exception& e) {  // the reader's own faults come from Next()
        std::string message = Where(r_.Line()) + e.what();
        if (auto text = r_.Attribute("linetext"); text && !text->empty())
          message += " (the line \"" + Shown(*text) + "\")";
        p_.Message(message + "; it and the lines after it on its level are left out");
        level.Skipping = level.Dropping = true;  // the remaining siblings are skipped
      }
    }
    if (level.Dropping) ++dropped_;
    if (r_.IsEmptyElement()) continue;
    TLevel child;
    child.TestName = true;
    child.ParentItem = item;
    child.Skipping = item == nullptr;
    child.Dropping = item == nullptr && level.Dropping;
    levels.push_back(child);
  }
}

TTreeItem* TTreeBuilder::Stage(const TLevel& level) {
  TTraceFileLine* record = nullptr;
  std::optional<TItemRegisters> registers;
  if (r_.Attribute("isComment") != "TRUE") {
    // An offset that is no number is reported when the element is read as a record.
    int64_t offset = 0;
    auto known = TryStrToInt(r_.Attribute("offset").value_or(std::string_view()), offset)
                     ? recordAt_.find(offset)
                     : recordAt_.end();
    if (known != recordAt_.end()) {
      // The record of this offset was read before; the element still has to be readable.
      TTraceFileLine::CheckInstructionXml(r_);
      record = known->second;
      registers = record->RecordedRegisters();
      if (registers) TSNESTraceFileLine::ReadRegisterAttributes(r_, *registers);
    }
  }
  if (!record) {
    std::unique_ptr<TTraceFileLine> line = p_.CreateLineFromXml(r_);
    if (!line) return nullptr;  // a project without a dialect makes no lines
    if (auto comment = r_.Attribute("comment");
        comment && comment->size() > TTraceFileLine::kCommentReadLimit) {
      p_.Message(Where(r_.Line()) + "a comment of " + std::to_string(comment->size() >> 10) +
                 " KB is longer than any comment can be (" +
                 std::to_string(TTraceFileLine::kCommentReadLimit >> 10) +
                 " KB); the line is read without it");
      ++refused_;
    }
    record = line.get();
    record->storeSlot_ = static_cast<uint32_t>(fresh_.size());
    fresh_.push_back(std::move(line));
    if (!record->IsComment()) recordAt_.emplace(record->Offset(), record);
    registers = record->RecordedRegisters();
  }
  TTreeItem* item = tree_.AddChild(level.ParentItem, record);
  if (registers && !record->IsComment()) item->SetRegisters(*registers);
  return item;
}

void TTreeBuilder::Adopt(TTraceFileLine* record) {
  p_.Adopt(std::move(fresh_[record->storeSlot_]));
}

void TTreeBuilder::PlaceAll() {
  const auto& top = tree_.TopLevel();
  TTreeItem* item = firstNewTop_ < top.size() ? top[firstNewTop_] : nullptr;
  std::vector<TTreeItem*> dropped;
  while (item) {
    try {
      Place(item);
      item = tree_.NextInOrder(item);
    } catch (const std::exception& e) {
      const std::string& text = item->Line()->LineText();
      p_.Message("\"" + fileName_ + "\": " + e.what() + " (the line \"" + Shown(text) +
                 "\"); it and the lines after it on its level are left out");
      // This item and the siblings after it go, with their subtrees.
      TTreeItem* last = item;
      for (TTreeItem* it = item; it; it = it->NextSibling()) dropped.push_back(last = it);
      TTreeItem* next = TCodeTree::NextAfterSubtree(last);
      for (; item != next; item = tree_.NextInOrder(item)) ++dropped_;
    }
  }
  tree_.Delete(dropped);
  fresh_.clear();  // what no item shows: records that lost to the index or were dropped
}

void TTreeBuilder::Place(TTreeItem* item) {
  TTraceFileLine* record = item->Line();
  if (record->IsComment()) {
    Adopt(record);
    return;
  }
  TTraceFileLine* line = record;
  if (!p_.Store().Contains(record)) {  // the record's first item
    if (auto replaced = replacedBy_.find(record); replaced != replacedBy_.end()) {
      line = replaced->second;
    } else {
      line = p_.RegisterInIndex(record);
      if (line == record)
        Adopt(record);
      else
        replacedBy_.emplace(record, line);
    }
    if (line != record) tree_.Rebind(item, line);
  }

  if (line->HasTarget() && !line->IsCall()) p_.TargetIndex().Add(line->TargetOffset(), line);

  TSNESScopeManager* scopes = p_.ScopeManager();
  if (TSNESCodeCache* cache = p_.CodeCache()) {
    TTraceFileLine* twin = cache->FindInIndex(line->Offset());
    line->SetCacheTwin(twin);
    if (twin) twin->SetCacheTwin(line);
    if (!line->Scope() && scopes) line->AttachScope(scopes->FindScope(*line, false));
  } else if (!line->Scope() && scopes) {
    line->AttachScope(scopes->FindScope(*line, true));  // the code cache's own key form
  }

  line->SetOffsetLabel(p_.FindLabel(line->Offset()));

  if (!p_.PendingTargets().Empty()) {
    for (TTraceFileLine* source : p_.PendingTargets().Take(line->Offset())) {
      source->SetTargetNode(line);
      if (source->HasTarget() && source->TargetRef()) line->SetOffsetLabel(source->TargetRef());
    }
  }

  if (line->IsFlow() && !line->TargetNode()) {
    line->SetTargetNode(p_.FindInIndex(line->TargetOffset()));
    if (!line->TargetNode()) p_.PendingTargets().Add(line->TargetOffset(), line);
  }

  // A node's first child becomes its target.
  if (item->Row() == 0 && item->Parent()) item->Parent()->Line()->SetTargetNode(line);
}

void TTreeBuilder::TakeBack() {
  const auto& top = tree_.TopLevel();
  if (firstNewTop_ < top.size())
    tree_.Delete(std::vector<TTreeItem*>(top.begin() + static_cast<std::ptrdiff_t>(firstNewTop_),
                                         top.end()));
  fresh_.clear();
  p_.Messages().TruncateTo(messagesBefore_);
}

}  // namespace

void TProject::LoadTraceData() {
  TMessageFlushScope flush(messages_, ui_);
  TBusyScope busy(ui_);
  const std::string& name = TraceDataDialog.FileName;
  if (!name.empty()) {
    // A code cache holds what the user dragged there, never a whole trace.
    const bool codeCache = dynamic_cast<const TSNESCodeCache*>(this) != nullptr;
    TXmlStreamReader reader(name, codeCache ? kProjectFileSizeLimit : kNoSizeLimit);
    const int64_t lines = CountLines(name);  // a regular file: the reader has seen to that
    TReadProgress progress(ui_, lines);
    TTreeRebuild rebuild(tree_);  // the views hear of one reset, not of every line
    TTreeBuilder builder(*this, reader, progress, name);
    builder.Run();
    ui_.ProgressPosition(lines);
    if (builder.Dropped() > 0 || builder.Refused() > 0) {
      SetReadWithErrors(true);
      if (builder.Dropped() > 0)
        Message("\"" + name + "\" was read with errors: " + std::to_string(builder.Dropped()) +
                " of its lines are left out of the tree");
    }
  }
  LogSaved = true;
  if (!tree_.Empty()) LogLoaded = true;
}

}  // namespace orvanel
