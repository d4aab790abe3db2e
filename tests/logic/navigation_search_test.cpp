// The text and target searches: what they find, where the shared position goes, the upward
// rules at the first item and the end of the tree.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "base/Errors.h"
#include "logic/NavigationState.h"
#include "logic/SearchLoops.h"
#include "project/SnesProject.h"

namespace orvanel::nav {
namespace {

using test::TLogBuilder;

// Twelve top-level lines: NOPs, an LDA at position 5, a JML to $C08000 at 8 and 10.
std::string FlatLog() {
  TLogBuilder log;
  for (int i = 0; i < 5; ++i) log.Nop(0x8000 + i);
  log.Lda(0x8005, 0x7E0010);
  log.Nop(0x8008).Nop(0x8009);
  log.Op(0x800A, {0x5C, 0x00, 0x80, 0xC0}, "JML", "$C08000", "$C0:8000");
  log.Nop(0xC08000);
  log.Op(0x800A, {0x5C, 0x00, 0x80, 0xC0}, "JML", "$C08000", "$C0:8000");
  log.Nop(0xC08000);
  return log.Text();
}

class NavigationSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    project = test::ConvertedProject(ui, FlatLog());
    ASSERT_TRUE(ui.Messages.empty()) << ui.Messages.front();
    ASSERT_EQ(project->Tree().Count(), 12u);
    nav.Open(*project);
  }
  size_t PositionOf(const TTreeItem* item) { return project->Tree().PositionOf(item); }
  test::TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  TNavigationState nav;
};

TEST(NavigationSearchText, OnlyTheLettersAToZAreFolded) {
  EXPECT_EQ(FoldLetters("LdA $12 ÄÖ"), "lda $12 ÄÖ");
  EXPECT_TRUE(ContainsFolded("$00/8005 AD 10 00     LDA $0010", "lda"));
  EXPECT_TRUE(ContainsFolded("xx LDA", FoldLetters("Lda")));
  EXPECT_FALSE(ContainsFolded("caf\xc3\x89", FoldLetters("caf\xc3\xa9"))) << "É is not é";
  EXPECT_TRUE(ContainsFolded("[", "["));
  EXPECT_FALSE(ContainsFolded("{", "["));
  EXPECT_FALSE(ContainsFolded("ab", "abc"));
}

TEST_F(NavigationSearch, ForwardTextSearchGoesOnAfterEachMatch) {
  TSearchOutcome hit = nav.SearchText("lda", 1);
  ASSERT_NE(hit.Item, nullptr);
  EXPECT_EQ(PositionOf(hit.Item), 5u);
  EXPECT_EQ(nav.SearchPos, 6);
  // No further match: the end of the tree resets the position and says so.
  TSearchOutcome end = nav.SearchText("Lda", 1);
  EXPECT_EQ(end.Item, nullptr);
  EXPECT_EQ(end.Message, "Code Tree Searched!");
  EXPECT_EQ(nav.SearchPos, 0);
  EXPECT_EQ(PositionOf(nav.SearchText("LDA", 1).Item), 5u) << "starts again at the first item";
  // An empty text does nothing.
  EXPECT_EQ(nav.SearchText("", 1).Item, nullptr);
  EXPECT_EQ(nav.SearchPos, 6);
}

TEST_F(NavigationSearch, ACommentIsSearchedAfterTheLineText) {
  project->Tree().ItemAt(7)->Line()->SetComment("Wait for VBlank");
  EXPECT_EQ(PositionOf(nav.SearchText("vblank", 1).Item), 7u);
}

TEST_F(NavigationSearch, UpwardSearchTreatsTheFirstItemAsFound) {
  nav.SearchPos = 9;
  TSearchOutcome hit = nav.SearchText("lda", -1);
  EXPECT_EQ(PositionOf(hit.Item), 5u);
  EXPECT_EQ(nav.SearchPos, 6) << "after an upward match the position is p + 1";
  EXPECT_EQ(nav.SearchText("lda", -1).Item, project->Tree().First())
      << "the next press looks above the line it found: none matches, the first item counts";
  TSearchOutcome top = nav.SearchText("nothing like it", -1);
  EXPECT_EQ(top.Item, project->Tree().First());
  EXPECT_TRUE(top.Message.empty());
  EXPECT_EQ(nav.SearchPos, 1);
}

// Every upward press finds the nearest match above the line found last, whichever search
// found it; a downward press goes on below it.
TEST_F(NavigationSearch, UpwardPressesFindTheNearestMatchAboveEachTime) {
  enum Kind { Text, Target, Offset };
  struct Press {
    Kind kind;
    const char* what;
    int step;
    long expected;  // the position selected, -1 for none
  };
  struct Case {
    const char* name;
    int32_t start;
    std::vector<Press> presses;
  };
  // NOPs at 0-4, 6, 7, 9 and 11; LDA at 5; JML to $C08000 at 8 and 10 ($C08000 at 9 and 11).
  const Case cases[] = {
      {"text up, press after press",
       11,
       {{Text, "nop", -1, 11},
        {Text, "nop", -1, 9},
        {Text, "nop", -1, 7},
        {Text, "nop", -1, 6},
        {Text, "nop", -1, 4}}},
      {"down, then up from the line found",
       0,
       {{Text, "lda", 1, 5}, {Text, "nop", -1, 4}, {Text, "nop", 1, 6}}},
      {"target up",
       11,
       {{Target, "$C08000", -1, 10}, {Target, "$C08000", -1, 8}, {Target, "$C08000", -1, 0}}},
      {"offset up with find-next on", 11, {{Offset, "C08000", -1, 9}, {Offset, "C08000", -1, -1}}},
      {"offset up after a text hit",
       0,
       {{Text, "jml", 1, 8}, {Offset, "8009", -1, 7}, {Offset, "8000", -1, 0}}},
      {"text up after an offset hit",
       11,
       {{Offset, "C08000", -1, 9}, {Text, "jml", -1, 8}, {Text, "jml", -1, 0}}},
  };
  for (const Case& c : cases) {
    nav.SearchPos = c.start;
    nav.OffsetSearch = {false, false};
    for (const Press& press : c.presses) {
      TTreeItem* found = nullptr;
      if (press.kind == Offset) {
        nav.OffsetSearch = {press.step < 0, true};
        found = nav.GotoOffset(std::stoll(press.what, nullptr, 16)).Item;
      } else {
        found = (press.kind == Text ? nav.SearchText(press.what, press.step)
                                    : nav.SearchTarget(press.what, press.step))
                    .Item;
      }
      const long at = found ? static_cast<long>(PositionOf(found)) : -1;
      EXPECT_EQ(at, press.expected) << c.name << ": " << press.what;
    }
  }
}

TEST_F(NavigationSearch, TargetSearchReadsNumbersAsTheSystemDoes) {
  TSearchOutcome hex = nav.SearchTarget("$C08000", 1);
  ASSERT_NE(hex.Item, nullptr);
  EXPECT_EQ(PositionOf(hex.Item), 8u);
  nav.SearchPos = 0;
  EXPECT_EQ(nav.SearchTarget("12615680", 1).Item, hex.Item) << "the same value in decimal";
  EXPECT_EQ(PositionOf(nav.SearchTarget(" +12615680", 1).Item), 10u);
  // 0 finds the first line without a target at or after the position.
  nav.SearchPos = 0;
  EXPECT_EQ(PositionOf(nav.SearchTarget("0", 1).Item), 0u);
  // Not a number: the conversion's message, nothing moves.
  nav.SearchPos = 3;
  try {
    nav.SearchTarget("C08000", 1);
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'C08000' is not a valid integer value");
  }
  EXPECT_EQ(nav.SearchPos, 3);
  EXPECT_EQ(nav.SearchTarget("", 1).Item, nullptr);
}

TEST_F(NavigationSearch, APositionPastTheEndExaminesNothing) {
  nav.SearchPos = 11;
  project->DeleteItems({project->Tree().ItemAt(11), project->Tree().ItemAt(10)});
  TSearchOutcome text = nav.SearchText("nop", 1);
  EXPECT_EQ(text.Item, nullptr);
  EXPECT_TRUE(text.Message.empty());
  EXPECT_EQ(nav.SearchTarget("0", -1).Item, nullptr);
  EXPECT_EQ(nav.SearchPos, 11);
}

TEST(NavigationSearchEmpty, AnEmptyTreeIsSearchedAtOnce) {
  test::TFakeUserInterface ui;
  auto project = test::ConvertedProject(ui, "");
  TNavigationState nav;
  nav.Open(*project);
  EXPECT_EQ(nav.SearchText("lda", 1).Message, "Code Tree Searched!");
  EXPECT_EQ(nav.SearchTarget("0", -1).Message, "Code Tree Searched!");
}

}  // namespace
}  // namespace orvanel::nav
