// The gotos: offsets in both directions from the search position, the instruction before and
// after a line, the start node and a line's target. The positions index must give exactly
// what a walk of the tree from its first item gives.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LoopLog.h"
#include "logic/GotoWalks.h"
#include "logic/NavigationState.h"
#include "logic/TreePositions.h"
#include "project/SnesProject.h"

namespace orvanel::nav {
namespace {

class NavigationGoto : public ::testing::Test {
 protected:
  void SetUp() override {
    project = test::ConvertedProject(ui, test::LoopLog(2));
    ASSERT_TRUE(ui.Messages.empty()) << ui.Messages.front();
    nav.Open(*project);
  }
  TTreeItem* Item(size_t position) { return project->Tree().ItemAt(position); }
  test::TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  TNavigationState nav;
};

TEST_F(NavigationGoto, PositionsAnswerAsTheWalkFromTheFirstItem) {
  const TTreePositions& positions = nav.Positions();
  const size_t n = project->Tree().Count();
  ASSERT_EQ(positions.Count(), n);
  std::set<int64_t> offsets{0, 0x8003, 0x123456, -1};
  for (size_t p = 0; p < n; ++p) {
    EXPECT_EQ(positions.ItemAt(p), Item(p));
    offsets.insert(Item(p)->Line()->Offset());
  }
  EXPECT_EQ(positions.ItemAt(n), nullptr);
  for (int64_t offset : offsets)
    for (int step : {1, -1})
      for (size_t start = 0; start <= n; ++start) {
        TTreeItem* expected = project->FindNodeByOffset(step, start, offset);
        auto found = positions.FindByOffset(step, start, offset);
        EXPECT_EQ(found ? positions.ItemAt(*found) : nullptr, expected)
            << "offset " << offset << " step " << step << " start " << start;
      }
}

TEST_F(NavigationGoto, OffsetSearchSettingsDecideWhereTheGotoLooks) {
  // At start (find-next off, down): the first item with the offset.
  TGotoOutcome first = nav.GotoOffset(0x8000);
  ASSERT_EQ(first.Item, Item(0));
  EXPECT_EQ(nav.SearchPos, 0) << "the position is kept only while find-next is on";

  // The direction counts only while find-next is on: a dialog closed with up chosen leaves
  // the gotos looking from the first item down.
  nav.OffsetSearch.Up = true;
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, Item(0));
  TGotoOutcome closedUp = nav.GotoOffset(0x8004);
  ASSERT_NE(closedUp.Item, nullptr);
  EXPECT_EQ(closedUp.Item->Line()->Offset(), 0x8004);
  TGotoOutcome miss = nav.GotoOffset(0x123456);
  EXPECT_EQ(miss.Item, nullptr);
  EXPECT_EQ(miss.Message, "Offset 123456 not present.");

  // Find-next on: each press goes on after the position and stores the hit.
  nav.OffsetSearch = {false, true};
  nav.SearchPos = 0;
  TGotoOutcome second = nav.GotoOffset(0x8000);
  ASSERT_NE(second.Item, nullptr);
  EXPECT_NE(second.Item, Item(0)) << "with position 0 a downward search begins at 1";
  EXPECT_EQ(static_cast<size_t>(nav.SearchPos), second.Position);
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, nullptr) << "no third occurrence";
  EXPECT_EQ(static_cast<size_t>(nav.SearchPos), second.Position) << "a miss keeps the position";

  // Up with find-next on starts above the position and goes towards the first item.
  nav.OffsetSearch.Up = true;
  nav.SearchPos = static_cast<int32_t>(second.Position) + 1;
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, second.Item);
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, Item(0)) << "the next press: the nearest above it";
}

TEST_F(NavigationGoto, NegativeOffsetsShowSixteenDigits) {
  TGotoOutcome miss = nav.GotoOffset(-5);
  EXPECT_EQ(miss.Item, nullptr);
  EXPECT_EQ(miss.Message, "Offset FFFFFFFFFFFFFFFB not present.");
}

TEST_F(NavigationGoto, NextAndPreviousOpcodeInAddressOrder) {
  TTreeItem* jsr = nav.GotoOffset(0x8001).Item;
  ASSERT_NE(jsr, nullptr);
  EXPECT_EQ(nav.GotoNextOpcode(*jsr->Line()).Item->Line()->Offset(), 0x8004)
      << "the next instruction in memory, wherever it stands in the tree";
  // At $80FFFF with length 1 the next one is at $810000.
  TTreeItem* last = nav.GotoOffset(0x80FFFF).Item;
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(nav.GotoNextOpcode(*last->Line()).Item->Line()->Offset(), 0x810000);

  EXPECT_EQ(nav.GotoPreviousOpcode(0x8004).Item, Item(1)) << "the JSR ends at $8004";
  TGotoOutcome none = nav.GotoPreviousOpcode(0x9000);
  EXPECT_EQ(none.Item, nullptr);
  EXPECT_EQ(none.Message, "Opcode previous to Opcode with offset $009000 not preset!");
  // Checked against the walk from the first item for every offset of the tree.
  const TTreePositions& positions = nav.Positions();
  for (size_t p = 0; p < positions.Count(); ++p) {
    const int64_t end = Item(p)->Line()->Offset();
    TTreeItem* walked = nullptr;
    project->Tree().ForEach([&](TTreeItem* it) {
      if (!walked && it->Line()->Offset() + it->Line()->OpcodeLen() == end) walked = it;
    });
    auto found = positions.FirstEndingAt(end);
    EXPECT_EQ(found ? positions.ItemAt(*found) : nullptr, walked) << end;
  }
}

TEST_F(NavigationGoto, StartNodeAndTargets) {
  EXPECT_EQ(nav.StartNode(), Item(0));
  TTreeItem* bne = nav.GotoOffset(0x8005).Item;
  ASSERT_NE(bne, nullptr);
  // The target record's own item is the one added for it last: the second pass's.
  TTreeItem* own = project->FindNodeByOffset(1, 1, 0x8000);
  EXPECT_EQ(nav.TargetNode(*bne->Line()).Item, own);
  EXPECT_TRUE(OffersGotoTarget(*bne->Line(), project->Palette));
  TTreeItem* lda = nav.GotoOffset(0x9000).Item;
  EXPECT_EQ(nav.TargetNode(*lda->Line()).Message, "No target associated!");
  EXPECT_FALSE(OffersGotoTarget(*lda->Line(), project->Palette)) << "a data address";

  // The own item deleted, the target is the first item left that shows the record; the
  // first line's record stands behind both passes' first items, so the start node stays.
  project->DeleteItems({own});
  EXPECT_EQ(nav.TargetNode(*bne->Line()).Item, Item(0));
  EXPECT_EQ(nav.StartNode(), Item(0));
  // With its last item gone no line carries the mark: nothing is found.
  project->DeleteItems({Item(0)});
  EXPECT_EQ(nav.StartNode(), nullptr);
}

TEST_F(NavigationGoto, DeletionsAndMovesAreSeenByTheNextGoto) {
  TTreeItem* second = project->FindNodeByOffset(1, 1, 0x8000);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, Item(0));
  project->DeleteItems({Item(0)});
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, second);
  // A move keeps the count; the tree tells of it.
  project->Tree().MoveAsLastChildren({second}, nullptr);
  EXPECT_EQ(nav.GotoOffset(0x8000).Item, project->FindNodeByOffset(1, 0, 0x8000));
}

TEST_F(NavigationGoto, EmptyTreeGivesNothing) {
  project->CloseLog();
  EXPECT_EQ(nav.StartNode(), nullptr);
  EXPECT_EQ(nav.GotoPreviousOpcode(0x8000).Message, "");
  EXPECT_EQ(nav.GotoOffset(0x8000).Message, "Offset 008000 not present.");
}

}  // namespace
}  // namespace orvanel::nav
