#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <typeinfo>
#include <unordered_set>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/TextUtils.h"
#include "editing/Clipboard.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

const char* const kDeleteQuestion = "Would you like to delete the selected nodes?";

// The tree as "A(B C) D": display texts, children in brackets; instructions by offset.
std::string Shape(const TCodeTree& tree) {
  std::string s;
  std::function<void(const std::vector<TTreeItem*>&)> walk = [&](const auto& items) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (i) s += ' ';
      const TTraceFileLine* l = items[i]->Line();
      s += l->IsComment() ? l->DisplayText() : IntToHex(l->Offset(), 4);
      if (items[i]->HasChildren()) {
        s += '(';
        walk(items[i]->Children());
        s += ')';
      }
    }
  };
  walk(tree.TopLevel());
  return s;
}

// A project whose trees are built by hand from named comment lines.
class TreeEditingTest : public ::testing::Test {
 protected:
  void SetUp() override { project_ = CreateProject(1, ui_, ""); }

  TCodeTree& Tree() { return project_->Tree(); }
  TSNESCodeCache& Cache() { return *project_->CodeCache(); }

  TTreeItem* Add(TProject& p, TTreeItem* parent, const std::string& name, uint8_t flags = 0) {
    auto line = std::make_unique<TTraceFileLine>();
    line->SetFlags(static_cast<uint8_t>(lfIsComment | flags));
    line->SetComment(name);
    TTreeItem* item = p.Tree().AddChild(parent, p.Adopt(std::move(line)));
    named_[name] = item;
    return item;
  }
  TTreeItem* Add(TTreeItem* parent, const std::string& name) {
    return Add(*project_, parent, name);
  }
  // Builds "A(B C) D" style shapes.
  void Build(TProject& p, const std::string& shape) {
    std::vector<TTreeItem*> parents{nullptr};
    std::string name;
    TTreeItem* last = nullptr;
    auto flush = [&] {
      if (!name.empty()) last = Add(p, parents.back(), name);
      name.clear();
    };
    for (char c : shape) {
      if (c == '(') {
        flush();
        parents.push_back(last);
      } else if (c == ')') {
        flush();
        parents.pop_back();
      } else if (c == ' ') {
        flush();
      } else {
        name += c;
      }
    }
    flush();
  }
  void Build(const std::string& shape) { Build(*project_, shape); }
  TTreeItem* N(const std::string& name) { return named_.at(name); }
  void Select(TCodeTree& tree, std::initializer_list<const char*> names) {
    tree.ClearSelection();
    for (const char* n : names) tree.Select(N(n), true);
  }
  void Select(std::initializer_list<const char*> names) { Select(Tree(), names); }

  TFakeUserInterface ui_;
  std::unique_ptr<TSNESProject> project_;
  std::map<std::string, TTreeItem*> named_;
};

// --- selection, delete, insert, rename -------------------------------------------------------

TEST_F(TreeEditingTest, AMultiSelectionNeverHoldsNodesOfTwoParents) {
  Build("A(B C) D");
  Select({"B", "C"});
  EXPECT_EQ(Tree().Selection(), (std::vector<TTreeItem*>{N("B"), N("C")}));
  Tree().Select(N("D"), true);  // another parent: the others are dropped
  EXPECT_EQ(Tree().Selection(), (std::vector<TTreeItem*>{N("D")}));
  EXPECT_FALSE(N("B")->Selected);
}

TEST_F(TreeEditingTest, DeleteAsksThenTakesTheSelectedNodesWithTheirSubtrees) {
  Build("A(B(C) E) F G");
  project_->SetSavedFlag(true);
  Select({"G", "A"});
  ui_.Answers = {TAnswer::No};
  EXPECT_FALSE(project_->CodeKeyDown(TEditKey::Delete) && Tree().Count() != 6u);
  EXPECT_EQ(ui_.Questions, (std::vector<std::string>{kDeleteQuestion}));
  EXPECT_EQ(Shape(Tree()), "A(B(C) E) F G");
  EXPECT_TRUE(project_->Saved());

  EXPECT_TRUE(project_->CodeKeyDown(TEditKey::Cancel));  // Ctrl+Break deletes as well
  EXPECT_EQ(Shape(Tree()), "F");
  EXPECT_FALSE(project_->Saved());
  EXPECT_TRUE(Tree().Selection().empty());
  EXPECT_EQ(project_->Store().Count(), 1u);  // the records of the deleted nodes are freed
}

TEST_F(TreeEditingTest, DeleteWithNothingSelectedAsksAndDeletesNothing) {
  Build("A B");
  EXPECT_TRUE(project_->DeleteSelection());
  EXPECT_EQ(ui_.Questions.size(), 1u);
  EXPECT_EQ(Shape(Tree()), "A B");
}

TEST_F(TreeEditingTest, AProjectKeepsCodeCacheLinesButTheCodeCacheDeletesThem) {
  Build("A");
  Add(*project_, nullptr, "cached", lfIsCodeCacheLine);
  Select({"A", "cached"});
  project_->DeleteSelection();
  EXPECT_EQ(Shape(Tree()), "cached");

  Build(Cache(), "X Y");
  Add(Cache(), nullptr, "fromfile", lfIsCodeCacheLine);
  Select(Cache().Tree(), {"fromfile", "X"});
  Cache().DeleteSelection();
  EXPECT_EQ(Shape(Cache().Tree()), "Y");
  EXPECT_FALSE(project_->IsSaved());
}

TEST_F(TreeEditingTest, MoreNodesThanASixteenBitCountAreDeleted) {
  for (int i = 0; i < 70'000; ++i) Add(nullptr, "n");
  Add(nullptr, "kept");
  for (TTreeItem* item :
       std::vector<TTreeItem*>(Tree().TopLevel().begin(), Tree().TopLevel().end() - 1))
    Tree().Select(item, true);
  project_->DeleteSelection();
  EXPECT_EQ(Shape(Tree()), "kept");
  EXPECT_EQ(project_->Store().Count(), 1u);
}

TEST_F(TreeEditingTest, InsertOnASelectedCommentAddsASecondCommentBeforeIt) {
  Build("A(X) B");
  project_->SetSavedFlag(true);
  Select({"X"});
  ASSERT_TRUE(project_->CodeKeyDown(TEditKey::Insert));
  EXPECT_EQ(Shape(Tree()), "A( X) B");
  const TTraceFileLine* inserted = N("A")->Children()[0]->Line();
  EXPECT_EQ(typeid(*inserted), typeid(TTraceFileLine));  // a plain line of no dialect
  EXPECT_EQ(inserted->Flags(), lfIsComment);
  EXPECT_EQ(inserted->Comment(), "");
  EXPECT_EQ(project_->FindInIndex(0), nullptr);  // not an address of the index
  EXPECT_FALSE(project_->Saved());
  EXPECT_EQ(Tree().Selection(), (std::vector<TTreeItem*>{N("X")}));
}

TEST_F(TreeEditingTest, InsertNeedsASelectedNodeThatIsNoCodeCacheLine) {
  Build("A");
  EXPECT_EQ(project_->InsertComment(), nullptr);
  Add(Cache(), nullptr, "fromfile", lfIsCodeCacheLine);
  Select(Cache().Tree(), {"fromfile"});
  EXPECT_EQ(Cache().InsertComment(), nullptr);
  EXPECT_EQ(Shape(Tree()) + "|" + Shape(Cache().Tree()), "A|fromfile");
}

TEST_F(TreeEditingTest, OnlyCommentLinesAreRenamedAndRenamingKeepsSaved) {
  TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001);
  project_->LogLines() = TLogLines::FromBytes(log.Text());
  project_->ImportLog();
  TTreeItem* nop = Tree().First();
  EXPECT_FALSE(project_->CodeEditing(nop));
  EXPECT_FALSE(project_->CodeEdited(nop, "renamed"));
  EXPECT_EQ(nop->Line()->Comment(), "");

  TTreeItem* note = Add(nullptr, "note");
  project_->SetSavedFlag(true);
  EXPECT_TRUE(project_->CodeEditing(note));
  EXPECT_TRUE(project_->CodeEdited(note, "a better note"));
  EXPECT_EQ(note->Line()->DisplayText(), "a better note");
  // The comment is written with the line: the project and its log are modified.
  EXPECT_FALSE(project_->Saved());
  EXPECT_FALSE(project_->LogSaved);
}

// --- drag and drop ------------------------------------------------------------------------------

TEST_F(TreeEditingTest, ADragCarriesTheSelectionInSelectionOrder) {
  Build("A B C");
  EXPECT_EQ(project_->StartDrag(), nullptr);
  Select({"C", "A"});
  auto drag = project_->StartDrag();
  ASSERT_NE(drag, nullptr);
  EXPECT_EQ(drag->Nodes(), (std::vector<TTreeItem*>{N("C"), N("A")}));
  EXPECT_TRUE(project_->CodeDragOver(drag.get(), N("B")));
  EXPECT_FALSE(project_->CodeDragOver(nullptr, N("B")));  // not a code tree drag
}

TEST_F(TreeEditingTest, ADragWithACodeCacheLineIsRefused) {
  Build("A");
  Add(*project_, nullptr, "cached", lfIsCodeCacheLine);
  Select({"A", "cached"});
  auto drag = project_->StartDrag();
  EXPECT_FALSE(project_->CodeDragOver(drag.get(), N("A")));
  project_->CodeDragDrop(drag.get(), nullptr);
  EXPECT_EQ(Shape(Tree()), "A cached");
}

TEST_F(TreeEditingTest, CtrlDropOfThreeNodesOnANodeWithChildrenAppendsThemInSelectionOrder) {
  Build("T(k1 k2) a b c");
  project_->SetSavedFlag(true);
  Select({"c", "a", "b"});
  auto drag = project_->StartDrag();
  project_->CodeKeyDown(TEditKey::Control);
  project_->CodeDragDrop(drag.get(), N("T"));
  EXPECT_EQ(Shape(Tree()), "T(k1 k2 c a b)");
  EXPECT_TRUE(N("T")->Expanded);
  EXPECT_FALSE(project_->Saved());
}

TEST_F(TreeEditingTest, ADropWithoutCtrlPutsTheNodesBeforeTheTargetInTheirOrder) {
  Build("x(y) a b");
  Select({"b", "a"});
  auto drag = project_->StartDrag();
  project_->CodeDragDrop(drag.get(), N("y"));
  EXPECT_EQ(Shape(Tree()), "x(b a y)");
}

TEST_F(TreeEditingTest, ADropOnEmptySpaceMovesTheNodesToTheEndOfTheTopLevel) {
  Build("P(a b) q");
  Select({"b", "a"});
  auto drag = project_->StartDrag();
  project_->ControlDown = true;
  project_->CodeDragDrop(drag.get(), nullptr);
  EXPECT_EQ(Shape(Tree()), "P q b a");
  // Without Ctrl there is nothing to insert before: the end of the top level as well.
  project_->ControlDown = false;
  Select({"P"});
  auto second = project_->StartDrag();
  project_->CodeDragDrop(second.get(), nullptr);
  EXPECT_EQ(Shape(Tree()), "q b a P");
}

TEST_F(TreeEditingTest, ANodeIsNeverMovedUnderItselfOrItsDescendants) {
  Build("A(B) C");
  Select({"A", "C"});
  auto drag = project_->StartDrag();
  project_->ControlDown = true;
  project_->CodeDragDrop(drag.get(), N("B"));
  EXPECT_EQ(Shape(Tree()), "A(B(C))");
  project_->ControlDown = false;
  Select({"A"});
  auto again = project_->StartDrag();
  project_->CodeDragDrop(again.get(), N("C"));
  EXPECT_EQ(Shape(Tree()), "A(B(C))");
}

TEST_F(TreeEditingTest, ADropTakesOnlyNodesOfItsOwnTree) {
  Build("A");
  Build(Cache(), "X");
  Select(Cache().Tree(), {"X"});
  auto drag = Cache().StartDrag();
  EXPECT_FALSE(project_->CodeDragOver(drag.get(), N("A")));
  project_->CodeDragDrop(drag.get(), N("A"));
  EXPECT_EQ(Shape(Tree()) + "|" + Shape(Cache().Tree()), "A|X");
}

TEST_F(TreeEditingTest, ADragForgetsNodesDeletedWhileItRuns) {
  Build("A B C");
  Select({"A", "B"});
  auto drag = project_->StartDrag();
  project_->DeleteItems({N("A")});
  EXPECT_EQ(drag->Nodes(), (std::vector<TTreeItem*>{N("B")}));
  project_->CodeDragDrop(drag.get(), nullptr);
  EXPECT_EQ(Shape(Tree()), "C B");
}

// --- cut, copy and paste
// ---------------------------------------------------------------------------

TEST_F(TreeEditingTest, CutNodesArePastedBeforeTheTargetInReverseOrderOnce) {
  Build("A B C X");
  project_->SetSavedFlag(true);
  TClipboard clipboard;
  Select({"A", "B", "C"});
  clipboard.Cut(*project_);
  EXPECT_TRUE(clipboard.IsCut());
  EXPECT_TRUE(N("A")->Cut && N("B")->Cut && N("C")->Cut);
  Select({"X"});
  clipboard.Paste(*project_);
  EXPECT_EQ(Shape(Tree()), "C B A X");
  EXPECT_FALSE(N("A")->Cut || N("B")->Cut || N("C")->Cut);
  EXPECT_TRUE(clipboard.Nodes().empty());
  clipboard.Paste(*project_);  // the list was emptied
  EXPECT_EQ(Shape(Tree()), "C B A X");
  EXPECT_FALSE(project_->Saved());  // the moved nodes stand elsewhere in the trace data file
  EXPECT_FALSE(project_->LogSaved);
}

TEST_F(TreeEditingTest, CopiedNodesAreMovedAgainByEveryPaste) {
  Build("A B X Y");
  TClipboard clipboard;
  Select({"A", "B"});
  clipboard.Copy(*project_);
  EXPECT_FALSE(clipboard.IsCut() || N("A")->Cut);
  Select({"X"});
  clipboard.Paste(*project_);
  EXPECT_EQ(Shape(Tree()), "B A X Y");
  Select({"Y"});
  clipboard.Paste(*project_);
  EXPECT_EQ(Shape(Tree()), "X B A Y");
}

TEST_F(TreeEditingTest, PasteAsSubnodesAppendsInOrderToTheSelectedNode) {
  Build("P(k) A B");
  TClipboard clipboard;
  Select({"A", "B"});
  clipboard.Cut(*project_);
  Select({"P"});
  clipboard.PasteAsSubnodes(*project_);
  EXPECT_EQ(Shape(Tree()), "P(k A B)");
  EXPECT_TRUE(clipboard.Nodes().empty());
}

TEST_F(TreeEditingTest, NothingIsCutOrPastedWithoutASelection) {
  Build("A B");
  TClipboard clipboard;
  Select({"A"});
  clipboard.Copy(*project_);
  Tree().ClearSelection();
  clipboard.Cut(*project_);  // nothing selected: the copied list stays
  EXPECT_EQ(clipboard.Nodes(), (std::vector<TTreeItem*>{N("A")}));
  EXPECT_FALSE(clipboard.IsCut());
  clipboard.Paste(*project_);
  clipboard.PasteAsSubnodes(*project_);
  EXPECT_EQ(Shape(Tree()), "A B");
}

TEST_F(TreeEditingTest, PastingProjectNodesIntoTheCodeCacheIsRefused) {
  Build("A B");
  Build(Cache(), "X");
  TClipboard clipboard;
  Select({"A"});
  clipboard.Cut(*project_);
  Select(Cache().Tree(), {"X"});
  clipboard.PasteAsSubnodes(Cache());
  clipboard.Paste(Cache());
  EXPECT_EQ(Shape(Tree()) + "|" + Shape(Cache().Tree()), "A B|X");
  EXPECT_EQ(clipboard.Nodes().size(), 1u);
}

TEST_F(TreeEditingTest, TheClipboardForgetsDeletedNodesAndAProjectThatGoes) {
  Build("A(B) C");
  TClipboard clipboard;
  Select({"A", "C"});
  clipboard.Cut(*project_);
  project_->DeleteItems({N("A")});
  EXPECT_EQ(clipboard.Nodes(), (std::vector<TTreeItem*>{N("C")}));
  project_.reset();
  EXPECT_TRUE(clipboard.Nodes().empty());
  EXPECT_EQ(clipboard.Source(), nullptr);
}

// Pastes are done in batches; they must leave the tree exactly as moving the nodes one by one
// does, also when the target is among the nodes or the nodes were moved under one another
// after they were cut.
TEST_F(TreeEditingTest, BatchPastesMatchMovingTheNodesOneByOne) {
  std::mt19937 random(7);
  const std::string shape = "a(b(c d) e) f(g h(i)) j k(l m n) o p q";
  const std::vector<std::string> names = {"a", "b", "c", "d", "e", "f", "g", "h", "i",
                                          "j", "k", "l", "m", "n", "o", "p", "q"};
  auto pick = [&] { return names[random() % names.size()]; };
  for (int round = 0; round < 300; ++round) {
    const bool asChildren = round % 2 == 1;
    named_.clear();
    Build(Cache(), shape);  // the reference, moved one node at a time
    std::map<std::string, TTreeItem*> reference = named_;
    named_.clear();
    Build(shape);

    // Cut some siblings in a random order.
    TTreeItem* parent = N(pick())->Parent();
    std::vector<TTreeItem*> siblings = parent ? parent->Children() : Tree().TopLevel();
    std::shuffle(siblings.begin(), siblings.end(), random);
    siblings.resize(1 + random() % siblings.size());
    Tree().ClearSelection();
    std::vector<std::string> list;
    for (TTreeItem* node : siblings) {
      Tree().Select(node, true);
      list.push_back(node->Line()->Comment());
    }
    TClipboard clipboard;
    clipboard.Cut(*project_);
    // Then move a few nodes about in both trees alike.
    for (int moves = static_cast<int>(random() % 4); moves > 0; --moves) {
      std::string node = pick(), to = pick();
      Tree().MoveAsLastChildren({N(node)}, N(to));
      Cache().Tree().MoveAsLastChildren({reference.at(node)}, reference.at(to));
    }
    ASSERT_EQ(Shape(Tree()), Shape(Cache().Tree()));

    std::string target = pick();
    TTreeItem* place = reference.at(target);
    for (const std::string& name : list) {
      TTreeItem* node = reference.at(name);
      if (TCodeTree::IsSelfOrAncestor(node, place)) continue;
      if (asChildren) {
        Cache().Tree().MoveAsLastChildren({node}, place);
      } else {
        Cache().Tree().MoveBefore({node}, place);
        place = node;
      }
    }
    Tree().Select(N(target), false);
    if (asChildren)
      clipboard.PasteAsSubnodes(*project_);
    else
      clipboard.Paste(*project_);
    ASSERT_EQ(Shape(Tree()), Shape(Cache().Tree())) << "round " << round << " target " << target;
    Tree().Clear();
    Cache().Tree().Clear();
  }
}

// --- clean-up of the records that no node shows any more ------------------------------------

// Tells which items and records went, and checks what it can see while it is told.
class TRecorder : public TEditObserver {
 public:
  explicit TRecorder(TProject& project) : project_(project) { Watch(project.EditEvents()); }
  void ItemsGoing(const TRemoval& removal) override {
    ++ItemCalls;
    Items = removal.Items.size();
    for (TTreeItem* item : removal.Items) ItemsStillShowLines &= item->Line() != nullptr;
  }
  void LinesGone(const TRemoval& removal) override {
    ++LineCalls;
    for (TTraceFileLine* line : removal.Lines) {
      Offsets.insert(line->Offset());
      Detached &= line->itemCount_ == 0 && line->Scope() == nullptr && !line->OffsetLabel() &&
                  project_.FindInIndex(line->Offset()) != line;
    }
  }
  int ItemCalls = 0, LineCalls = 0;
  size_t Items = 0;
  bool ItemsStillShowLines = true, Detached = true;
  std::set<int64_t> Offsets;

 private:
  TProject& project_;
};

class RecordCleanUpTest : public ::testing::Test {
 protected:
  // $8000 calls a routine that loops once over $9000-$9003, passes a branch whose target is
  // never met, and returns; then a jump to $8010 and back. $9000 is shown twice.
  static std::string Log() {
    TLogBuilder log;
    log.Jsr(0x8000, 0x9000)
        .Lda(0x9000, 0x7E2140)
        .Branch(0x9003, 0xD0, 0xFB, 0x9000)
        .Lda(0x9000, 0x7E2140)
        .Branch(0x9003, 0xD0, 0xFB, 0x9000)
        .Branch(0x9005, 0xF0, 0x19, 0x9020)
        .Rts(0x9007)
        .Jmp(0x8003, 0x8010)
        .Nop(0x8010)
        .Nop(0x8011);
    return log.Text();
  }
  std::unique_ptr<TSNESProject> Converted() {
    auto p = test::ConvertedProject(ui_, Log());
    Decorate(*p);
    return p;
  }
  // A mapping in the Global scope (taken by the LDA lines) and a label at $8010 (the NOP and
  // the jump to it refer to it).
  static void Decorate(TProject& p) {
    p.CreateMapping("$7E2140", "INIDISP", true, 1, "");
    p.CreateLabel("$8010", "loop");
  }
  // The converted log read back from its trace data file, with a code cache file holding
  // copies of the call and its routine: so it has a target index, pending targets and twins.
  std::unique_ptr<TSNESProject> ReadBack() {
    auto first = Converted();
    first->WriteTraceData(dir_ + "/p.tfd");
    first->Tree().Select(first->Tree().First(), false);
    auto drag = first->StartDrag();
    first->CodeCache()->CodeDragDrop(drag.get(), nullptr);
    first->CodeCache()->WriteTraceData(dir_ + "/p.tcc");

    auto p = CreateProject(1, ui_, "");
    p->ScopeManager()->GetScope("Global", true);
    p->CodeCache()->TraceDataDialog.FileName = dir_ + "/p.tcc";
    p->CodeCache()->LoadTraceData();
    p->TraceDataDialog.FileName = dir_ + "/p.tfd";
    p->LoadTraceData();
    Decorate(*p);
    return p;
  }

  // No index, link, list or item of the project or its code cache refers to a record that
  // is not in one of their stores; the target offsets are those whose pending and target
  // index entries are checked (the pending entries are taken out).
  static void ExpectOnlyLiveReferences(TProject& p, const std::vector<int64_t>& targets) {
    std::vector<TProject*> projects{&p};
    if (p.CodeCache()) projects.push_back(p.CodeCache());
    std::unordered_set<const TTraceFileLine*> live;
    for (TProject* q : projects)
      for (const auto& line : q->Store().Lines()) live.insert(line.get());
    auto ok = [&](const TTraceFileLine* line) { return line == nullptr || live.count(line); };

    for (TProject* q : projects) {
      for (const auto& owned : q->Store().Lines()) {
        const TTraceFileLine* l = owned.get();
        EXPECT_TRUE(ok(l->Successor()) && ok(l->TargetNode()) && ok(l->CacheTwin()) &&
                    ok(l->CacheTwinOf()))
            << IntToHex(l->Offset(), 6);
      }
      for (const TTraceFileLine* l : q->OffsetIndex().InOrder()) EXPECT_TRUE(ok(l));
      for (int64_t t : targets) {
        if (const auto* lines = q->TargetIndex().Find(t)) {
          for (const TTraceFileLine* l : *lines) EXPECT_TRUE(ok(l)) << t;
        }
        for (const TTraceFileLine* l : q->PendingTargets().Take(t)) EXPECT_TRUE(ok(l)) << t;
      }
      EXPECT_TRUE(ok(q->FirstLine));
      // Every item shows a live record, and each record knows its items.
      std::map<const TTraceFileLine*, std::vector<const TTreeItem*>> items;
      q->Tree().ForEach([&](TTreeItem* item) {
        EXPECT_TRUE(ok(item->Line()));
        items[item->Line()].push_back(item);
      });
      for (const auto& [line, shown] : items) {
        EXPECT_EQ(line->itemCount_, shown.size());
        EXPECT_NE(std::find(shown.begin(), shown.end(), line->ownItem_), shown.end());
      }
    }
    for (TScopeManager* m : {static_cast<TScopeManager*>(p.ScopeManager()),
                             static_cast<TScopeManager*>(p.LabelManager())}) {
      for (const auto& scope : m->Scopes()) {
        scope->ScopedOffsets().ForEach([&](const auto& entry) { EXPECT_TRUE(ok(entry.Line)); });
        for (const auto& mapping : scope->Mappings())
          for (const TReferrer& r : mapping->Referrers()) EXPECT_TRUE(ok(r.Line));
      }
    }
  }
  static TTreeItem* ItemAt(TProject& p, int64_t offset, size_t start = 0) {
    return p.FindNodeByOffset(+1, start, offset);
  }

  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

const std::vector<int64_t> kTargets = {0x9000, 0x9020, 0x8010, 0x7E2140};

TEST_F(RecordCleanUpTest, DeletingARoutineFreesItsRecordsAndEveryReferenceToThem) {
  auto p = ReadBack();
  ASSERT_NE(p->FindInIndex(0x8000)->CacheTwin(), nullptr);
  ASSERT_TRUE(p->PendingTargets().Contains(0x9020));
  const size_t globalKeys = p->ScopeManager()->GlobalScope()->ScopedOffsets().Count();
  TRecorder recorder(*p);
  const size_t records = p->Store().Count();

  p->Tree().Select(ItemAt(*p, 0x8000), false);
  p->DeleteSelection();

  EXPECT_EQ(recorder.ItemCalls, 1);
  EXPECT_EQ(recorder.LineCalls, 1);
  EXPECT_EQ(recorder.Items, 7u);  // the call with the six items of its routine
  EXPECT_TRUE(recorder.ItemsStillShowLines);
  EXPECT_TRUE(recorder.Detached);
  EXPECT_EQ(recorder.Offsets, (std::set<int64_t>{0x8000, 0x9000, 0x9003, 0x9005, 0x9007}));
  EXPECT_EQ(p->Store().Count(), records - 5);
  EXPECT_EQ(p->FindInIndex(0x9000), nullptr);
  EXPECT_FALSE(p->PendingTargets().Contains(0x9020));
  EXPECT_EQ(p->TargetIndex().Find(0x9000), nullptr);
  // The scope keeps the keys of the lines that went.
  EXPECT_EQ(p->ScopeManager()->GlobalScope()->ScopedOffsets().Count(), globalKeys);
  // The cache lines lost their twins.
  EXPECT_EQ(p->CodeCache()->FindInIndex(0x8000)->CacheTwin(), nullptr);
  EXPECT_EQ(p->CodeCache()->FindInIndex(0x8000)->CacheTwinOf(), nullptr);
  ExpectOnlyLiveReferences(*p, kTargets);
}

TEST_F(RecordCleanUpTest, ARecordShownTwiceStaysWithItsOtherItem) {
  auto p = ReadBack();
  TTreeItem* first = ItemAt(*p, 0x9000);
  TTreeItem* second = ItemAt(*p, 0x9000, p->Tree().PositionOf(first) + 1);
  TTraceFileLine* line = p->FindInIndex(0x9000);
  ASSERT_EQ(line->ownItem_, second);
  p->Tree().Select(second, false);
  p->DeleteSelection();
  EXPECT_EQ(p->FindInIndex(0x9000), line);
  EXPECT_EQ(line->itemCount_, 1u);
  EXPECT_EQ(line->ownItem_, first);
  ExpectOnlyLiveReferences(*p, kTargets);
}

TEST_F(RecordCleanUpTest, DeletingEverythingOfAConvertedLogLeavesNothingBehind) {
  auto p = Converted();
  ASSERT_NE(p->FirstLine, nullptr);
  // Copies in the code cache point at the project's lines.
  p->Tree().Select(p->Tree().First(), false);
  auto drag = p->StartDrag();
  p->CodeCache()->CodeDragDrop(drag.get(), nullptr);
  TClipboard clipboard;
  p->Tree().ClearSelection();
  for (TTreeItem* item : p->Tree().TopLevel()) p->Tree().Select(item, true);
  clipboard.Copy(*p);
  p->DeleteSelection();
  EXPECT_TRUE(p->Tree().Empty());
  EXPECT_EQ(p->FirstLine, nullptr);
  EXPECT_TRUE(clipboard.Nodes().empty());
  for (const auto& mapping : p->LabelManager()->GlobalRoot()->Mappings())
    EXPECT_TRUE(mapping->Referrers().empty());
  ExpectOnlyLiveReferences(*p, kTargets);
}

TEST_F(RecordCleanUpTest, DeletingInTheCodeCacheClearsTheProjectLinesTwins) {
  auto p = ReadBack();
  TSNESCodeCache& cache = *p->CodeCache();
  TTraceFileLine* projectLine = p->FindInIndex(0x8000);
  ASSERT_NE(projectLine->CacheTwin(), nullptr);
  cache.Tree().Select(cache.Tree().First(), false);
  cache.DeleteSelection();  // lines read from the cache file: the cache deletes them too
  EXPECT_TRUE(cache.Tree().Empty());
  EXPECT_EQ(cache.Store().Count(), 0u);
  EXPECT_EQ(projectLine->CacheTwin(), nullptr);
  EXPECT_EQ(projectLine->CacheTwinOf(), nullptr);
  ExpectOnlyLiveReferences(*p, kTargets);
}

// Closing the log takes every item and record at once: the lists that hold them are told as
// for a deletion, and the other tree's lines lose their links into it.
TEST_F(RecordCleanUpTest, ClosingTheLogTellsTheListsAndUnlinksTheOtherTree) {
  auto p = ReadBack();
  TSNESCodeCache& cache = *p->CodeCache();
  TClipboard clipboard;
  p->Tree().Select(ItemAt(*p, 0x8010), false);
  clipboard.Copy(*p);
  TRecorder recorder(*p);
  const size_t items = p->Tree().Count();
  const size_t records = p->Store().Count();

  p->CloseLog();
  EXPECT_EQ(recorder.ItemCalls, 1);
  EXPECT_EQ(recorder.LineCalls, 1);
  EXPECT_EQ(recorder.Items, items);
  EXPECT_TRUE(recorder.ItemsStillShowLines);
  EXPECT_EQ(recorder.Offsets.size(), records);
  EXPECT_TRUE(clipboard.Nodes().empty());
  ASSERT_FALSE(cache.Tree().Empty());
  EXPECT_EQ(cache.FindInIndex(0x8000)->CacheTwin(), nullptr);
  ExpectOnlyLiveReferences(*p, kTargets);

  // The other way round: the cache's log goes, the project's lines forget their twins.
  auto q = ReadBack();
  TTraceFileLine* projectLine = q->FindInIndex(0x8000);
  ASSERT_NE(projectLine->CacheTwin(), nullptr);
  q->CodeCache()->CloseLog();
  EXPECT_EQ(projectLine->CacheTwin(), nullptr);
  EXPECT_EQ(projectLine->CacheTwinOf(), nullptr);
  ExpectOnlyLiveReferences(*q, kTargets);
}

}  // namespace
}  // namespace orvanel
