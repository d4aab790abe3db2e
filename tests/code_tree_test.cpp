#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "records/TraceLine.h"
#include "tree/CodeTree.h"

namespace orvanel {
namespace {

// Names of the items in display order, with their depth: "a0 b1 c1 d0".
std::string Shape(const TCodeTree& tree) {
  std::string s;
  tree.ForEach([&](TTreeItem* it) {
    if (!s.empty()) s += ' ';
    s += it->Line()->Comment() + std::to_string(it->Level());
  });
  return s;
}

class CodeTreeTest : public ::testing::Test {
 protected:
  TTraceFileLine* Line(const std::string& name) {
    auto l = std::make_unique<TTraceFileLine>();
    l->SetComment(name);
    lines_.push_back(std::move(l));
    return lines_.back().get();
  }
  std::vector<std::unique_ptr<TTraceFileLine>> lines_;
  TCodeTree tree_;
};

TEST_F(CodeTreeTest, BuildsAndKeepsRowsAndParents) {
  TTreeItem* a = tree_.AddChild(nullptr, Line("a"));
  TTreeItem* b = tree_.AddChild(a, Line("b"));
  tree_.AddChild(a, Line("c"));
  TTreeItem* d = tree_.AddChild(nullptr, Line("d"));
  EXPECT_EQ(Shape(tree_), "a0 b1 c1 d0");
  EXPECT_EQ(b->Parent(), a);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(d->Row(), 1u);
  tree_.InsertBefore(b, Line("x"));
  EXPECT_EQ(Shape(tree_), "a0 x1 b1 c1 d0");
  EXPECT_EQ(b->Row(), 1u);
  tree_.AddFirstTopLevel(Line("u"));
  EXPECT_EQ(Shape(tree_), "u0 a0 x1 b1 c1 d0");
  EXPECT_EQ(d->Row(), 2u);
  EXPECT_EQ(tree_.Count(), 6u);
}

TEST_F(CodeTreeTest, MovesTheFollowingTopLevelItemsUnderAnItem) {
  tree_.AddChild(nullptr, Line("a"));
  tree_.AddChild(nullptr, Line("b"));
  TTreeItem* u = tree_.AddFirstTopLevel(Line("u"));
  tree_.MoveFollowingTopLevelUnder(u);
  tree_.AddChild(nullptr, Line("c"));
  EXPECT_EQ(Shape(tree_), "u0 a1 b1 c0");
  EXPECT_EQ(u->Children()[1]->Row(), 1u);
  EXPECT_EQ(u->Children()[1]->Parent(), u);
}

TEST_F(CodeTreeTest, MovesKeepOrderAndNeverGoUnderThemselves) {
  TTreeItem* a = tree_.AddChild(nullptr, Line("a"));
  TTreeItem* b = tree_.AddChild(nullptr, Line("b"));
  TTreeItem* c = tree_.AddChild(nullptr, Line("c"));
  TTreeItem* x = tree_.AddChild(nullptr, Line("x"));
  TTreeItem* y = tree_.AddChild(x, Line("y"));
  tree_.MoveAsLastChildren({a, b, c}, y);
  EXPECT_EQ(Shape(tree_), "x0 y1 a2 b2 c2");
  EXPECT_TRUE(y->Expanded);
  tree_.MoveAsLastChildren({x}, a);  // a lies under x: skipped
  EXPECT_EQ(Shape(tree_), "x0 y1 a2 b2 c2");
  tree_.MoveBefore({c, a}, y);
  EXPECT_EQ(Shape(tree_), "x0 c1 a1 y1 b2");
  tree_.MoveBefore({y}, y);  // before itself: skipped
  EXPECT_EQ(Shape(tree_), "x0 c1 a1 y1 b2");
  tree_.MoveAsLastChildren({b}, nullptr);
  EXPECT_EQ(Shape(tree_), "x0 c1 a1 y1 b0");
  EXPECT_EQ(b->Row(), 1u);
}

TEST_F(CodeTreeTest, DeleteFreesSubtreesAndTellsTheRecords) {
  TTraceFileLine* shared = Line("s");
  TTreeItem* a = tree_.AddChild(nullptr, Line("a"));
  tree_.AddChild(a, shared);
  TTreeItem* second = tree_.AddChild(nullptr, shared);
  EXPECT_EQ(shared->itemCount_, 2u);
  EXPECT_EQ(shared->ownItem_, second);
  tree_.Select(a, false);
  std::vector<TTraceFileLine*> gone;
  tree_.Delete({a}, [&](TTreeItem* it) { gone.push_back(it->Line()); });
  EXPECT_EQ(gone.size(), 2u);
  EXPECT_EQ(shared->itemCount_, 1u);
  EXPECT_EQ(shared->ownItem_, second);
  EXPECT_TRUE(tree_.Selection().empty());
  EXPECT_EQ(Shape(tree_), "s0");
  EXPECT_EQ(second->Row(), 0u);
  tree_.Delete({second});
  EXPECT_EQ(shared->itemCount_, 0u);
  EXPECT_EQ(shared->ownItem_, nullptr);
  EXPECT_TRUE(tree_.Empty());
  EXPECT_EQ(tree_.Count(), 0u);
}

TEST_F(CodeTreeTest, SelectionHoldsSiblingsOnlyInSelectionOrder) {
  TTreeItem* a = tree_.AddChild(nullptr, Line("a"));
  TTreeItem* b = tree_.AddChild(nullptr, Line("b"));
  TTreeItem* c = tree_.AddChild(b, Line("c"));
  TTreeItem* d = tree_.AddChild(nullptr, Line("d"));
  tree_.Select(d, false);
  tree_.Select(a, true);
  EXPECT_EQ(tree_.Selection(), (std::vector<TTreeItem*>{d, a}));
  tree_.Select(c, true);  // another parent: the others are dropped
  EXPECT_EQ(tree_.Selection(), (std::vector<TTreeItem*>{c}));
  EXPECT_FALSE(a->Selected);
  tree_.Select(c, true);  // Ctrl-click again takes it out
  EXPECT_TRUE(tree_.Selection().empty());
}

TEST_F(CodeTreeTest, WalksForwardAndBackwardInDisplayOrder) {
  TTreeItem* a = tree_.AddChild(nullptr, Line("a"));
  TTreeItem* b = tree_.AddChild(a, Line("b"));
  TTreeItem* c = tree_.AddChild(b, Line("c"));
  TTreeItem* d = tree_.AddChild(nullptr, Line("d"));
  std::vector<TTreeItem*> back;
  for (TTreeItem* it = tree_.LastInOrder(); it; it = tree_.PrevInOrder(it)) back.push_back(it);
  EXPECT_EQ(back, (std::vector<TTreeItem*>{d, c, b, a}));
  EXPECT_EQ(tree_.ItemAt(2), c);
  EXPECT_EQ(tree_.ItemAt(4), nullptr);
  EXPECT_EQ(tree_.PositionOf(d), 3u);
}

TEST_F(CodeTreeTest, BatchOperationsOnManySiblings) {
  TTraceFileLine* line = Line("n");
  TTreeItem* target = tree_.AddChild(nullptr, Line("t"));
  std::vector<TTreeItem*> picked;
  for (int i = 0; i < 200000; ++i) {
    TTreeItem* it = tree_.AddChild(nullptr, line);
    if (i % 2 == 0) picked.push_back(it);
  }
  tree_.MoveAsLastChildren(picked, target);
  EXPECT_EQ(target->Children().size(), 100000u);
  EXPECT_EQ(tree_.TopLevel().size(), 100001u);
  for (size_t i = 0; i < tree_.TopLevel().size(); ++i) ASSERT_EQ(tree_.TopLevel()[i]->Row(), i);
  tree_.Delete(picked);
  EXPECT_EQ(tree_.Count(), 100001u);
  EXPECT_EQ(line->itemCount_, 100000u);
}

// Real traces nest thousands of levels deep; nothing may recurse once per level.
TEST(CodeTreeDepth, AMillionLevelsAreBuiltWalkedMovedAndFreed) {
  TTraceFileLine line;
  constexpr int kDepth = 1000000;
  {
    TCodeTree tree;
    TTreeItem* parent = nullptr;
    for (int i = 0; i < kDepth; ++i) parent = tree.AddChild(parent, &line);
    size_t walked = 0;
    tree.ForEach([&](TTreeItem*) { ++walked; });
    EXPECT_EQ(walked, static_cast<size_t>(kDepth));
    EXPECT_EQ(tree.LastInOrder()->Level(), kDepth - 1);
    size_t back = 0;
    for (TTreeItem* it = tree.LastInOrder(); it; it = tree.PrevInOrder(it)) ++back;
    EXPECT_EQ(back, static_cast<size_t>(kDepth));
    // Wrap the whole tree once more, as a return at the top level does.
    TTreeItem* u = tree.AddFirstTopLevel(&line);
    tree.MoveFollowingTopLevelUnder(u);
    EXPECT_EQ(tree.Count(), static_cast<size_t>(kDepth) + 1);
    TTreeItem* middle = tree.First();
    for (int i = 0; i < kDepth / 2; ++i) middle = middle->Children().front();
    tree.MoveAsLastChildren({middle}, nullptr);
    EXPECT_EQ(tree.TopLevel().size(), 2u);
    tree.Delete({tree.First()});
    EXPECT_EQ(tree.Count(), static_cast<size_t>(kDepth + 1 - kDepth / 2));
  }                                // the rest is freed by the destructor
  EXPECT_GT(line.itemCount_, 0u);  // the destructor does not touch records that may be gone
}

}  // namespace
}  // namespace orvanel
