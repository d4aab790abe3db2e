// What a code tree tells its listeners: one call per contiguous run of children, deepest
// parents first, a rebuild as one reset, and its own end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "records/TraceLine.h"
#include "tree/CodeTree.h"

namespace orvanel {
namespace {

// Writes every call as a short text: "remove p=a 1-2,4-4", "insert p=- 3-3", "move ...".
class TRecorder : public TTreeListener {
 public:
  std::vector<std::string> Calls;

  static std::string Name(const TTreeItem* item) { return item ? item->Line()->Comment() : "-"; }
  void ChildrenInserting(TTreeItem* parent, size_t first, size_t last) override {
    Calls.push_back("insert p=" + Name(parent) + " " + Run(first, last));
  }
  void ChildrenRemoving(TTreeItem* parent, const std::vector<TRowRun>& runs) override {
    std::string s = "remove p=" + Name(parent);
    for (size_t i = 0; i < runs.size(); ++i)
      s += (i ? "," : " ") + Run(runs[i].First, runs[i].Last);
    Calls.push_back(s);
  }
  void ChildrenMoving(TTreeItem* from, TRowRun run, TTreeItem* to, size_t row) override {
    Calls.push_back("move " + Name(from) + " " + Run(run.First, run.Last) + " to " + Name(to) +
                    " " + std::to_string(row));
  }
  void TreeResetting() override { Calls.push_back("resetting"); }
  void TreeReset() override { Calls.push_back("reset"); }
  void TreeGone() override { Calls.push_back("gone"); }
  void SelectionChanged() override { Calls.push_back("selection"); }

 private:
  static std::string Run(size_t first, size_t last) {
    return std::to_string(first) + "-" + std::to_string(last);
  }
};

class CodeTreeListenerTest : public ::testing::Test {
 protected:
  CodeTreeListenerTest() : tree_(std::make_unique<TCodeTree>()) {}
  TTraceFileLine* Line(const std::string& name) {
    auto l = std::make_unique<TTraceFileLine>();
    l->SetComment(name);
    lines_.push_back(std::move(l));
    return lines_.back().get();
  }
  // Top-level items t0..t(n-1); t1 has children c0..c(k-1).
  void Build(int n, int k) {
    for (int i = 0; i < n; ++i)
      top_.push_back(tree_->AddChild(nullptr, Line("t" + std::to_string(i))));
    for (int i = 0; i < k; ++i)
      kids_.push_back(tree_->AddChild(top_[1], Line("c" + std::to_string(i))));
    tree_->AddListener(&recorder_);
  }
  std::vector<std::unique_ptr<TTraceFileLine>> lines_;
  TRecorder recorder_;  // outlives the tree, which tells it of its end
  std::unique_ptr<TCodeTree> tree_;
  std::vector<TTreeItem*> top_, kids_;
};

TEST_F(CodeTreeListenerTest, ScatteredDeletionsComeAsRunsDeepestParentFirst) {
  Build(8, 4);
  tree_->Delete({top_[6], kids_[2], top_[2], top_[3], kids_[0], top_[7]});
  EXPECT_EQ(recorder_.Calls,
            (std::vector<std::string>{"remove p=t1 0-0,2-2", "remove p=- 2-3,6-7"}));
  // A selected item deleted changes the selection.
  recorder_.Calls.clear();
  tree_->Select(top_[4], false);
  tree_->Delete({top_[4]});
  EXPECT_EQ(recorder_.Calls,
            (std::vector<std::string>{"selection", "remove p=- 2-2", "selection"}));
}

TEST_F(CodeTreeListenerTest, OneRunMovesAsOneAndAScatteredSetLeavesAndComesBack) {
  Build(8, 2);
  tree_->MoveBefore({top_[2], top_[3]}, top_[6]);
  EXPECT_EQ(recorder_.Calls, std::vector<std::string>{"move - 2-3 to - 6"});
  recorder_.Calls.clear();
  tree_->MoveAsLastChildren({top_[0], top_[5]}, top_[1]);
  EXPECT_EQ(recorder_.Calls, (std::vector<std::string>{"remove p=- 0-0,3-3", "insert p=t1 2-3"}));
  EXPECT_EQ(top_[1]->Children().back(), top_[5]);
  // A run that would land where it stands sends nothing.
  recorder_.Calls.clear();
  tree_->MoveBefore({kids_[0]}, kids_[1]);
  EXPECT_TRUE(recorder_.Calls.empty());
  // An item given with its own child: the child leaves its parent first.
  recorder_.Calls.clear();
  tree_->MoveAsLastChildren({top_[1], kids_[1]}, nullptr);
  ASSERT_EQ(recorder_.Calls.size(), 3u);
  EXPECT_EQ(recorder_.Calls[0], "remove p=t1 1-1");
}

TEST_F(CodeTreeListenerTest, ARebuildIsOneResetAndTheEndIsTold) {
  Build(3, 0);
  tree_->BeginRebuild();
  tree_->Clear();
  for (int i = 0; i < 100; ++i) tree_->AddChild(nullptr, Line("n"));
  tree_->BeginRebuild();  // nested: still one reset
  tree_->AddFirstTopLevel(Line("up"));
  tree_->EndRebuild();
  tree_->EndRebuild();
  EXPECT_EQ(recorder_.Calls, (std::vector<std::string>{"resetting", "reset"}));
  recorder_.Calls.clear();
  tree_->InsertBefore(tree_->TopLevel()[3], Line("x"));
  tree_->Clear();
  EXPECT_EQ(recorder_.Calls, (std::vector<std::string>{"insert p=- 3-3", "resetting", "reset"}));
  recorder_.Calls.clear();
  tree_.reset();
  EXPECT_EQ(recorder_.Calls, std::vector<std::string>{"gone"});
}

}  // namespace
}  // namespace orvanel
