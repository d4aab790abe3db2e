// The gotos right after the tree changed shape, while the positions are out of date: the
// bounded walk from the first item must give exactly what the positions worked out again
// give and what a plain walk of the tree gives, whether the answer lies within its bound or
// not (then the positions are worked out again).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LoopLog.h"
#include "logic/GotoWalks.h"
#include "logic/NavigationState.h"
#include "logic/TreePositions.h"
#include "project/SnesProject.h"

namespace orvanel::nav {
namespace {

// The bounds tried: every goto falls back to the positions, some do, none does.
constexpr size_t kLimits[] = {0, 1, 4, 9, 10000};

class NavigationStale : public ::testing::Test {
 protected:
  void SetUp() override {
    project = test::ConvertedProject(ui, test::LoopLog(3));
    ASSERT_TRUE(ui.Messages.empty()) << ui.Messages.front();
    nav.Open(*project);
    (void)nav.Positions();  // worked out once, so that the change makes them out of date
  }
  TCodeTree& Tree() { return project->Tree(); }
  TTreeItem* Item(size_t position) { return Tree().ItemAt(position); }

  std::set<int64_t> Offsets() {
    std::set<int64_t> offsets{0, 0x123456, -1};
    Tree().ForEach([&](TTreeItem* it) {
      offsets.insert(it->Line()->Offset());
      offsets.insert(it->Line()->Offset() + it->Line()->OpcodeLen());
    });
    return offsets;
  }

  // Every goto with every bound, each time right after the positions went out of date,
  // against the model's linear search and the positions worked out again.
  void ExpectEveryGotoAsTheWalk() {
    const size_t n = Tree().Count();
    for (int64_t offset : Offsets())
      for (bool up : {false, true})
        for (bool findNext : {false, true})
          for (int32_t pos = -2; pos <= static_cast<int32_t>(n); ++pos) {
            // Find-next on: from the line below or above the position; off: down from the
            // first item, whichever direction was chosen.
            const int64_t start = findNext ? pos + (up ? -1 : 1) : 0;
            const int step = up && findNext ? -1 : 1;
            TTreeItem* expected =
                start < 0 ? nullptr
                          : project->FindNodeByOffset(step, static_cast<size_t>(start), offset);
            nav.OffsetSearch = {up, findNext};
            const TGotoOutcome rebuilt = FindOffset(nav.Positions(), nav.OffsetSearch, pos, offset);
            EXPECT_EQ(rebuilt.Item, expected);
            for (size_t limit : kLimits) {
              nav.TreeChanged();
              nav.LocalWalkLimit = limit;
              nav.SearchPos = pos;
              const TGotoOutcome outcome = nav.GotoOffset(offset);
              ASSERT_EQ(outcome.Item, expected)
                  << "offset " << offset << " up " << up << " find-next " << findNext << " pos "
                  << pos << " limit " << limit;
              EXPECT_EQ(outcome.Message, rebuilt.Message);
              if (!expected) continue;
              EXPECT_EQ(outcome.Position, Tree().PositionOf(expected));
              EXPECT_EQ(nav.SearchPos, findNext ? static_cast<int32_t>(outcome.Position) : pos);
            }
          }
  }

  void ExpectPreviousAndStartAsTheWalk() {
    for (int64_t end : Offsets()) {
      std::optional<int64_t> expected;
      Tree().ForEach([&](TTreeItem* it) {
        if (!expected && it->Line()->Offset() + it->Line()->OpcodeLen() == end)
          expected = it->Line()->Offset();
      });
      EXPECT_EQ(PreviousOpcodeOffset(nav.Positions(), end), expected);
      for (size_t limit : kLimits) {
        nav.TreeChanged();
        nav.LocalWalkLimit = limit;
        EXPECT_EQ(nav.PreviousOpcodeOffset(end), expected) << end << " limit " << limit;
      }
    }
    TTreeItem* start = nullptr;
    Tree().ForEach([&](TTreeItem* it) {
      if (!start && it->Line()->IsFirstLine()) start = it;
    });
    EXPECT_EQ(nav::StartNode(nav.Positions()), start);
    for (size_t limit : kLimits) {
      nav.TreeChanged();
      nav.LocalWalkLimit = limit;
      EXPECT_EQ(nav.StartNode(), start) << "limit " << limit;
    }
  }

  void ExpectEverything() {
    ExpectEveryGotoAsTheWalk();
    ExpectPreviousAndStartAsTheWalk();
  }

  test::TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  TNavigationState nav;
};

TEST_F(NavigationStale, AfterCommentLinesInserted) {
  // At the top (every later position shifts), in a routine's level and before the last line.
  for (size_t at : {size_t{0}, size_t{3}, Tree().Count() - 1}) {
    Tree().Select(Item(at), false);
    ASSERT_NE(project->InsertComment(), nullptr);
    ExpectEverything();
  }
}

// After insertions only, the gotos that look from the first item read the positions from
// before and the inserted items: the same answers, position included, and no positions
// worked out again, however far down the answer lies (the walk is given no stretch at all).
TEST_F(NavigationStale, InsertedItemsAreReadWithThePositionsFromBefore) {
  nav.LocalWalkLimit = 0;
  std::vector<TTreeItem*> inserted;
  size_t insertedAnswers = 0;
  // At the top, in a routine's level, a second one at the same place, before the last line.
  for (size_t at : {size_t{0}, size_t{4}, size_t{4}, Tree().Count() - 1}) {
    Tree().Select(Item(at), false);
    inserted.push_back(project->InsertComment());
    ASSERT_NE(inserted.back(), nullptr);
    const size_t workedOut = nav.PositionsWorkedOut();
    for (int64_t offset : Offsets()) {
      TTreeItem* expected = project->FindNodeByOffset(1, 0, offset);
      nav.OffsetSearch = {};
      const TGotoOutcome outcome = nav.GotoOffset(offset);
      ASSERT_EQ(outcome.Item, expected) << "offset " << offset << " at " << at;
      if (expected) {
        EXPECT_EQ(outcome.Position, Tree().PositionOf(expected)) << offset;
      }
      insertedAnswers += std::count(inserted.begin(), inserted.end(), outcome.Item);
      nav.OffsetSearch = {true, true};  // the scope gotos look down from the first item anyway
      EXPECT_EQ(nav.FirstWithOffset(offset), expected) << offset;

      std::optional<int64_t> previous;
      Tree().ForEach([&](TTreeItem* it) {
        if (!previous && EndsAt(it, offset)) previous = it->Line()->Offset();
      });
      EXPECT_EQ(nav.PreviousOpcodeOffset(offset), previous) << offset;
    }
    EXPECT_EQ(nav.StartNode(), project->FindNodeByOffset(1, 0, 0x8000));
    EXPECT_EQ(nav.PositionsWorkedOut(), workedOut) << "the positions from before were enough";
  }
  EXPECT_GT(insertedAnswers, 0u) << "some answers were inserted comment lines";

  // From the search position too: the position numbers are told without working them out.
  const size_t workedOut = nav.PositionsWorkedOut();
  Tree().Select(Item(2), false);
  ASSERT_NE(project->InsertComment(), nullptr);
  nav.OffsetSearch = {false, true};
  nav.SearchPos = 3;
  const TGotoOutcome fromThere = nav.GotoOffset(0x8000);
  EXPECT_EQ(fromThere.Item, project->FindNodeByOffset(1, 4, 0x8000));
  EXPECT_EQ(fromThere.Position, Tree().PositionOf(fromThere.Item));
  EXPECT_EQ(nav.PositionsWorkedOut(), workedOut);
}

TEST_F(NavigationStale, ManyInsertionsAreWorkedOutAgain) {
  nav.LocalWalkLimit = 0;
  const size_t workedOut = nav.PositionsWorkedOut();
  for (int i = 0; i < 300; ++i) {
    Tree().Select(Item(Tree().Count() - 1), false);
    ASSERT_NE(project->InsertComment(), nullptr);
  }
  const TGotoOutcome last = nav.GotoOffset(0x810000);
  EXPECT_EQ(last.Item, Tree().LastInOrder());
  EXPECT_EQ(last.Position, Tree().Count() - 1);
  EXPECT_EQ(nav.PositionsWorkedOut(), workedOut + 1);
  ExpectEverything();
}

TEST_F(NavigationStale, AfterDeletions) {
  // The first item (with the first line's mark), a call with its routine, the last line.
  project->DeleteItems({Item(0)});
  ExpectEverything();
  project->DeleteItems({Item(0)});
  ExpectEverything();
  project->DeleteItems({Item(Tree().Count() - 1)});
  ExpectEverything();
}

TEST_F(NavigationStale, AfterMoves) {
  // A move keeps the count: only the tree's word makes the positions out of date.
  Tree().MoveAsLastChildren({Item(0)}, nullptr);
  ExpectEverything();
  TTreeItem* last = Tree().TopLevel().back();
  Tree().MoveBefore({last, Tree().TopLevel()[2]}, Tree().TopLevel().front());
  ExpectEverything();
}

TEST_F(NavigationStale, TargetWithItsOwnItemDeletedIsTheFirstItemLeft) {
  TTreeItem* bne = project->FindNodeByOffset(1, 0, 0x8005);
  ASSERT_NE(bne, nullptr);
  ASSERT_NE(bne->Line()->TargetNode(), nullptr);
  // Delete the target's items one by one, its own first: each time the first one left, until
  // the record goes with its last item and the link with it.
  int deleted = 0;
  while (const TTraceFileLine* target = bne->Line()->TargetNode()) {
    TTreeItem* doomed = OwnItem(*target);
    if (!doomed) doomed = project->FindNodeByOffset(1, 0, target->Offset());
    ASSERT_NE(doomed, nullptr);
    project->DeleteItems({doomed});
    ++deleted;
    target = bne->Line()->TargetNode();
    TTreeItem* first = nullptr;
    Tree().ForEach([&](TTreeItem* it) {
      if (target && !first && it->Line() == target) first = it;
    });
    for (size_t limit : kLimits) {
      nav.TreeChanged();
      nav.LocalWalkLimit = limit;
      const TGotoOutcome outcome = nav.TargetNode(*bne->Line());
      EXPECT_EQ(outcome.Item, first) << "limit " << limit;
      if (!first) {
        EXPECT_EQ(outcome.Message, "No target associated!");
      }
    }
  }
  EXPECT_EQ(deleted, 3) << "the loop's first line ran three times";
}

TEST_F(NavigationStale, EmptyTreeAfterTheChange) {
  const std::vector<TTreeItem*> all = Tree().TopLevel();
  project->DeleteItems(all);
  for (size_t limit : kLimits) {
    nav.TreeChanged();
    nav.LocalWalkLimit = limit;
    EXPECT_EQ(nav.GotoOffset(0x8000).Message, "Offset 008000 not present.");
    EXPECT_EQ(nav.PreviousOpcodeOffset(0x8001), std::nullopt);
    EXPECT_EQ(nav.StartNode(), nullptr);
  }
}

}  // namespace
}  // namespace orvanel::nav
