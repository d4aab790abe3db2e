// The trace data file: the code tree written element by element, and the tree rebuilt from
// it with every index (offset index, pending targets, target index, code cache twins,
// scopes and labels). Both directions stream and keep their own stack, so neither the size
// nor the depth of a tree is bounded by memory for a DOM or by the call stack.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "project/Project.h"
#include "project/SnesProject.h"
#include "xml/Xml.h"

namespace orvanel {

// --- writing -------------------------------------------------------------------------------

namespace {

// Writes the children of `item` (top level when null), each element with its subtree.
void WriteItems(TXmlWriter& writer, const TCodeTree& tree, const TTreeItem* item) {
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
    child->Line()->WriteXml(writer);
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

void TProject::WriteTraceData(const std::string& fileName) {
  TBusyScope busy(ui_);
  TXmlStreamWriter writer(fileName);
  writer.StartElement("tracedata");
  if (!tree_.Empty()) WriteSubtree(writer, nullptr);
  writer.EndElement();
  writer.Commit();
  LogSaved = true;  // only once the file is really there
}

bool TProject::SaveTraceData() {
  if (TraceDataDialog.FileName.empty() && !ui_.ExecuteFileDialog(TraceDataDialog)) return false;
  WriteTraceData(TraceDataDialog.FileName);
  return true;
}

// --- reading -------------------------------------------------------------------------------

namespace {

// The lines of a file, counted in large blocks: the maximum of the progress shown while the
// file is read twice (checked, then built).
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

// Reports the line a reader has reached, now and then.
class TReadProgress {
 public:
  TReadProgress(TUserInterface& ui, int64_t lines) : ui_(ui) { ui_.ProgressStart(2 * lines); }
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

class TTreeBuilder {
 public:
  TTreeBuilder(TProject& project, TXmlStreamReader& reader, TReadProgress& progress,
               int64_t progressBase)
      : p_(project), r_(reader), progress_(progress), progressBase_(progressBase) {}
  void Run();

 private:
  struct TLevel {
    TTraceFileLine* ParentLine = nullptr;
    TTreeItem* ParentItem = nullptr;
    bool FirstChild = true;  // the next element is the parent's first child
    bool TestName = false;   // a nested level is read only when its first child is a line
    bool Skipping = false;   // the rest of this level is passed over
  };
  // Builds the line of the current element and places it; returns its item.
  TTreeItem* Place(TLevel& level, bool isFirstChild);

  TProject& p_;
  TXmlStreamReader& r_;
  TReadProgress& progress_;
  int64_t progressBase_;
};

void TTreeBuilder::Run() {
  // Find the document element; its children are the top level, whatever their names.
  TXmlStreamReader::TNode node;
  while ((node = r_.Next()) != TXmlStreamReader::TNode::End)
    if (node == TXmlStreamReader::TNode::Element) break;
  if (node != TXmlStreamReader::TNode::Element || r_.IsEmptyElement()) return;

  std::vector<TLevel> levels(1);
  while ((node = r_.Next()) != TXmlStreamReader::TNode::End) {
    if (node == TXmlStreamReader::TNode::EndElement) {
      levels.pop_back();
      if (levels.empty()) return;  // the end of the document element
      continue;
    }
    if (node != TXmlStreamReader::TNode::Element) continue;
    progress_.At(progressBase_ + r_.Line());

    TLevel& level = levels.back();
    bool first = level.FirstChild;
    level.FirstChild = false;
    if (!level.Skipping && first && level.TestName && r_.Name() != "traceline")
      level.Skipping = true;  // only the first child is tested; it decides for the level
    TTreeItem* item = nullptr;
    if (!level.Skipping) {
      try {
        item = Place(level, first);
      } catch (const std::exception& e) {
        std::string text(r_.Attribute("linetext").value_or(""));
        p_.Message(text.empty() ? std::string(e.what()) : text);
        level.Skipping = true;  // the remaining siblings on this level are skipped
      }
    }
    if (r_.IsEmptyElement()) continue;
    TLevel child;
    child.TestName = true;
    if (item) {
      child.ParentLine = item->Line();
      child.ParentItem = item;
    } else {
      child.Skipping = true;
    }
    levels.push_back(child);
  }
}

TTreeItem* TTreeBuilder::Place(TLevel& level, bool isFirstChild) {
  std::unique_ptr<TTraceFileLine> fresh = p_.CreateLineFromXml(r_);
  TCodeTree& tree = p_.Tree();
  if (fresh->IsComment()) {
    TTraceFileLine* comment = p_.Adopt(std::move(fresh));
    return tree.AddChild(level.ParentItem, comment);
  }

  TTraceFileLine* raw = fresh.get();
  TTraceFileLine* line = p_.RegisterInIndex(raw);
  if (line == raw) p_.Adopt(std::move(fresh));

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

  if (isFirstChild && level.ParentLine) level.ParentLine->SetTargetNode(line);
  return tree.AddChild(level.ParentItem, line);
}

}  // namespace

void TProject::LoadTraceData() {
  TMessageFlushScope flush(messages_, ui_);
  TBusyScope busy(ui_);
  const std::string& name = TraceDataDialog.FileName;
  if (!name.empty()) {
    const int64_t lines = CountLines(name);
    TReadProgress progress(ui_, lines);
    {
      // The whole file must be well-formed before anything changes.
      TXmlStreamReader check(name);
      while (check.Next() != TXmlStreamReader::TNode::End) progress.At(check.Line());
    }
    TXmlStreamReader reader(name);
    TTreeRebuild rebuild(tree_);  // the views hear of one reset, not of every line
    TTreeBuilder(*this, reader, progress, lines).Run();
    ui_.ProgressPosition(2 * lines);
  }
  LogSaved = true;
  if (!tree_.Empty()) LogLoaded = true;
}

}  // namespace orvanel
