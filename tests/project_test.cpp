#include <gtest/gtest.h>

#include <memory>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

class ProjectTest : public ::testing::Test {
 protected:
  std::unique_ptr<TSNESProject> Converted(const std::string& log, int type = 1,
                                          const std::string& programDir = "") {
    return test::ConvertedProject(ui_, log, type, programDir);
  }
  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

TEST_F(ProjectTest, ClassesTypesAndStartingState) {
  auto first = CreateProject(1, ui_, "");
  EXPECT_EQ(first->ProjectType, 1);
  EXPECT_EQ(first->TraceLogDialog.Filter, "Marro's SNES9x Trace Files|*.log|Any File|*.*");
  EXPECT_EQ(first->TraceDataDialog.Title, "Save Project Trace File");
  EXPECT_EQ(first->ProjectFileDialog.Filter, "Orvanel Project|*.tfp");
  EXPECT_FALSE(first->Saved());
  auto second = CreateProject(2, ui_, "");
  EXPECT_EQ(second->ProjectType, 2);
  EXPECT_EQ(second->TraceLogDialog.Filter, "Dravik's SNES9x Trace Files|*.log|Any File|*.*");
  // The code cache shares the scope manager, reports type 0 and starts saved.
  TSNESCodeCache* cache = first->CodeCache();
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->ProjectType, 0);
  EXPECT_TRUE(cache->IsSaved());
  EXPECT_EQ(cache->ScopeManager(), first->ScopeManager());
  EXPECT_EQ(cache->CodeCache(), nullptr);
  EXPECT_EQ(CreateProject(3, ui_, ""), nullptr);
  EXPECT_EQ(first->Palette.CommentColor, static_cast<TColor>(0xFF000011u));
}

TEST_F(ProjectTest, SavedStateIncludesTheCodeCache) {
  auto p = CreateProject(1, ui_, "");
  p->SetSaved(true);
  EXPECT_TRUE(p->IsSaved());
  p->CodeCache()->SetSavedFlag(false);
  EXPECT_FALSE(p->IsSaved());  // only the code cache was changed
}

TEST_F(ProjectTest, RegisterNamesComeFromTheRegisterFile) {
  test::WriteFile(dir_ + "/Mappings.xml",
                  "<?xml version=\"1.0\"?><registers>"
                  "<reg002100 name=\"INIDISP\">Display control</reg002100>"
                  "<reg005FFF name=\"LAST\">Last register</reg005FFF>"
                  "<reg002140 name=\"APUIO0\">Audio port 0</reg002140></registers>");
  TLogBuilder log;
  log.Lda(0x8000, 0x002100)
      .Lda(0x8003, 0x3F5FFF)  // bank $3F: looked up
      .Lda(0x8006, 0x402100)  // bank $40: never
      .Lda(0x8009, 0x0020FF)  // below $2100: never
      .Lda(0x800C, 0x006000)  // above $5FFF: never
      .Lda(0x800F, 0x7E2140)  // bank $7E: never
      .Lda(0x8012, 0x002101)  // no element for it: an empty name
      .Nop(0x8015);
  auto p = Converted(log.Text(), 1, dir_ + "/");
  EXPECT_EQ(p->FindInIndex(0x8000)->RegisterName(), "INIDISP");
  EXPECT_EQ(p->FindInIndex(0x8000)->RegisterInfo(), "Display control");
  EXPECT_EQ(p->FindInIndex(0x8003)->RegisterName(), "LAST");
  for (int64_t at : {0x8006, 0x8009, 0x800C, 0x800F, 0x8012})
    EXPECT_EQ(p->FindInIndex(at)->RegisterName(), "") << at;
  EXPECT_EQ(p->FindInIndex(0x8000)->DisplayText(), "Global.$008000 LDA INIDISP [$002100]");

  // The debugger dialect names registers only when its lines are read back from a file.
  TLogBuilder debug(TLogBuilder::Dialect::Debugger);
  debug.Lda(0x8000, 0x002100).Nop(0x8003);
  auto d = Converted(debug.Text(), 2, dir_ + "/");
  EXPECT_EQ(d->FindInIndex(0x8000)->RegisterName(), "");
  d->WriteTraceData(dir_ + "/d.tfd");
  auto back = CreateProject(2, ui_, dir_ + "/");
  back->TraceDataDialog.FileName = dir_ + "/d.tfd";
  back->LoadTraceData();
  EXPECT_EQ(back->FindInIndex(0x8000)->RegisterName(), "INIDISP");
}

TEST_F(ProjectTest, ImportAndCloseSetTheFlags) {
  TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001);
  test::WriteFile(dir_ + "/a.log", log.Text());
  auto p = CreateProject(1, ui_, "");
  p->ScopeManager()->GetScope("Global", true);
  p->ProjectName = "Mine";
  p->AddBookmark("$8000", "start");
  p->TraceLogDialog.FileName = dir_ + "/a.log";
  p->TraceDataDialog.FileName = dir_ + "/old.tfd";
  p->ImportLog();
  EXPECT_TRUE(p->LogLoaded);
  EXPECT_FALSE(p->LogSaved);
  EXPECT_FALSE(p->Saved());
  EXPECT_TRUE(p->TraceLogDialog.FileName.empty());  // the log's path is not kept
  EXPECT_TRUE(p->TraceDataDialog.FileName.empty());
  EXPECT_EQ(p->TraceLogDialog.Title, "Load Trace File");
  EXPECT_EQ(ui_.ProgressMaximum, 2);
  EXPECT_FALSE(ui_.ProgressShown);
  EXPECT_EQ(ui_.BusyDepth, 0);

  p->CloseLog();
  EXPECT_TRUE(p->Tree().Empty());
  EXPECT_EQ(p->OffsetIndex().Count(), 0u);
  EXPECT_TRUE(p->LogSaved);
  EXPECT_FALSE(p->LogLoaded);
  // Closing the log keeps the bookmarks and the project name; no scope keeps a freed line.
  EXPECT_EQ(p->BookmarkList().Count(), 1u);
  EXPECT_EQ(p->ProjectName, "Mine");
  p->ScopeManager()->GlobalScope()->ScopedOffsets().ForEach(
      [](const TScopedOffsets::Entry& e) { EXPECT_EQ(e.Line, nullptr); });

  // A missing log keeps the lines the project had; they are converted again.
  p->TraceLogDialog.FileName = dir_ + "/missing.log";
  p->ImportLog();
  EXPECT_EQ(p->Tree().Count(), 2u);
}

TEST_F(ProjectTest, MappingsAndLabelsFindTheirLines) {
  TLogBuilder log;
  log.Lda(0x8000, 0x7E0010).Jsr(0x8003, 0x9000).Nop(0x9000).Rts(0x9001).Nop(0x8006);
  auto p = Converted(log.Text());
  p->SetSaved(true);
  // A mapping confirmed in the dialog names the data address in its scope's lines.
  EXPECT_EQ(p->CreateMapping("$7E0010", "PlayerX", true, 2, ""), nullptr);  // cancelled
  TMappingNode* m = p->CreateMapping("$7E0010", "PlayerX", true, 1, "");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(p->FindInIndex(0x8000)->TargetRef(), m);
  EXPECT_EQ(p->FindInIndex(0x8000)->DisplayText(), "Global.$008000 LDA PlayerX [$7E0010]");
  EXPECT_FALSE(p->Saved());
  // A label names the offset and every flow line that targets it.
  TMappingNode* label = p->CreateLabel("$9000", "Routine");
  EXPECT_EQ(p->FindInIndex(0x9000)->OffsetLabel(), label);
  EXPECT_EQ(p->FindInIndex(0x8003)->TargetRef(), label);
  EXPECT_EQ(p->FindInIndex(0x8003)->DisplayText(), "Global.$008003 JSR Routine [$009000]");
  EXPECT_EQ(p->FindInIndex(0x9000)->DisplayText(), "Global.Routine: NOP");
  p->RemoveLabel(label);
  EXPECT_EQ(p->FindInIndex(0x9000)->OffsetLabel(), nullptr);
  EXPECT_EQ(p->FindInIndex(0x8003)->TargetRef(), nullptr);
  EXPECT_THROW(p->CreateLabel("#$12", "No"), EConvertError);
}

TEST_F(ProjectTest, FindsNodesByOffsetInBothDirections) {
  TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001).Branch(0x8002, 0x80, 0xFC, 0x8000).Nop(0x8000).Nop(0x8001);
  auto p = Converted(log.Text());
  TTreeItem* first = p->FindNodeByOffset(+1, 0, 0x8001);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(p->Tree().PositionOf(first), 1u);
  EXPECT_EQ(p->Tree().PositionOf(p->FindNodeByOffset(+1, 2, 0x8001)), 4u);
  EXPECT_EQ(p->Tree().PositionOf(p->FindNodeByOffset(-1, 3, 0x8001)), 1u);
  EXPECT_EQ(p->FindNodeByOffset(+1, 0, 0x9999), nullptr);
}

}  // namespace
}  // namespace orvanel
