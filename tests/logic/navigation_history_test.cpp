// The visit history: newest first, a visit after Back in front of everything, a limit of
// 32,000 entries, Back and Forward enabling, and entries of deleted items dropped.
#include <gtest/gtest.h>

#include <memory>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "logic/NavigationState.h"
#include "logic/VisitHistory.h"
#include "project/SnesProject.h"

namespace orvanel::nav {
namespace {

using test::TLogBuilder;

// A project of n top-level NOP lines at $008000, $008001, ...
std::unique_ptr<TSNESProject> Flat(test::TFakeUserInterface& ui, int n) {
  TLogBuilder log;
  for (int i = 0; i < n; ++i) log.Nop(0x8000 + i);
  return test::ConvertedProject(ui, log.Text());
}

TEST(NavigationHistory, BackAndForwardFollowTheVisits) {
  test::TFakeUserInterface ui;
  auto project = Flat(ui, 4);
  const auto& top = project->Tree().TopLevel();
  TVisitHistory h;
  EXPECT_FALSE(h.CanGoBack());
  EXPECT_FALSE(h.CanGoForward());
  h.SelectionChanged(top[0]);
  EXPECT_FALSE(h.CanGoBack()) << "the first visit leaves Back disabled";
  h.SelectionChanged(top[1]);
  h.SelectionChanged(top[2]);
  EXPECT_TRUE(h.CanGoBack());
  EXPECT_FALSE(h.CanGoForward());

  // C, B, A: Back shows B, and its selection is not recorded.
  EXPECT_EQ(h.Back(), top[1]);
  h.SelectionChanged(top[1]);
  EXPECT_EQ(h.Count(), 3u);
  EXPECT_TRUE(h.CanGoForward());
  EXPECT_EQ(h.Back(), top[0]);
  h.SelectionChanged(top[0]);
  EXPECT_FALSE(h.CanGoBack()) << "Back to the oldest entry disables Back";
  EXPECT_EQ(h.Back(), nullptr);
  EXPECT_EQ(h.Forward(), top[1]);
  h.SelectionChanged(top[1]);
  EXPECT_EQ(h.Forward(), top[2]);
  h.SelectionChanged(top[2]);
  EXPECT_FALSE(h.CanGoForward()) << "Forward to the newest entry disables Forward";

  // Back to B, then visiting D puts D in front of C, B, A; Back from D shows C.
  h.Back();
  h.SelectionChanged(top[1]);
  h.SelectionChanged(top[3]);
  ASSERT_EQ(h.Count(), 4u);
  EXPECT_EQ(h.At(0), top[3]);
  EXPECT_EQ(h.At(1), top[2]);
  EXPECT_EQ(h.Position(), 0u);
  EXPECT_FALSE(h.CanGoForward());
  EXPECT_EQ(h.Back(), top[2]);
}

TEST(NavigationHistory, NeverHoldsMoreThanTheLimit) {
  test::TFakeUserInterface ui;
  auto project = Flat(ui, 3);
  const auto& top = project->Tree().TopLevel();
  TVisitHistory h;
  h.SelectionChanged(top[2]);  // the oldest entry
  for (size_t i = 1; i < TVisitHistory::kLimit; ++i) h.SelectionChanged(top[i % 2]);
  ASSERT_EQ(h.Count(), TVisitHistory::kLimit);
  EXPECT_EQ(h.At(h.Count() - 1), top[2]);
  h.SelectionChanged(top[0]);
  EXPECT_EQ(h.Count(), TVisitHistory::kLimit);
  EXPECT_NE(h.At(h.Count() - 1), top[2]) << "the oldest entry goes first";
}

TEST(NavigationHistory, DeletedItemsLeaveTheHistoryAndThePositionStaysOnItsEntry) {
  test::TFakeUserInterface ui;
  auto project = Flat(ui, 5);
  auto top = project->Tree().TopLevel();
  TNavigationState nav;
  nav.Open(*project);
  int changes = 0;
  nav.ListsChanged = [&] { ++changes; };
  for (int i = 0; i < 5; ++i) nav.SelectionChanged(top[i]);  // 4 3 2 1 0
  nav.History().Back();
  nav.SelectionChanged(top[3]);
  nav.History().Back();
  nav.SelectionChanged(top[2]);  // showing entry 2 (item 2)

  project->DeleteItems({top[4], top[3]});
  EXPECT_EQ(changes, 1);
  auto& h = nav.History();
  ASSERT_EQ(h.Count(), 3u);
  EXPECT_EQ(h.At(h.Position()), top[2]);
  EXPECT_FALSE(h.CanGoForward());
  EXPECT_EQ(h.Back(), top[1]);

  // The shown entry itself goes: the next older one is shown.
  nav.SelectionChanged(top[1]);
  project->DeleteItems({top[1]});
  ASSERT_EQ(h.Count(), 2u);
  EXPECT_EQ(h.At(h.Position()), top[0]);
}

TEST(NavigationHistory, ClosingTheProjectEmptiesEveryList) {
  test::TFakeUserInterface ui;
  auto project = Flat(ui, 3);
  const auto& top = project->Tree().TopLevel();
  TNavigationState nav;
  nav.Open(*project);
  nav.SelectionChanged(top[0]);
  nav.SelectionChanged(top[1]);
  nav.SetScopeLines({top[1]});
  nav.SearchPos = 2;
  project.reset();  // the project goes without Close
  EXPECT_EQ(nav.Project(), nullptr);
  EXPECT_EQ(nav.History().Count(), 0u);
  EXPECT_TRUE(nav.ScopeLines().empty());
  EXPECT_EQ(nav.SearchPos, 2) << "the search position outlives a project";
}

TEST(NavigationHistory, CloseLogForgetsTheItems) {
  test::TFakeUserInterface ui;
  auto project = Flat(ui, 3);
  TNavigationState nav;
  nav.Open(*project);
  nav.SelectionChanged(project->Tree().TopLevel()[0]);
  nav.SelectionChanged(project->Tree().TopLevel()[1]);
  project->CloseLog();
  EXPECT_EQ(nav.History().Count(), 0u);
  EXPECT_FALSE(nav.History().CanGoBack());
}

}  // namespace
}  // namespace orvanel::nav
