// The texts of the status bar, the register labels and the comment memo.
#include <gtest/gtest.h>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "logic/NavigationState.h"
#include "logic/StatusTexts.h"
#include "project/SnesProject.h"
#include "records/ItemRegisters.h"

namespace orvanel::nav {
namespace {

TEST(NavigationStatus, EachExecutionShowsItsOwnRegistersAndACommentLineKeepsThePanels) {
  test::TFakeUserInterface ui;
  std::string line =
      "$00/8000  EA                NOP                  A:00FF X:0001 Y:0002 D:0300 DB:7E S:01FB "
      "P:envMXdizc HC:0005 VC:0120 FC:00";
  test::TLogBuilder log;
  std::string again = line;
  again.replace(again.find("A:00FF"), 6, "A:1234");
  log.Raw(line).Raw("--- frame 2 ---").Raw(again);
  auto project = test::ConvertedProject(ui, log.Text());
  ASSERT_TRUE(ui.Messages.empty()) << ui.Messages.front();
  const auto& top = project->Tree().TopLevel();
  ASSERT_EQ(top.size(), 3u);
  ASSERT_TRUE(top[1]->Line()->IsComment());
  ASSERT_NE(top[0]->Registers(), nullptr);
  TStatusTexts t = StatusTexts(*top[0]->Registers());
  EXPECT_EQ(t.A, "A : $00FF");
  EXPECT_EQ(t.DB, "DB : $7E");
  EXPECT_EQ(t.S, "S : $01FB");
  EXPECT_EQ(t.PS, "PS : envMXdizc");
  EXPECT_EQ(t.HC.rfind("HC : ", 0), 0u);
  EXPECT_EQ(top[1]->Registers(), nullptr);
  ASSERT_NE(top[2]->Registers(), nullptr);
  EXPECT_EQ(StatusTexts(*top[2]->Registers()).A, "A : $1234") << "the second execution's own A";
  EXPECT_EQ(OffsetStatusText(*top[2]->Line()), "Offset :$008000");

  TNavigationState nav;
  nav.Open(*project);
  EXPECT_TRUE(nav.SelectionChanged(top[0]).UpdatePanels);
  EXPECT_FALSE(nav.SelectionChanged(top[1]).UpdatePanels) << "a comment line keeps the panels";
}

TEST(NavigationStatus, MemoLineBreaks) {
  // A carriage return, a line feed or the pair each make one break; LF CR makes two.
  EXPECT_EQ(CommentToMemo("a\rb\nc\r\nd\n\re"), "a\nb\nc\nd\n\ne");
  EXPECT_EQ(CommentToMemo("end\r\n"), "end\n");
  EXPECT_EQ(MemoToComment("one\ntwo\n\nthree"), "one\r\ntwo\r\n\r\nthree");
  EXPECT_EQ(MemoToComment("no break"), "no break");
  EXPECT_EQ(MemoToComment(CommentToMemo("x\r\ny")), "x\r\ny");
  EXPECT_EQ(CommentLength("ab\ncd"), 6u) << "a break counts as the two characters it is saved as";
  EXPECT_EQ(CommentLength("\xc3\xa9t\xc3\xa9"), 3u) << "characters, not bytes";
}

}  // namespace
}  // namespace orvanel::nav
