#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "base/TextUtils.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

// The tree as text: each item's display text and level, with the offset of its target (a
// comment line's target, such as an Upstep's, is not kept in the file).
std::string Describe(const TProject& project) {
  std::string s;
  project.Tree().ForEach([&](TTreeItem* it) {
    const TTraceFileLine* l = it->Line();
    s += std::to_string(it->Level()) + " " + l->DisplayText();
    if (l->TargetNode() && !l->IsComment()) s += " -> " + IntToHex(l->TargetNode()->Offset(), 6);
    s += "\n";
  });
  return s;
}

// The first line where two descriptions differ, so a failure stays readable.
std::string FirstDifference(const std::string& a, const std::string& b) {
  size_t line = 1, start = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) {
      size_t endA = a.find('\n', i), endB = b.find('\n', i);
      return "line " + std::to_string(line) + ": '" + a.substr(start, endA - start) + "' vs '" +
             b.substr(start, endB - start) + "'";
    }
    if (a[i] == '\n') {
      ++line;
      start = i + 1;
    }
  }
  return a.size() == b.size()
             ? ""
             : "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

class TraceDataTest : public ::testing::Test {
 protected:
  std::unique_ptr<TSNESProject> Converted(const std::string& log, int type = 1) {
    return test::ConvertedProject(ui_, log, type);
  }
  // Reads a trace data file into a new project, with the labels of a label file first.
  std::unique_ptr<TSNESProject> Read(const std::string& file, int type = 1,
                                     const std::string& labelFile = "") {
    auto p = CreateProject(type, ui_, "");
    p->ScopeManager()->GetScope("Global", true);
    if (!labelFile.empty()) p->LabelManager()->LoadFromFile(*p, labelFile);
    p->TraceDataDialog.FileName = file;
    p->LoadTraceData();
    return p;
  }
  std::string Path(const char* name) { return dir_ + "/" + name; }

  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

TEST_F(TraceDataTest, ATreeReadsBackWithItsShapeAndLinks) {
  TLogBuilder log;
  log.Jsr(0x8000, 0x9000)
      .Raw("// call it")
      .Jsl(0x9000, 0xA000)
      .Lda(0xA000, 0x7E2140)
      .Branch(0xA003, 0xD0, 0xFB, 0xA000)
      .Lda(0xA000, 0x7E2140)
      .Branch(0xA003, 0xD0, 0xFB, 0xA000)
      .Rtl(0xA005)
      .Rts(0x9004)
      .Branch(0x8003, 0x80, 0x10, 0x8015)
      .Nop(0x8015)
      .Raw("--- marker ---")
      .Rts(0x8016)
      .Nop(0xB000);
  auto original = Converted(log.Text());
  original->WriteTraceData(Path("t.tfd"));
  EXPECT_TRUE(original->LogSaved);
  auto copy = Read(Path("t.tfd"));
  EXPECT_EQ(FirstDifference(Describe(*copy), Describe(*original)), "");
  EXPECT_TRUE(copy->LogLoaded);
  EXPECT_TRUE(copy->LogSaved);
  EXPECT_EQ(copy->FindInIndex(0x8000)->Comment(), " call it");
  EXPECT_EQ(copy->FindInIndex(0x8000)->TextColor(), copy->Palette.StartNodeColor);
  EXPECT_TRUE(copy->FindInIndex(0x8000)->IsFirstLine());
  EXPECT_EQ(copy->FindInIndex(0xA000)->itemCount_, 2u);  // one record, two items

  // Reading the same file again gives the same tree.
  auto again = Read(Path("t.tfd"));
  EXPECT_EQ(Describe(*again), Describe(*copy));
}

TEST_F(TraceDataTest, WritingWhatWasReadGivesTheSameFile) {
  TLogBuilder log;
  // Upsteps are comment lines that carry a length; a broken line keeps what it had.
  log.Nop(0x8000)
      .Rts(0x8001)
      .Nop(0x9003)
      .Rti(0x9004)
      .Raw("$00/9005  EA           NOP  A:zz")
      .Nop(0x9006);
  auto original = Converted(log.Text());
  original->WriteTraceData(Path("w1.tfd"));
  auto copy = Read(Path("w1.tfd"));
  copy->WriteTraceData(Path("w2.tfd"));
  EXPECT_EQ(test::ReadFile(Path("w2.tfd")), test::ReadFile(Path("w1.tfd")));
  EXPECT_EQ(copy->Tree().First()->Line()->OpcodeLen(), 1);
}

TEST_F(TraceDataTest, AnEmptyTreeIsARootWithoutChildren) {
  auto p = CreateProject(1, ui_, "");
  p->WriteTraceData(Path("e.tfd"));
  std::string text = test::ReadFile(Path("e.tfd"));
  EXPECT_NE(text.find("<tracedata/>"), std::string::npos) << text;
  auto copy = Read(Path("e.tfd"));
  EXPECT_TRUE(copy->Tree().Empty());
  EXPECT_FALSE(copy->LogLoaded);
  EXPECT_TRUE(copy->LogSaved);
}

void WriteFile(const std::string& path, const std::string& body) {
  test::WriteFile(
      path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tracedata>" + body + "</tracedata>\n");
}

// A `traceline` element of the first dialect with the attributes that matter here.
std::string Line(int64_t offset, int opcode, int64_t target, const std::string& children = "",
                 const std::string& name = "traceline") {
  std::string e = "<" + name + " linetext=\"L" + std::to_string(offset) +
                  "\" textcolor=\"0\" comment=\"\" isComment=\"FALSE\" offset=\"" +
                  std::to_string(offset) + "\" opcodeval=\"" + std::to_string(opcode) +
                  "\" opcodelen=\"2\" opcodelabel=\"OPC\" targetoffset=\"" +
                  std::to_string(target) +
                  "\" operand=\"$10\" A=\"0\" X=\"0\" Y=\"0\" S=\"0\" "
                  "D=\"0\" DB=\"0\" PS=\"\" HC=\"0\" VC=\"0\" indexed=\"FALSE\"";
  return children.empty() ? e + "/>" : e + ">" + children + "</" + name + ">";
}

TEST_F(TraceDataTest, RebuildsTargetsPendingEntriesAndTheTargetIndex) {
  WriteFile(Path("r.tfd"),
            Line(100, 0xD0, 300) +      // forward: resolved when 300 is read
                Line(200, 0x80, 999) +  // never met: stays pending
                Line(300, 0xEA, -1) +   //
                Line(400, 0xF0, 300) +  // a second line with target 300
                Line(500, 0x20, 300) +  // a call: not in the target index
                Line(600, 0xEA, -1, Line(700, 0xEA, -1) + Line(800, 0xEA, -1)) +
                Line(900, 0xEA, -1, Line(901, 0xEA, -1, "", "other") + Line(902, 0xEA, -1)));
  auto p = Read(Path("r.tfd"));
  EXPECT_EQ(p->FindInIndex(100)->TargetNode(), p->FindInIndex(300));
  EXPECT_EQ(p->FindInIndex(200)->TargetNode(), nullptr);
  EXPECT_EQ(p->PendingTargets().Count(), 1u);
  EXPECT_TRUE(p->PendingTargets().Contains(999));
  const auto* at300 = p->TargetIndex().Find(300);
  ASSERT_NE(at300, nullptr);
  EXPECT_EQ(*at300, (std::vector<TTraceFileLine*>{p->FindInIndex(100), p->FindInIndex(400)}));
  // The first child of a node becomes its target.
  EXPECT_EQ(p->FindInIndex(600)->TargetNode(), p->FindInIndex(700));
  // A first child with another name: the node keeps no children.
  EXPECT_EQ(p->FindInIndex(901), nullptr);
  EXPECT_EQ(p->FindInIndex(902), nullptr);
  EXPECT_EQ(p->Tree().Count(), 9u);
}

TEST_F(TraceDataTest, ALineThatCannotBeReadSkipsTheRestOfItsLevel) {
  std::string bad = "<traceline linetext=\"broken\" textcolor=\"x\" offset=\"1\"/>";
  WriteFile(Path("b.tfd"), Line(100, 0xEA, -1, Line(101, 0xEA, -1) + bad + Line(102, 0xEA, -1)) +
                               Line(200, 0xEA, -1));
  auto p = Read(Path("b.tfd"));
  EXPECT_NE(p->FindInIndex(101), nullptr);
  EXPECT_EQ(p->FindInIndex(102), nullptr);  // skipped with the rest of its level
  EXPECT_NE(p->FindInIndex(200), nullptr);  // the level above goes on
  // The message names the file, the line, the attribute and the line's text, and the read
  // counts the lines left out.
  ASSERT_EQ(ui_.Batches.size(), 1u);
  ASSERT_EQ(ui_.Batches[0].size(), 2u);
  EXPECT_NE(ui_.Batches[0][0].find("b.tfd\", line 2: attribute textcolor: 'x' is not a number "
                                   "(the line \"broken\")"),
            std::string::npos)
      << ui_.Batches[0][0];
  EXPECT_NE(ui_.Batches[0][1].find("2 of its lines are left out"), std::string::npos);
  EXPECT_TRUE(p->ReadWithErrors());
}

TEST_F(TraceDataTest, AFileThatIsNotWellFormedChangesNothing) {
  TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001);
  auto p = Converted(log.Text());
  std::string before = Describe(*p);
  size_t indexed = p->OffsetIndex().Count();
  test::WriteFile(Path("x.tfd"), "<tracedata>" + Line(100, 0xEA, -1) + Line(200, 0xEA, -1) +
                                     "<traceline offset=\"3\"");  // cut off
  p->TraceDataDialog.FileName = Path("x.tfd");
  try {
    p->LoadTraceData();
    FAIL() << "no error";
  } catch (const EXmlError& e) {
    EXPECT_NE(std::string(e.what()).find("x.tfd"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Describe(*p), before);
  EXPECT_EQ(p->OffsetIndex().Count(), indexed);
  p->TraceDataDialog.FileName = Path("missing.tfd");
  EXPECT_THROW(p->LoadTraceData(), EOrvanelError);
  EXPECT_EQ(Describe(*p), before);
}

TEST_F(TraceDataTest, AFailedWriteKeepsTheOldFileAndReportsFailure) {
  TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001);
  auto p = Converted(log.Text());
  test::WriteFile(Path("blocker"), "a file, not a folder");
  EXPECT_THROW(p->WriteTraceData(Path("blocker") + "/t.tfd"), EOrvanelError);
  EXPECT_FALSE(p->LogSaved);
  ui_.DialogFiles = {""};
  EXPECT_FALSE(p->SaveTraceData());  // a cancelled dialog writes nothing
}

TEST_F(TraceDataTest, RealTracesRoundTripInBothDialects) {
  for (const char* name :
       {"undisbeliever-wrmpyb-in-flight-snes9x.log", "pvsneslib-hello_world-debugger.log"}) {
    SCOPED_TRACE(name);
    int type = std::string(name).find("debugger") != std::string::npos ? 2 : 1;
    auto p = CreateProject(type, ui_, "");
    p->ScopeManager()->GetScope("Global", true);
    p->TraceLogDialog.FileName = test::TracePath(name);
    p->ImportLog();
    p->WriteTraceData(Path("real.tfd"));
    p->LabelManager()->SaveToFile(Path("real.tlm"));  // the "exit" labels
    auto copy = Read(Path("real.tfd"), type, Path("real.tlm"));
    EXPECT_EQ(FirstDifference(Describe(*copy), Describe(*p)), "");
    EXPECT_EQ(copy->Tree().Count(), p->Tree().Count());
  }
}

int FirstPathDepth(const TProject& p) {
  int depth = 0;
  for (const TTreeItem* it = p.Tree().First(); it && it->HasChildren(); it = it->Children().front())
    ++depth;
  return depth;
}

// A tree 20,000 levels deep: one Upstep per return at the top level.
TEST_F(TraceDataTest, ADeepTreeIsWrittenReadAndFreed) {
  TLogBuilder log;
  for (int i = 0; i < 20000; ++i) log.Nop(0x8000).Rti(0x8001);
  log.Nop(0x8002);
  {
    auto p = Converted(log.Text());
    EXPECT_EQ(FirstPathDepth(*p), 20000);
    p->WriteTraceData(Path("deep.tfd"));
    auto copy = Read(Path("deep.tfd"));
    EXPECT_EQ(copy->Tree().Count(), p->Tree().Count());
    EXPECT_EQ(FirstPathDepth(*copy), 20000);
  }
  // Indentation stops growing, so the file stays linear in its depth.
  EXPECT_LT(std::filesystem::file_size(Path("deep.tfd")), 60u * 1000 * 1000);
}

}  // namespace
}  // namespace orvanel
