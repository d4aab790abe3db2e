// Logs as today's emulators write them: snes9x's own trace log and Mesen2's trace logger,
// from real samples of both, and the lines a user may bring in their place.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "TestData.h"
#include "project/ProjectSession.h"
#include "records/TraceLayouts.h"
#include "records/TraceLine.h"
#include "trace/LogLines.h"
#include "trace/Opcodes.h"
#include "tree/CodeTree.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;

const TTraceLayout& Layout(const char* option) {
  const TTraceLayout* layout = LayoutByOption(option);
  if (!layout) throw std::runtime_error(option);
  return *layout;
}

std::unique_ptr<TSNESProject> Convert(TUserInterface& ui, const std::string& file, int type) {
  return test::ConvertedProject(ui, test::ReadFile(test::TracePath(file)), type);
}

std::vector<const TTreeItem*> ItemsInOrder(TSNESProject& project) {
  std::vector<const TTreeItem*> items;
  project.Tree().ForEach([&](TTreeItem* item) { items.push_back(item); });
  return items;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The registers of a Mesen2 line, read here field by field with the C library.
TItemRegisters MesenRegisters(const std::string& line) {
  TItemRegisters r;
  unsigned a, x, y, s, d, db, v, h;
  char p[9] = {};
  const size_t at = line.find(" A:");
  if (std::sscanf(line.c_str() + at, " A:%x X:%x Y:%x S:%x D:%x DB:%x P:%8s V:%u H:%u", &a, &x, &y,
                  &s, &d, &db, p, &v, &h) != 9)
    throw std::runtime_error("unreadable: " + line);
  r.A = static_cast<uint16_t>(a);
  r.X = static_cast<uint16_t>(x);
  r.Y = static_cast<uint16_t>(y);
  r.S = static_cast<uint16_t>(s);
  r.D = static_cast<uint16_t>(d);
  r.DB = static_cast<uint8_t>(db);
  r.VCounter = static_cast<uint16_t>(v);
  r.HCounter = static_cast<uint16_t>(h);
  r.SetPText(p);
  return r;
}

// snes9x's own log and the first dialect re-emitted from it are the same execution line for
// line: the two trees must agree item by item (shape, record, registers), and the emulator's
// interrupt announcements stand before the handlers' first lines.
TEST(EmulatorLayoutsTest, Snes9xOwnLogGivesTheTreeOfTheFirstDialect) {
  struct TCase {
    const char* raw;
    const char* dialect;
    size_t nmi, irq;
    const char* summary;
  } cases[] = {
      {"pvsneslib-hello_world-raw.log", "pvsneslib-hello_world-snes9x-nocomments.log", 1, 0,
       "Left out of the tree: 138 WRAM refresh lines, 1 HDMA line, 1 NMI line."},
      {"undisbeliever-wrmpyb-in-flight-raw.log",
       "undisbeliever-wrmpyb-in-flight-snes9x-nocomments.log", 1, 19,
       "Left out of the tree: 19 empty lines, 141 WRAM refresh lines, 1 HDMA line, 21 IRQ timer "
       "lines, 19 \"Timer triggered\" lines, 1 NMI line, 19 IRQ lines."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.raw);
    TFakeUserInterface ui;
    auto raw = Convert(ui, c.raw, Layout("snes9x-raw").ProjectType);
    ASSERT_EQ(ui.Messages, std::vector<std::string>{c.summary});
    TFakeUserInterface dialectUi;
    auto dialect = Convert(dialectUi, c.dialect, 1);
    const auto a = ItemsInOrder(*raw), b = ItemsInOrder(*dialect);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      const TTraceFileLine &x = *a[i]->Line(), &y = *b[i]->Line();
      SCOPED_TRACE(x.LineText());
      ASSERT_EQ(a[i]->Level(), b[i]->Level());
      ASSERT_EQ(a[i]->Children().size(), b[i]->Children().size());
      ASSERT_EQ(x.Offset(), y.Offset());
      ASSERT_EQ(x.IsComment(), y.IsComment());
      ASSERT_EQ(x.OpcodeVal(), y.OpcodeVal());
      ASSERT_EQ(x.OpcodeLen(), y.OpcodeLen());
      ASSERT_EQ(x.Operand(), y.Operand());
      ASSERT_EQ(x.HasTarget(), y.HasTarget());
      ASSERT_EQ(x.TargetOffset(), y.TargetOffset());
      ASSERT_EQ(x.TargetNode() != nullptr, y.TargetNode() != nullptr);
      ASSERT_EQ(x.RegisterName(), y.RegisterName());
      ASSERT_EQ(a[i]->Registers() != nullptr, b[i]->Registers() != nullptr);
      if (a[i]->Registers()) {
        ASSERT_EQ(*a[i]->Registers(), *b[i]->Registers());
      }
    }
    // Each marker names the handler's first line: the one after it in the emulator's log.
    const TLogLines& lines = raw->LogLines();
    size_t nmi = 0, irq = 0;
    for (const TInterruptMarker& m : lines.InterruptMarkers()) {
      ASSERT_LT(m.nextLine, lines.Count());
      ++(m.kind == TInterruptKind::Nmi ? nmi : irq);
      EXPECT_EQ(m.kind == TInterruptKind::Nmi || m.kind == TInterruptKind::Irq, true);
    }
    EXPECT_EQ(nmi, c.nmi);
    EXPECT_EQ(irq, c.irq);
    if (std::string(c.raw).find("hello") != std::string::npos) {
      EXPECT_EQ(lines[lines.InterruptMarkers()[0].nextLine].substr(0, 8), "$00:8091");
    }
  }
}

// Mesen2's samples: one item per main-CPU line in the log's order with that line's own
// registers, the sound CPU's lines counted and left out, and every call, jump and branch
// target the address the processor went to (or, for a branch not taken, the one it did not).
TEST(EmulatorLayoutsTest, Mesen2LogsGiveOneItemPerMainCpuLine) {
  struct TCase {
    const char* file;
    size_t cpuLines;
    const char* summary;
  } cases[] = {
      {"pvsneslib-hello_world-mesen2-20k.log", 14356,
       "Left out of the tree: 5,644 sound CPU lines."},
      {"pvsneslib-hello_world-mesen2-nolabels-20k.log", 14356,
       "Left out of the tree: 5,644 sound CPU lines."},
      {"undisbeliever-wrmpyb-in-flight-mesen2-20k.log", 952,
       "Left out of the tree: 19,048 sound CPU lines."},
      {"undisbeliever-wrmpyb-in-flight-mesen2-cpuonly-20k.log", 20000, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.file);
    TFakeUserInterface ui;
    auto project = Convert(ui, c.file, Layout("mesen2").ProjectType);
    EXPECT_EQ(ui.Messages, std::string(c.summary).empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{c.summary});
    std::vector<std::string> cpu;
    for (const std::string& line : SplitLines(test::ReadFile(test::TracePath(c.file))))
      if (line.size() > 8 && line.substr(6, 2) == "  ") cpu.push_back(line);
    ASSERT_EQ(cpu.size(), c.cpuLines);
    std::vector<const TTreeItem*> items;
    for (const TTreeItem* item : ItemsInOrder(*project))
      if (item->Line()->LineText() != "Upstep") items.push_back(item);
    ASSERT_EQ(items.size(), cpu.size());
    size_t taken = 0, notTaken = 0, calls = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      const TTraceFileLine& line = *items[i]->Line();
      SCOPED_TRACE(cpu[i]);
      // The record keeps the first execution's line; the item, this execution's registers.
      ASSERT_FALSE(line.IsComment());
      ASSERT_EQ(line.Offset(), std::stoll(cpu[i].substr(0, 6), nullptr, 16));
      ASSERT_NE(items[i]->Registers(), nullptr);
      ASSERT_EQ(*items[i]->Registers(), MesenRegisters(cpu[i]));
      if (!line.IsFlow()) continue;
      // Branches are coloured by their direction, the way the instruction bytes give it.
      if (line.OpcodeLabel()[0] == 'B' && line.OpcodeLen() == 2 && !line.IsFirstLine()) {
        ASSERT_EQ(line.TextColor(), line.TargetOffset() < line.Offset() + 2
                                        ? project->Palette.BackBranchColor
                                        : project->Palette.ForwardBranchColor);
      }
      if (i + 1 == items.size()) continue;
      const int64_t next = items[i + 1]->Line()->Offset();
      const int64_t fallThrough = line.Offset() + line.OpcodeLen();
      if (line.OpcodeLabel() == "JSR" || line.OpcodeLabel() == "JSL") {
        ++calls;
        // A call opens a level: the routine's first line is the call item's first child.
        ASSERT_EQ(line.TargetOffset(), next);
        ASSERT_EQ(items[i]->Children().at(0), items[i + 1]);
      } else if (line.TargetOffset() == next) {
        ++taken;
      } else {
        ASSERT_EQ(next, fallThrough) << "a branch goes to its target or to the next line";
        ++notTaken;
        continue;
      }
      ASSERT_NE(line.TargetNode(), nullptr);
      ASSERT_EQ(line.TargetNode()->Offset(), line.TargetOffset());
    }
    EXPECT_GT(calls, 0u);
    EXPECT_GT(taken, 0u);
    EXPECT_GT(notTaken, 0u);
  }
}

// "Use labels" prints registers' names in place of addresses: the tree keeps its shape, and
// every target the named file gives is the one the file with addresses gives.
TEST(EmulatorLayoutsTest, Mesen2NamesInPlaceOfAddressesKeepTheTree) {
  TFakeUserInterface ui;
  const int type = Layout("mesen2").ProjectType;
  auto named = Convert(ui, "pvsneslib-hello_world-mesen2-20k.log", type);
  auto plain = Convert(ui, "pvsneslib-hello_world-mesen2-nolabels-20k.log", type);
  const auto a = ItemsInOrder(*named), b = ItemsInOrder(*plain);
  ASSERT_EQ(a.size(), b.size());
  size_t names = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const TTraceFileLine &x = *a[i]->Line(), &y = *b[i]->Line();
    SCOPED_TRACE(x.LineText());
    ASSERT_EQ(a[i]->Level(), b[i]->Level());
    ASSERT_EQ(x.Offset(), y.Offset());
    ASSERT_EQ(x.OpcodeVal(), y.OpcodeVal());
    ASSERT_EQ(x.OpcodeLen(), y.OpcodeLen());
    if (x.HasTarget()) {
      ASSERT_EQ(x.TargetOffset(), y.TargetOffset());
    }
    if (x.LineText() != y.LineText()) ++names;
  }
  EXPECT_GT(names, 1000u);
}

// The opcode table against the emulator's own bytes: every instruction line of snes9x's logs
// prints its opcode byte, its length and the assembly text a log without bytes shows.
TEST(EmulatorLayoutsTest, AssemblyTextGivesTheOpcodeTheEmulatorExecuted) {
  size_t checked = 0;
  for (const char* file :
       {"pvsneslib-hello_world-raw.log", "undisbeliever-wrmpyb-in-flight-raw.log"}) {
    for (const std::string& line : SplitLines(test::ReadFile(test::TracePath(file)))) {
      if (line.size() < 30 || line[0] != '$') continue;
      SCOPED_TRACE(line);
      const std::string bytes = line.substr(9, 12);
      const uint8_t length = static_cast<uint8_t>((bytes.find_last_not_of(' ') + 2) / 3);
      std::string operand = line.substr(25, line.find(' ', 25) - 25);
      if (const size_t glued = operand.find('[', 1); glued != std::string::npos)
        operand.resize(glued);
      if (line.substr(21, 3) == "MVN" || line.substr(21, 3) == "MVP") operand = "7E 7F";
      const auto decoded = opcodes::Decode(line.substr(21, 3), operand);
      ASSERT_TRUE(decoded);
      ASSERT_EQ(decoded->Opcode, std::stoi(line.substr(9, 2), nullptr, 16));
      ASSERT_EQ(decoded->Length, length);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 20000u);
}

// What a user may bring instead of a clean log: each case is a log, its layout, the offsets
// of the items it gives (comment items as -1) and how many messages it gives (a bad line is
// cut, and reported, as lookahead and again as the line itself, as in the dialects).
TEST(EmulatorLayoutsTest, BadLinesNeverStopTheConversion) {
  const char* const mesen =
      "00801A  LDA $10 [$000010] = $00           A:0000 X:0000 Y:0000 S:01FF D:0000 DB:00 "
      "P:nvMXdIzc V:0   H:186";
  struct TCase {
    const char* name;
    const char* option;
    std::string log;
    std::vector<int64_t> items;
    size_t messages;
  } cases[] = {
      {"lowercase hex",
       "mesen2",
       "00801a  lda $10,x [$000012] = $00     A:00ff X:0002 Y:0000 S:01ff D:0000 DB:7e "
       "P:nvMXdIzc V:0   H:1\n"
       "00801c  jsr $9000 [$009000]           A:00ff X:0002 Y:0000 S:01ff D:0000 DB:7e "
       "P:nvMXdIzc V:0   H:9\n"
       "009000  rts                           A:00ff X:0002 Y:0000 S:01fd D:0000 DB:7e "
       "P:nvMXdIzc V:0   H:20\n",
       {0x801A, 0x801C, 0x9000},
       0},
      {"truncated lines",
       "mesen2",
       std::string(mesen) + "\n00801C  LD\n00801E  LDA $10 [$0000\n" +
           std::string(mesen).substr(0, 50) + "\n008020  LDA $10 [$000010] = $00           A:00\n",
       {0x801A, -1, 0x801E, 0x801A, 0x8020},
       1},
      {"mixed layouts",
       "mesen2",
       std::string(mesen) +
           "\n$00:80AD 22 CB 83 00 JSL $0083CB[$00:83CB]   A:0000 X:0001 Y:0000 D:0034 DB:7E\n"
           "$00/BBE0  CB           WAI                   A:1FF9 X:0001 Y:0000\n"
           "FFCF  CMP $F4,#$CC [CPUIO0] = $00      A:00 X:00 Y:00 S:EF P:nvpbhizc V:96  H:12\n" +
           mesen + "\n",
       {0x801A, 0x801A},
       0},
      {"register block that is no number",
       "mesen2",
       std::string(mesen) + "\n00801C  NOP                  A:zz00 X:0000\n",
       {0x801A, -1},
       1},
      {"call not taken",
       "mesen2",
       "008000  JSL $0088AB                    A:6000 X:0000 Y:0000 S:1FF9 D:0000 DB:7E "
       "P:nvmxdIzC V:13  H:45\n"
       "008004  NOP                            A:6000 X:0000 Y:0000 S:1FF9 D:0000 DB:7E "
       "P:nvmxdIzC V:13  H:50\n",
       {0x8000, 0x8004},
       0},
      {"snes9x truncated and status lines",
       "snes9x-raw",
       "$00:80AD 22 CB 83 00 JSL $0083CB[$00:83CB]   A:0000 X:0001 Y:0000 D:0034 DB:7E S:1FE9 "
       "P:envmxdIZc HC:0604 VC:225 FC:04     .n+    HT:10 VT:0 C:268435455\n"
       "*** WRAM Refresh  HC:0538\n*** NMI\n$00:83CB 8B\n$00:83C\n\n"
       "$00:83CC 6B          RTL                     A:0000 X:0001 Y:0000 D:0034 DB:7E S:1FE6 "
       "P:envmxdIZc HC:0620 VC:225 FC:04\n",
       {0x80AD, 0x83CB, 0x83CC},
       0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFakeUserInterface ui;
    auto project = test::ConvertedProject(ui, c.log, Layout(c.option).ProjectType);
    std::vector<int64_t> items;
    for (const TTreeItem* item : ItemsInOrder(*project))
      if (item->Line()->LineText() != "Upstep")
        items.push_back(item->Line()->IsComment() ? -1 : item->Line()->Offset());
    EXPECT_EQ(items, c.items);
    size_t messages = 0;
    for (const std::string& m : ui.Messages)
      if (m.find("Left out of the tree") == std::string::npos) ++messages;
    EXPECT_EQ(messages, c.messages) << testing::PrintToString(ui.Messages);
  }
}

// Which layout a log is in, from its first instruction lines.
TEST(EmulatorLayoutsTest, TheLayoutIsRecognisedFromTheFirstInstructionLines) {
  for (const TTraceLayout& layout : TraceLayouts()) {
    SCOPED_TRACE(layout.Name);
    const std::string log = std::string("--- frame 5 ---\n") + layout.Example + "\n";
    EXPECT_EQ(RecogniseLayout(TLogLines::FromBytes(log)), &layout);
  }
  EXPECT_EQ(RecogniseLayout(TLogLines::FromBytes("hello\nworld\n\n")), nullptr);
  // The sound CPU's lines before the first main-CPU line decide nothing.
  EXPECT_EQ(RecogniseLayoutOfFile(test::TracePath("undisbeliever-wrmpyb-in-flight-mesen2-20k.log")),
            LayoutByOption("mesen2"));
  const std::string message = UnknownLayoutMessage();
  for (const TTraceLayout& layout : TraceLayouts())
    EXPECT_NE(message.find(layout.Example), std::string::npos);
}

// A project of either layout saves and opens again with every item, register and name, and
// converts through the batch converter's road with the layout recognised.
TEST(EmulatorLayoutsTest, ProjectsOfTheNewLayoutsSaveAndOpenAgain) {
  for (const char* file : {"undisbeliever-wrmpyb-in-flight-raw.log",
                           "undisbeliever-wrmpyb-in-flight-mesen2-cpuonly-20k.log"}) {
    SCOPED_TRACE(file);
    TFakeUserInterface ui;
    TConvertOptions options;
    options.LogFile = test::TracePath(file);
    options.ProjectFile = test::ScratchDir() + "/p.tfp";
    options.ProgramDir = ORVANEL_REGISTER_FILE_DIR;
    options.Layout = RecogniseLayoutOfFile(options.LogFile);
    options.InterruptLevels = false;  // as the fresh conversion below
    ASSERT_NE(options.Layout, nullptr);
    ASSERT_TRUE(ConvertLogToProject(options, ui));
    auto opened = OpenProject(options.ProjectFile, ui, ORVANEL_REGISTER_FILE_DIR);
    EXPECT_EQ(opened->ProjectType, options.Layout->ProjectType);
    auto fresh = test::ConvertedProject(ui, test::ReadFile(options.LogFile),
                                        options.Layout->ProjectType, ORVANEL_REGISTER_FILE_DIR);
    const auto a = ItemsInOrder(*opened), b = ItemsInOrder(*fresh);
    ASSERT_EQ(a.size(), b.size());
    size_t named = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      const TTraceFileLine &x = *a[i]->Line(), &y = *b[i]->Line();
      ASSERT_EQ(a[i]->Level(), b[i]->Level());
      ASSERT_EQ(x.LineText(), y.LineText());
      ASSERT_EQ(x.TargetOffset(), y.TargetOffset());
      ASSERT_EQ(x.RegisterName(), y.RegisterName());
      if (a[i]->Registers()) {
        ASSERT_EQ(*a[i]->Registers(), *b[i]->Registers());
      }
      if (!x.RegisterName().empty()) ++named;
      // The reopened record cuts its own line again as the layout's record does.
      if (!x.IsComment()) {
        auto copy = x.NewFromText(*opened, x.LineText());
        ASSERT_EQ(copy->Offset(), x.Offset());
        ASSERT_EQ(copy->OpcodeVal(), x.OpcodeVal());
      }
    }
    EXPECT_GT(named, 0u);
  }
}

}  // namespace
}  // namespace orvanel
