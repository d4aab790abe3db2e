#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/TextUtils.h"
#include "project/ProjectSession.h"
#include "project/SnesProject.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

class ConversionTest : public ::testing::Test {
 protected:
  // Converts the log text as "New" does, without dialogs.
  TSNESProject& Convert(const std::string& text, int type = 1) {
    project_ = test::ConvertedProject(ui_, text, type);
    return *project_;
  }
  // Items in display order as "offset-text(level)" or the comment text, space separated.
  std::string Shape() const {
    std::string s;
    project_->Tree().ForEach([&](TTreeItem* it) {
      if (!s.empty()) s += ' ';
      const TTraceFileLine* l = it->Line();
      s += l->IsComment() ? l->DisplayText() : IntToHex(l->Offset(), 4);
      s += std::to_string(it->Level());
    });
    return s;
  }
  TTraceFileLine* At(int64_t offset) { return project_->FindInIndex(offset); }

  TFakeUserInterface ui_;
  std::unique_ptr<TSNESProject> project_;
};

TEST_F(ConversionTest, TakenCallsOpenLevelsAndReturnsCloseThem) {
  TLogBuilder log;
  log.Jsr(0x8000, 0x9000).Jsl(0x9000, 0xA000).Nop(0xA000).Rtl(0xA001).Rts(0x9004).Nop(0x8003);
  TSNESProject& p = Convert(log.Text());
  EXPECT_EQ(Shape(), "80000 90001 A0002 A0012 90041 80030");
  EXPECT_EQ(p.CallDepth, 0);
  EXPECT_EQ(At(0x8000)->TargetNode(), At(0x9000));
  EXPECT_EQ(At(0x9000)->TargetNode(), At(0xA000));
  EXPECT_EQ(p.FirstLine, At(0x8000));
  // The first line keeps the start colour even though it is a call.
  EXPECT_EQ(At(0x8000)->TextColor(), p.Palette.StartNodeColor);
  EXPECT_TRUE(At(0x8000)->IsFirstLine());
  EXPECT_EQ(At(0x9000)->TextColor(), p.Palette.CallColor);
  EXPECT_EQ(At(0xA001)->TextColor(), p.Palette.ReturnColor);
  EXPECT_EQ(At(0x9004)->TextColor(), p.Palette.ReturnColor);
  EXPECT_EQ(At(0xA000)->TextColor(), 0);
  EXPECT_EQ(At(0xA001)->Successor(), nullptr);
}

// A routine that calls itself: each level's lines go under the call item that opened that
// level, not under the newest item of the call's record (which the deeper calls made).
TEST_F(ConversionTest, RecursiveCallsPutEachLevelUnderTheCallThatOpenedIt) {
  TLogBuilder log;
  log.Jsr(0x8000, 0x9000);
  for (int depth = 0; depth < 3; ++depth) log.Nop(0x9000).Jsr(0x9001, 0x9000);
  // The fourth call to the routine is not taken (the next line is not its start).
  log.Nop(0x9000).Jsr(0x9001, 0x9000).Nop(0x9004).Rts(0x9005);
  log.Nop(0x9004).Rts(0x9005).Nop(0x9004).Rts(0x9005).Nop(0x9004).Rts(0x9005).Nop(0x8003);
  Convert(log.Text());
  EXPECT_EQ(Shape(),
            "80000 90001 90011 90002 90012 90003 90013 90004 90014 90044 90054 "
            "90043 90053 90042 90052 90041 90051 80030");
  EXPECT_EQ(project_->CallDepth, 0);
  // Every call item of the routine holds exactly its own level: a nop, the next call and,
  // after that call returned, the rest of the routine.
  std::vector<TTreeItem*> calls;
  project_->Tree().ForEach([&](TTreeItem* it) {
    if (it->Line()->Offset() == 0x9001 || it->Line()->Offset() == 0x8000) calls.push_back(it);
  });
  ASSERT_EQ(calls.size(), 5u);
  for (size_t i = 0; i + 1 < calls.size(); ++i) {
    EXPECT_EQ(calls[i + 1]->Parent(), calls[i]) << "call " << i + 1;
    EXPECT_EQ(calls[i]->Children().size(), 4u) << "call " << i;
  }
  EXPECT_FALSE(calls.back()->HasChildren());  // the call that was not taken
}

TEST_F(ConversionTest, ACallWhoseCalleeIsNotTracedOpensNoLevel) {
  TLogBuilder log;
  log.Nop(0x9000).Jsr(0x8000, 0x9000).Nop(0x8003).Jsr(0x8004, 0xB000).Nop(0x8007);
  Convert(log.Text());
  EXPECT_EQ(Shape(), "90000 80000 80030 80040 80070");
  EXPECT_EQ(At(0x8000)->TargetNode(), At(0x9000));  // the registered line at the target
  EXPECT_EQ(At(0x8004)->TargetNode(), nullptr);
  EXPECT_EQ(project_->CallDepth, 0);
}

TEST_F(ConversionTest, ReturnsOutOfTheStartingRoutineWrapTheTreeInUpsteps) {
  TLogBuilder log;
  log.Nop(0x8000).Rts(0x8001).Nop(0x9003).Rtl(0x9004).Nop(0xA004);
  TSNESProject& p = Convert(log.Text());
  EXPECT_EQ(Shape(), "Upstep0 Upstep1 80002 80012 90031 90041 A0040");
  const auto& top = p.Tree().TopLevel();
  ASSERT_EQ(top.size(), 2u);
  TTraceFileLine* outer = top[0]->Line();
  TTraceFileLine* inner = top[0]->Children()[0]->Line();
  // The Upstep stands just before the instruction the return went back to.
  EXPECT_EQ(inner->Offset(), 0x9003 - 3);
  EXPECT_EQ(inner->OpcodeLen(), 3);
  EXPECT_EQ(outer->Offset(), 0xA004 - 4);
  EXPECT_EQ(outer->OpcodeLen(), 4);
  EXPECT_EQ(inner->TargetNode(), At(0x8000));
  EXPECT_EQ(outer->TargetNode(), inner);
  EXPECT_EQ(inner->TextColor(), 0);
}

TEST_F(ConversionTest, AnInterruptReturnAtTheTopLevelPlacesTheUpstepOneByteBack) {
  TLogBuilder log;
  log.Wai(0x8000).Nop(0x8091).Rti(0x8092).Nop(0x8001);
  Convert(log.Text());
  ASSERT_EQ(project_->Tree().TopLevel().size(), 2u);
  TTraceFileLine* upstep = project_->Tree().TopLevel()[0]->Line();
  EXPECT_EQ(upstep->LineText(), "Upstep");
  EXPECT_EQ(upstep->Offset(), 0x8000);
  EXPECT_EQ(upstep->OpcodeLen(), 1);
}

TEST_F(ConversionTest, BranchesResolveAtOnceOrWhenTheirTargetIsFirstMet) {
  TLogBuilder log;
  log.Nop(0x8000)
      .Branch(0x8001, 0xD0, 0x80, 0x8083)  // forward, displacement $80
      .Nop(0x8083)
      .Branch(0x8084, 0xF0, 0x81, 0x8000)  // back, displacement $81
      .Nop(0x8086)
      .Branch(0x8087, 0x80, 0x10, 0x9000);  // its target never comes
  TSNESProject& p = Convert(log.Text());
  EXPECT_EQ(At(0x8001)->TargetNode(), At(0x8083));
  EXPECT_EQ(At(0x8084)->TargetNode(), At(0x8000));
  EXPECT_EQ(At(0x8087)->TargetNode(), nullptr);
  EXPECT_EQ(p.PendingTargets().Count(), 1u);
  EXPECT_TRUE(p.PendingTargets().Contains(0x9000));
  EXPECT_EQ(At(0x8001)->TextColor(), p.Palette.ForwardBranchColor);
  EXPECT_EQ(At(0x8084)->TextColor(), p.Palette.BackBranchColor);
}

TEST_F(ConversionTest, ALoopGivesOneItemPerExecutionOfOneRecord) {
  TLogBuilder log;
  for (int i = 0; i < 3; ++i) log.Nop(0x8000).Branch(0x8001, 0x80, 0xFD, 0x8000);
  log.Nop(0x8003);
  TSNESProject& p = Convert(log.Text());
  EXPECT_EQ(p.Tree().Count(), 7u);
  EXPECT_EQ(At(0x8000)->itemCount_, 3u);
  EXPECT_EQ(At(0x8001)->itemCount_, 3u);
  EXPECT_EQ(At(0x8001)->TargetNode(), At(0x8000));
  EXPECT_EQ(p.Tree().TopLevel()[2]->Line(), At(0x8000));
}

TEST_F(ConversionTest, ABranchOntoAReturnGetsAnExitLabel) {
  TLogBuilder log;
  log.Nop(0x8000).Rts(0x8010).Branch(0x9000, 0xD0, 0x0E, 0x8010).Branch(0x9002, 0x80, 0x0C, 0x8010);
  TSNESProject& p = Convert(log.Text());
  TMappingNode* exitLabel = p.LabelManager()->FindLabel(0x8010);
  ASSERT_NE(exitLabel, nullptr);
  EXPECT_EQ(exitLabel->MappingName(), "exit");
  EXPECT_EQ(exitLabel->Address(), "$008010");
  EXPECT_EQ(At(0x9000)->TargetRef(), exitLabel);
  EXPECT_EQ(At(0x9002)->TargetRef(), exitLabel);  // the label is reused
  EXPECT_EQ(At(0x8010)->OffsetLabel(), exitLabel);
  EXPECT_EQ(p.LabelManager()->Scopes().front()->Mappings().size(), 1u);
  EXPECT_EQ(At(0x9000)->DisplayText(), "Global.$009000 BNE exit [$008010]");
}

TEST_F(ConversionTest, CommentLinesOfTheLog) {
  TLogBuilder log;
  log.Raw("title line without a dollar sign")
      .Nop(0x8000)
      .Raw("// the first NOP")
      .Raw("")
      .Raw("--- frame 2 ---")
      .Jsr(0x8001, 0x9000)
      .Raw("--- inside ---")
      .Nop(0x9000)
      .Rts(0x9001)
      .Nop(0x8004);
  TSNESProject& p = Convert(log.Text());
  EXPECT_EQ(At(0x8000)->Comment(), " the first NOP");
  EXPECT_EQ(Shape(), "80000 --- frame 2 ---0 80010 --- inside ---1 90001 90011 80040");
  (void)p;
}

// A log line that cannot be cut is reported once, wherever it stands (the line after a
// call is cut as the lookahead and then again as the next line).
TEST_F(ConversionTest, AnUnreadableLineIsReportedOnce) {
  const std::string badOffset = "$0G/8002  EA           NOP";
  const std::string badOpcode = "$00/8002  GZ           NOP";
  struct Case {
    const char* where;
    std::string bad;
    bool afterCall;
  };
  const Case cases[] = {
      {"offset, top level", badOffset, false},
      {"opcode, top level", badOpcode, false},
      {"offset, first line of a routine", badOffset, true},
  };
  for (const Case& c : cases) {
    TLogBuilder log;
    log.Nop(0x8000);
    if (c.afterCall) log.Jsr(0x8001, 0x9000);
    log.Raw(c.bad).Nop(0x9000).Nop(0x9001).Rts(0x9002).Nop(0x8004);
    ui_.Messages.clear();
    Convert(log.Text());
    size_t reports = 0;
    for (const std::string& m : ui_.Messages)
      if (m.find(c.bad) != std::string::npos) ++reports;
    EXPECT_EQ(reports, 1u) << c.where;
  }
}

TEST_F(ConversionTest, LogsWithoutEnoughLinesGiveNoTree) {
  Convert("no dollar\nstill none\n$00/8000  EA           NOP");
  EXPECT_TRUE(project_->Tree().Empty());
  Convert("");
  EXPECT_TRUE(project_->Tree().Empty());
  Convert("--- a\n--- b\n--- c\n");  // no line with "$": the walk ends on the last line
  EXPECT_TRUE(project_->Tree().Empty());
}

TEST_F(ConversionTest, ACallFollowedOnlyByCommentsEndsItsLevelWithAMessage) {
  TLogBuilder log;
  log.Nop(0x8000).Jsr(0x8001, 0x9000).Raw("--- a ---").Raw("--- b ---");
  Convert(log.Text());
  ASSERT_EQ(ui_.Batches.size(), 1u);
  EXPECT_EQ(ui_.Batches[0], std::vector<std::string>{"4"});
  EXPECT_EQ(project_->Tree().Count(), 4u);  // the comments went under the call before the end
}

TEST_F(ConversionTest, JsrIndexedIsNoCall) {
  TLogBuilder log;
  log.Nop(0x8000)
      .Op(0x8001, {0xFC, 0x00, 0x90}, "JSR", "($9000,x)", "$00:9000")
      .Nop(0x9000)
      .Rts(0x9001);
  Convert(log.Text());
  EXPECT_EQ(Shape(), "Upstep0 80001 80011 90001 90011");
}

TEST_F(ConversionTest, TheDebuggerDialectConvertsTheSameWay) {
  TLogBuilder log(TLogBuilder::Dialect::Debugger);
  log.Jsr(0x8000, 0x9000).Nop(0x9000).Rts(0x9001).Nop(0x8003);
  Convert(log.Text(), 2);
  EXPECT_EQ(Shape(), "80000 90001 90011 80030");
  EXPECT_FALSE(ui_.ProgressShown);
}

// Every executed line becomes one item: the real traces give exactly one item per line that
// is not empty and not taken over as a comment, plus one Upstep per top-level return.
TEST(ConversionRealTraces, OneItemPerExecutedLine) {
  for (const char* name : {"pvsneslib-hello_world-snes9x.log", "pvsneslib-hello_world-debugger.log",
                           "undisbeliever-wrmpyb-in-flight-snes9x.log",
                           "undisbeliever-wrmpyb-in-flight-debugger.log"}) {
    SCOPED_TRACE(name);
    TFakeUserInterface ui;
    bool debugger = std::string(name).find("debugger") != std::string::npos;
    auto project = CreateProject(debugger ? 2 : 1, ui, "");
    project->ScopeManager()->GetScope("Global", true);
    project->TraceLogDialog.FileName = test::TracePath(name);
    project->ImportLog();
    const TLogLines& log = project->LogLines();
    size_t start = 0;
    while (log[start].find('$') == std::string_view::npos) ++start;
    size_t expected = 0;
    for (size_t i = start; i < log.Count(); ++i) {
      if (log[i].empty()) continue;
      bool absorbed = i > 0 && log[i].find("//") != std::string_view::npos;
      if (!absorbed) ++expected;
    }
    size_t upsteps = 0;
    project->Tree().ForEach([&](TTreeItem* it) { upsteps += it->Line()->LineText() == "Upstep"; });
    EXPECT_EQ(project->Tree().Count(), expected + upsteps);
    EXPECT_TRUE(ui.Messages.empty()) << ui.Messages.front();
    EXPECT_TRUE(project->LogLoaded);
    EXPECT_FALSE(project->LogSaved);
  }
}

}  // namespace
}  // namespace orvanel
