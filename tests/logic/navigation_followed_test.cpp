// The positions worked out once and followed through deletions, moves, pastes and inserted
// lines: every goto must answer exactly as a plain walk of the tree as it stands, position
// numbers included, without the positions being worked out again and without any walk
// from the first item (the walk is given no stretch at all).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LoopLog.h"
#include "editing/Clipboard.h"
#include "logic/FollowedPositions.h"
#include "logic/NavigationState.h"
#include "logic/TreePositions.h"
#include "project/SnesProject.h"

namespace orvanel::nav {
namespace {

class NavigationFollowed : public ::testing::Test {
 protected:
  void Open(int passes) {
    project = test::ConvertedProject(ui, test::LoopLog(passes));
    ASSERT_TRUE(ui.Messages.empty()) << ui.Messages.front();
    nav.Open(*project);
    nav.LocalWalkLimit = 0;
    (void)nav.Positions();
    workedOut = nav.PositionsWorkedOut();
  }
  TCodeTree& Tree() { return project->Tree(); }
  TTreeItem* Item(size_t position) { return Tree().ItemAt(position); }
  std::vector<TTreeItem*> All() {
    std::vector<TTreeItem*> items;
    Tree().ForEach([&](TTreeItem* it) { items.push_back(it); });
    return items;
  }

  // Every goto against a plain walk of the tree; find-next from a sample of positions.
  void ExpectGotosAsTheWalk(const std::string& after) {
    SCOPED_TRACE(after);
    const std::vector<TTreeItem*> all = All();
    const auto n = static_cast<int32_t>(all.size());
    std::set<int64_t> offsets{0x123456};
    for (TTreeItem* it : all) {
      offsets.insert(it->Line()->Offset());
      offsets.insert(it->Line()->Offset() + it->Line()->OpcodeLen());
    }
    std::vector<int32_t> from{-1, 0, 1, n / 2, n - 2, n - 1, n};
    for (int32_t p = 3; p < n; p += 11) from.push_back(p);
    for (int64_t offset : offsets) {
      for (bool up : {false, true}) {
        // Without find-next the direction does not count: down from the first item.
        nav.OffsetSearch = {up, false};
        ExpectFound(nav.GotoOffset(offset), all, 1, 0, offset);
        nav.OffsetSearch = {up, true};
        for (int32_t pos : from) {
          nav.SearchPos = pos;
          ExpectFound(nav.GotoOffset(offset), all, up ? -1 : 1, up ? pos - 1 : pos + 1, offset);
        }
      }
      std::optional<int64_t> previous;
      for (TTreeItem* it : all)
        if (EndsAt(it, offset)) {
          previous = it->Line()->Offset();
          break;
        }
      EXPECT_EQ(nav.PreviousOpcodeOffset(offset), previous) << offset;
    }
    TTreeItem* start = nullptr;
    for (TTreeItem* it : all)
      if (!start && it->Line()->IsFirstLine()) start = it;
    EXPECT_EQ(nav.StartNode(), start);
    EXPECT_EQ(nav.PositionsWorkedOut(), workedOut) << "the changes were followed";
  }

  void ExpectFound(const TGotoOutcome& outcome, const std::vector<TTreeItem*>& all, int step,
                   int64_t start, int64_t offset) {
    std::optional<size_t> expected;
    const auto n = static_cast<int64_t>(all.size());
    if (start >= 0 && start < n)
      for (int64_t p = start; p >= 0 && p < n; p += step)
        if (ShowsOffset(all[static_cast<size_t>(p)], offset)) {
          expected = static_cast<size_t>(p);
          break;
        }
    ASSERT_EQ(outcome.Item, expected ? all[*expected] : nullptr)
        << "offset " << offset << " step " << step << " from " << start;
    if (expected) {
      EXPECT_EQ(outcome.Position, *expected) << "offset " << offset << " from " << start;
    }
  }

  test::TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  TNavigationState nav;
  size_t workedOut = 0;
};

TEST_F(NavigationFollowed, DeletionsOfLinesAndWholeLevels) {
  Open(12);
  // The first item, a call with its routine's level, a line inside a level, the last line,
  // then a run of top-level siblings and siblings with gaps between them.
  project->DeleteItems({Item(0)});
  ExpectGotosAsTheWalk("the first item");
  TTreeItem* call = Tree().TopLevel()[0];
  ASSERT_TRUE(call->HasChildren());
  project->DeleteItems({call});
  ExpectGotosAsTheWalk("a call with its level");
  project->DeleteItems({Tree().TopLevel()[3]->Children().at(1)});
  ExpectGotosAsTheWalk("a line inside a level");
  project->DeleteItems({Tree().LastInOrder()});
  ExpectGotosAsTheWalk("the last line");
  const auto& top = Tree().TopLevel();
  project->DeleteItems({top[4], top[5], top[6]});
  ExpectGotosAsTheWalk("a run of siblings");
  project->DeleteItems({top[2], top[7], top[9], top[15]});
  ExpectGotosAsTheWalk("siblings with gaps");
}

TEST_F(NavigationFollowed, MovesOfRunsAndScatteredItems) {
  Open(12);
  const auto& top = Tree().TopLevel();
  // One run to the end of the top level, one into a routine's level (the view's move).
  Tree().MoveAsLastChildren({top[0], top[1]}, nullptr);
  ExpectGotosAsTheWalk("a run to the end");
  TTreeItem* call = nullptr;
  for (TTreeItem* it : top)
    if (it->HasChildren()) call = it;
  ASSERT_NE(call, nullptr);
  Tree().MoveBefore({top[2], top[3]}, call->Children().front());
  ExpectGotosAsTheWalk("a run into a level");
  // Items of several parents, one of them deep: they leave their places and come back as
  // one run at the top.
  Tree().MoveBefore({call->Children().at(1), top[5], top[9]}, top.front());
  ExpectGotosAsTheWalk("scattered items");
  // A moved item moves again, and a moved level is deleted with what came into it.
  Tree().MoveAsLastChildren({top.front()}, call);
  ExpectGotosAsTheWalk("a moved item again");
  project->DeleteItems({call});
  ExpectGotosAsTheWalk("a level with moved items in it");
}

TEST_F(NavigationFollowed, PastesAndCommentLinesAmongDeletions) {
  Open(10);
  TClipboard clipboard;
  clipboard.Watch(project->EditEvents());
  Tree().Select(Tree().TopLevel()[1], false);  // a call with its level
  clipboard.Cut(*project);
  Tree().Select(Tree().TopLevel()[6], false);
  clipboard.Paste(*project);
  ExpectGotosAsTheWalk("a cut level pasted");
  Tree().Select(Tree().TopLevel()[3], false);
  ASSERT_NE(project->InsertComment(), nullptr);
  ExpectGotosAsTheWalk("a comment line inserted");
  // Copies of a level: new items that show records the positions from before hold.
  TTreeItem* level = nullptr;
  for (TTreeItem* it : Tree().TopLevel())
    if (it->HasChildren()) level = it;
  ASSERT_NE(level, nullptr);
  project->CopySubtree(level, Tree().TopLevel()[2], nullptr, 0, 0);
  ExpectGotosAsTheWalk("a level copied under a line");
  Tree().Select(level, false);
  ASSERT_NE(project->InsertComment(), nullptr);
  project->DeleteItems({Tree().TopLevel()[2]});  // with the copy under it
  ExpectGotosAsTheWalk("the copy deleted with its parent");
  clipboard.Unwatch(project->EditEvents());
}

// A long series of random edits of every kind, each followed by every goto.
TEST_F(NavigationFollowed, RandomEditsAreFollowed) {
  Open(8);
  std::mt19937 random(20261209);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  for (int round = 0; round < 40 && Tree().Count() > 8; ++round) {
    const std::vector<TTreeItem*> all = All();
    TTreeItem* item = all[pick(all.size())];
    TTreeItem* other = all[pick(all.size())];
    const auto& siblings = item->Parent() ? item->Parent()->Children() : Tree().TopLevel();
    std::vector<TTreeItem*> some;
    for (TTreeItem* s : siblings)
      if (pick(3) == 0) some.push_back(s);
    if (some.empty()) some.push_back(item);
    switch (pick(5)) {
      case 0:
        project->DeleteItems({item});
        break;
      case 1:
        project->DeleteItems(some);
        break;
      case 2:
        Tree().MoveBefore(some, other);
        break;
      case 3:
        Tree().MoveAsLastChildren({item, other}, pick(2) ? nullptr : all[pick(all.size())]);
        break;
      default:
        Tree().Select(item, false);
        project->InsertComment();
        project->CopySubtree(other, other->Parent(), nullptr, 0, 0);
        break;
    }
    ExpectGotosAsTheWalk("round " + std::to_string(round));
    if (HasFatalFailure()) return;
  }
}

// The positions from before with items struck out count the items left correctly across
// the blocks they are counted in.
TEST_F(NavigationFollowed, StruckOutPositionsAreCountedOut) {
  Open(40);
  TTreePositions positions(*project);
  const size_t n = positions.Count();
  ASSERT_GT(n, 200u);
  std::vector<bool> struck(n, false);
  auto strike = [&](size_t first, size_t last) {
    positions.StrikeOut({{first, last}});
    for (size_t p = first; p <= last; ++p) struck[p] = true;
    size_t live = 0;
    for (size_t p = 0; p <= n; ++p) {
      ASSERT_EQ(positions.LiveBefore(p), live) << p;
      if (p == n) break;
      if (!struck[p]) {
        ASSERT_EQ(positions.NthLive(live), p);
        ++live;
      }
      ASSERT_EQ(positions.ItemAt(p) == nullptr, struck[p]);
    }
    EXPECT_EQ(positions.LiveCount(), live);
  };
  strike(0, 0);
  strike(63, 64);    // across a block's end
  strike(70, 140);   // whole blocks
  strike(100, 130);  // struck already
  strike(n - 1, n - 1);
  EXPECT_EQ(positions.NextLive(63), 65u);
  EXPECT_EQ(positions.NextLive(n - 1), n);
}

// Past the bound of noted subtrees the positions are worked out again, and still right.
TEST_F(NavigationFollowed, TooManyNotedSubtreesAreWorkedOutAgain) {
  Open(4);
  for (size_t i = 0; i <= TFollowedPositions::kMaxRoots; ++i) {
    Tree().Select(Tree().TopLevel()[i % 3], false);
    ASSERT_NE(project->InsertComment(), nullptr);
  }
  const TGotoOutcome last = nav.GotoOffset(0x810000);
  EXPECT_EQ(last.Item, Tree().LastInOrder());
  EXPECT_EQ(last.Position, Tree().Count() - 1);
  EXPECT_EQ(nav.PositionsWorkedOut(), workedOut + 1);
}

// A move of more items than are noted: the positions are worked out again, and still right.
TEST_F(NavigationFollowed, AMoveOfMoreItemsThanAreNotedIsWorkedOutAgain) {
  Open(static_cast<int>(TFollowedPositions::kMaxNoted / 6));
  ASSERT_GT(Tree().Count(), TFollowedPositions::kMaxNoted);
  const std::vector<TTreeItem*> top = Tree().TopLevel();
  Tree().MoveBefore(std::vector<TTreeItem*>(top.begin() + 1, top.end()), top.front());
  ASSERT_EQ(Tree().TopLevel().back(), top.front());
  const TGotoOutcome last = nav.GotoOffset(0x810000);
  EXPECT_EQ(last.Item, top.back());
  EXPECT_EQ(last.Position, Tree().Count() - 2);
  TTreeItem* start = nullptr;
  Tree().ForEach([&](TTreeItem* it) {
    if (!start && it->Line()->IsFirstLine()) start = it;
  });
  EXPECT_EQ(nav.StartNode(), start);
  EXPECT_EQ(nav.PositionsWorkedOut(), workedOut + 1);
}

}  // namespace
}  // namespace orvanel::nav
