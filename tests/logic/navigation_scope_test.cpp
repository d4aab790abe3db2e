// "Set Line Scope" over whole subtrees, the quick target list and the placement of the two
// small controls beside a line.
#include <gtest/gtest.h>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "logic/NavigationState.h"
#include "logic/Placement.h"
#include "logic/ScopeDeep.h"
#include "project/SnesProject.h"
#include "records/Scope.h"

namespace orvanel::nav {
namespace {

using test::TLogBuilder;

// Three top-level calls, each with a routine of two lines below it, and a last NOP.
std::string CallsLog() {
  TLogBuilder log;
  for (int i = 0; i < 3; ++i) {
    const int64_t routine = 0x9000 + 0x100 * i;
    log.Jsr(0x8000 + 3 * i, routine).Lda(routine, 0x7E0010).Rts(routine + 3);
  }
  log.Nop(0x8009);
  return log.Text();
}

TEST(NavigationScope, SetLineScopeOverThreeSiblingsTakesTheirSubtrees) {
  test::TFakeUserInterface ui;
  auto project = test::ConvertedProject(ui, CallsLog());
  const auto top = project->Tree().TopLevel();
  ASSERT_EQ(top.size(), 4u);
  ASSERT_TRUE(top[0]->HasChildren());
  TScopeNode* scope = project->ScopeManager()->GetScope("Routines", false);
  TNavigationState nav;
  nav.Open(*project);
  project->SetSaved(true);
  nav.SetScopeLines({top[2], top[0], top[1]});
  nav.SelectionChanged(top[0]);  // one of the waiting lines: they stay
  ASSERT_EQ(nav.ScopeLines().size(), 3u);
  ASSERT_TRUE(nav.ApplyScope(scope));
  EXPECT_FALSE(project->Saved());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(top[i]->Line()->Scope(), scope);
    for (TTreeItem* child : top[i]->Children()) EXPECT_EQ(child->Line()->Scope(), scope);
  }
  EXPECT_NE(top[3]->Line()->Scope(), scope) << "a line not chosen keeps its scope";
  EXPECT_TRUE(scope->HoldsLine(*top[1]->Children()[0]->Line()));
  EXPECT_TRUE(nav.ScopeLines().empty());
  EXPECT_FALSE(nav.ApplyScope(scope)) << "nothing waits any more";
}

TEST(NavigationScope, SelectingAnotherLineForgetsTheWaitingLines) {
  test::TFakeUserInterface ui;
  auto project = test::ConvertedProject(ui, CallsLog());
  const auto top = project->Tree().TopLevel();
  TNavigationState nav;
  nav.Open(*project);
  nav.SetScopeLines({top[0], top[1]});
  EXPECT_FALSE(nav.SelectionChanged(top[1]).HideScopeBox);
  EXPECT_TRUE(nav.SelectionChanged(top[3]).HideScopeBox);
  EXPECT_TRUE(nav.ScopeLines().empty());
  // Deleted lines leave the waiting list.
  nav.SetScopeLines({top[0], top[1]});
  project->DeleteItems({top[0]});
  ASSERT_EQ(nav.ScopeLines().size(), 1u);
  EXPECT_EQ(nav.ScopeLines()[0], top[1]);
}

TEST(NavigationScope, SetScopeDeepIsSafeInADeepTree) {
  test::TFakeUserInterface ui;
  TLogBuilder log;
  const int depth = 20000;
  for (int i = 0; i < depth; ++i) log.Jsr(0x8000, 0x8000);  // each call one level deeper
  auto project = test::ConvertedProject(ui, log.Text());
  TScopeNode* scope = project->ScopeManager()->GetScope("Deep", false);
  SetScopeDeep(*project->Tree().First(), scope);
  EXPECT_EQ(project->Tree().LastInOrder()->Line()->Scope(), scope);
}

TEST(NavigationScope, QuickTargetsOnlyForTargetsThatAreNoCalls) {
  test::TFakeUserInterface ui;
  TLogBuilder log;
  log.Jmp(0x8000, 0x8010).Nop(0x8010).Jsr(0x8011, 0x9000).Rts(0x9000);
  auto project = test::ConvertedProject(ui, log.Text());
  const auto top = project->Tree().TopLevel();
  TNavigationState nav;
  nav.Open(*project);
  EXPECT_FALSE(nav.FillQuickTargets(nullptr));
  EXPECT_FALSE(nav.FillQuickTargets(top[1]->Line())) << "no target";
  EXPECT_FALSE(nav.FillQuickTargets(top[2]->Line())) << "a call";
  // Before a trace data file was read the index is empty: an empty list is shown.
  EXPECT_TRUE(nav.FillQuickTargets(top[0]->Line()));
  EXPECT_TRUE(nav.QuickTargets().empty());
  project->TargetIndex().Add(0x8010, top[0]->Line());
  project->TargetIndex().Add(0x8010, top[1]->Line());
  ASSERT_TRUE(nav.FillQuickTargets(top[0]->Line()));
  ASSERT_EQ(nav.QuickTargets().size(), 2u);
  EXPECT_EQ(nav.QuickTargets()[0], top[0]->Line());
  // A deleted line leaves the list; any selection change closes it.
  project->DeleteItems({top[1]});
  ASSERT_EQ(nav.QuickTargets().size(), 1u);
  nav.SelectionChanged(top[0]);
  EXPECT_TRUE(nav.QuickTargets().empty());
}

// Beside the line's text, and always inside the tree's area: a box placed outside it would
// be unseen yet keep the focus.
TEST(NavigationPlacement, BoxesStandBesideTheLineInsideTheArea) {
  const TRect bounds{0, 0, 600, 400};
  struct Case {
    const char* what;
    bool list;  // the quick target list (225 x 57), else the scope box (97 x 24)
    TRect line;
    int x, y;
  };
  const Case cases[] = {
      {"list: room on the right and below", true, {20, 100, 200, 116}, 200, 100},
      {"list: too little room right and below", true, {300, 350, 400, 366}, 300 - 225, 366 - 57},
      {"list: exactly enough room counts as room", true, {20, 343, 375, 359}, 375, 343},
      {"list: a short line near the left edge", true, {40, 100, 420, 116}, 0, 100},
      {"list: a line wider than the area", true, {40, 100, 900, 116}, 0, 100},
      {"list: a row at the bottom edge, cut off", true, {40, 390, 200, 406}, 200, 400 - 57},
      {"box: left of the text when it fits", false, {120, 40, 300, 56}, 23, 40},
      {"box: 0 does not count as fitting", false, {97, 40, 300, 56}, 305, 40},
      {"box: right of a text ending at the edge", false, {60, 40, 598, 56}, 600 - 97, 40},
      {"box: a row below the area", false, {60, 390, 200, 406}, 205, 400 - 24},
  };
  for (const Case& c : cases) {
    const TPoint p = c.list ? QuickTargetListPlace(c.line, bounds, 225, 57)
                            : ScopeBoxPlace(c.line, bounds, 97, 24);
    EXPECT_EQ(p.X, c.x) << c.what;
    EXPECT_EQ(p.Y, c.y) << c.what;
  }
}

}  // namespace
}  // namespace orvanel::nav
