// Interrupts in their own level: where the conversion finds them, how their returns close
// levels, and that a saved tree reads back the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/TextUtils.h"
#include "project/Interrupts.h"
#include "project/ProjectSession.h"
#include "project/SnesProject.h"
#include "records/TraceLayouts.h"
#include "tree/CodeTree.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

// Status texts: native mode with I clear and set, emulation mode likewise.
const std::string kRun = "envMXdizc";
const std::string kHandler = "envMXdIzc";
const std::string kEmuRun = "EnvMXdizc";
const std::string kEmuHandler = "EnvMXdIzc";

std::unique_ptr<TSNESProject> Converted(TUserInterface& ui, const std::string& log, int type,
                                        bool interruptLevels) {
  auto project = CreateProject(type, ui, "");
  project->ScopeManager()->GetScope("Global", true);
  project->InterruptLevels = interruptLevels;
  project->LogLines() = TLogLines::FromBytes(log);
  project->ImportLog();
  return project;
}

// Items in display order as "offset-text(level)" or the comment text, space separated.
std::string Shape(const TProject& project) {
  std::string s;
  project.Tree().ForEach([&](TTreeItem* it) {
    if (!s.empty()) s += ' ';
    const TTraceFileLine* l = it->Line();
    s += l->IsComment() ? l->DisplayText() : IntToHex(l->Offset(), 4);
    s += std::to_string(it->Level());
  });
  return s;
}

TLogBuilder Brk(TLogBuilder log, int64_t offset) {
  log.Op(offset, {0x00, 0x00}, "BRK", "#$00");
  return log;
}

struct TCase {
  const char* name;
  TLogBuilder log;
  int type;
  std::string shape;     // with interrupt levels
  std::string shapeOff;  // without: the tree as it always was
  size_t entered;
  size_t undecided;
};

std::vector<TCase> Cases() {
  using D = TLogBuilder::Dialect;
  std::vector<TCase> cases;
  {
    TLogBuilder log;
    log.Nop(0x8000).Wai(0x8001).Wai(0x8001).State(kHandler, 0x1FB).Nop(0x9000).Rti(0x9001);
    log.State(kRun, 0x1FF).Nop(0x8002);
    cases.push_back({"NMI during WAI on the top level", log, 1,
                     "80000 80010 80010 Interrupt0 90001 90011 80020",
                     "Upstep0 80001 80011 80011 90001 90011 80020", 1, 0});
  }
  {
    TLogBuilder log;
    log.Jsr(0x8000, 0x9000).State(kRun, 0x1FD).Jsr(0x9000, 0xA000).State(kRun, 0x1FB);
    log.Nop(0xA000).State(kHandler, 0x1F7).Nop(0xB000).Rti(0xB001).State(kRun, 0x1FB);
    log.Nop(0xA001).Rts(0xA002).State(kRun, 0x1FD).Rts(0x9003).State(kRun, 0x1FF).Nop(0x8003);
    cases.push_back({"IRQ inside a routine two calls deep", log, 1,
                     "80000 90001 A0002 Interrupt2 B0003 B0013 A0012 A0022 90031 80030",
                     "Upstep0 80001 90002 A0003 B0003 B0013 A0012 A0022 90031 80030", 1, 0});
  }
  {
    TLogBuilder log;
    log.Nop(0x8000).State(kHandler, 0x1FB).Nop(0x9000).State(kHandler, 0x1F7).Nop(0xA000);
    log.Rti(0xA001).State(kHandler, 0x1FB).Nop(0x9001).Rti(0x9002).State(kRun, 0x1FF);
    log.Nop(0x8001);
    cases.push_back({"NMI inside an IRQ handler", log, 1,
                     "80000 Interrupt0 90001 Interrupt1 A0002 A0012 90011 90021 80010", "", 2, 0});
  }
  {
    TLogBuilder log;
    log.Wai(0x8000).State(kHandler, 0x1FB).Jsr(0x9000, 0xA000).State(kHandler, 0x1F9);
    log.Nop(0xA000).Rts(0xA001).State(kHandler, 0x1FB).Rti(0x9003).State(kRun, 0x1FF);
    log.Nop(0x8001);
    cases.push_back({"a handler calls a routine that returns", log, 1,
                     "80000 Interrupt0 90001 A0002 A0012 90031 80010", "", 1, 0});
  }
  {
    // The handler jumps, pushes an address and takes it with RTS: all of it stays in the
    // handler's level until the RTI.
    TLogBuilder log;
    log.Nop(0x8000).State(kHandler, 0x1FB).Nop(0x9000).Jmp(0x9001, 0x9100).Nop(0x9100);
    log.Op(0x9101, {0xF4, 0xFF, 0x91}, "PEA", "$91FF").State(kHandler, 0x1F9).Rts(0x9104);
    log.State(kHandler, 0x1FB).Nop(0x9200).Rti(0x9201).State(kRun, 0x1FF).Nop(0x8001);
    cases.push_back({"a handler left by a jump and an RTS", log, 1,
                     "80000 Interrupt0 90001 90011 91001 91011 91041 92001 92011 80010", "", 1, 0});
  }
  {
    TLogBuilder log = Brk(TLogBuilder().Nop(0x8000), 0x8001);
    log.State(kHandler, 0x1FB).Nop(0x9000).Rts(0x9001).Nop(0x9002).Rti(0x9003);
    log.State(kRun, 0x1FF).Nop(0x8003);
    cases.push_back(
        {"BRK with its RTI", log, 1, "80000 80010 90001 90011 90021 90031 80030", "", 0, 0});
  }
  {
    TLogBuilder log;
    log.State(kHandler, 0x1FB).Nop(0x9000).Rti(0x9001).State(kRun, 0x1FF).Nop(0x8000);
    cases.push_back({"a trace that starts inside a handler", log, 1, "Upstep0 90001 90011 80000",
                     "Upstep0 90001 90011 80000", 0, 0});
  }
  {
    TLogBuilder log;
    log.State(kEmuRun, 0x1FF).Wai(0x8000).State(kEmuHandler, 0x1FC).Nop(0x9000).Rti(0x9001);
    log.State(kEmuRun, 0x1FF).Nop(0x8001);
    cases.push_back({"emulation mode pushes three bytes", log, 1,
                     "80000 Interrupt0 90001 90011 80010", "", 1, 0});
  }
  {
    // Three bytes below in native mode, I clear, D set: none of them is an interrupt.
    TLogBuilder log;
    log.Nop(0x8000).State(kHandler, 0x1FC).Nop(0x9000).State(kRun, 0x1F8).Nop(0xA000);
    log.State("envMXDIzc", 0x1F4).Nop(0xB000);
    cases.push_back({"breaks in the flow that are no interrupt", log, 1, "80000 90000 A0000 B0000",
                     "80000 90000 A0000 B0000", 0, 0});
  }
  {
    // Branch targets, fall-through and a WAI that waits are flow, even with I set.
    TLogBuilder log;
    log.State(kHandler, 0x1FF).Nop(0x8000).Branch(0x8001, 0x80, 0x10, 0x8013);
    log.Wai(0x8013).Wai(0x8013).Jmp(0x8014, 0x8000).Nop(0x8000);
    cases.push_back({"the flow of code with I set", log, 1, "80000 80010 80130 80130 80140 80000",
                     "80000 80010 80130 80130 80140 80000", 0, 0});
  }
  {
    // After a return no line tells where it goes: an entry there is undecided, and its RTI
    // then is a return out of a handler, as without interrupt levels. The debugger dialect
    // records no S, so I set and D clear decide alone.
    TLogBuilder log(D::Debugger);
    log.Jsr(0x8000, 0x9000).Rts(0x9000).State(kHandler, 0).Nop(0xA000).Rti(0xA001);
    log.State(kRun, 0).Nop(0x8003).State(kHandler, 0).Nop(0xB000).Rti(0xB001);
    log.State(kRun, 0).Nop(0x8004);
    cases.push_back({"debugger dialect, and an entry right after a return", log, 2,
                     "Upstep0 80001 90002 A0001 A0011 80030 Interrupt0 B0001 B0011 80040", "", 1,
                     1});
  }
  return cases;
}

TEST(InterruptLevels, HandlersGetTheirOwnLevelAndReturnsCloseWhatTheyOpened) {
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    TFakeUserInterface ui;
    auto p = Converted(ui, c.log.Text(), c.type, true);
    EXPECT_EQ(Shape(*p), c.shape);
    EXPECT_EQ(p->InterruptCounts.Entered, c.entered);
    EXPECT_EQ(p->InterruptCounts.Undecided, c.undecided);
    EXPECT_EQ(p->CallDepth, 0);
    EXPECT_TRUE(ui.Messages.empty()) << ui.Messages.front();
    // An interrupt item is coloured as a call line, targets the handler's first line and
    // names the interrupt of every line inside it.
    p->Tree().ForEach([&](TTreeItem* it) {
      if (!IsInterruptItem(*it)) return;
      ASSERT_TRUE(it->HasChildren());
      EXPECT_EQ(it->Line()->TargetNode(), it->Children().front()->Line());
      EXPECT_EQ(it->Line()->TextColor(), p->Palette.CallColor);
      const std::string name = it->Line()->IsComment() ? it->Line()->LineText() : "BRK";
      EXPECT_EQ(EnclosingInterrupt(it->Children().back()), name);
    });
    if (!c.shapeOff.empty()) {
      TFakeUserInterface uiOff;
      EXPECT_EQ(Shape(*Converted(uiOff, c.log.Text(), c.type, false)), c.shapeOff);
    }
    // Saved and read back, the tree is the same, interrupt items and all.
    const std::string file = test::ScratchDir() + "/t.tfd";
    p->WriteTraceData(file);
    auto read = CreateProject(c.type, ui, "");
    read->ScopeManager()->GetScope("Global", true);
    read->TraceDataDialog.FileName = file;
    read->LoadTraceData();
    EXPECT_EQ(Shape(*read), c.shape);
    read->Tree().ForEach([&](TTreeItem* it) {
      if (IsInterruptItem(*it)) {
        EXPECT_EQ(it->Line()->TargetNode(), it->Children().front()->Line());
      }
    });
  }
}

// The real traces of two programs: every NMI and IRQ the emulator took (1 NMI in the first,
// 1 NMI and 19 IRQs in the second) opens a level and every RTI closes one (none is taken for
// a return out of a routine). snes9x's own log announces each interrupt; the dialects re-emitted
// from it do not, yet the rule finds the same interrupts at the same places, so all give the
// same tree (the emulator's log names the kind, the dialects say "Interrupt").
TEST(InterruptLevels, RealTracesNestAsTheCpuDid) {
  struct TSample {
    const char* program;
    size_t nmi, irq;
    int depth;  // the deepest nesting of calls and interrupts in the window
  };
  // The first window starts in a WAI two routines deep (their RTLs follow the RTI, so two
  // Upsteps wrap the tree); the NMI's handler calls one more: four levels.
  for (const TSample& sample : {TSample{"pvsneslib-hello_world", 1, 0, 4},
                                TSample{"undisbeliever-wrmpyb-in-flight", 1, 19, 3}}) {
    std::vector<std::string> shapes;
    for (const char* kind :
         {"-snes9x.log", "-debugger.log", "-raw.log", "-snes9x-nocomments.log"}) {
      const std::string name = std::string(sample.program) + kind;
      SCOPED_TRACE(name);
      const int type = name.find("debugger") != std::string::npos ? 2
                       : name.find("raw") != std::string::npos
                           ? LayoutByOption("snes9x-raw")->ProjectType
                           : 1;
      TFakeUserInterface ui;
      auto p = Converted(ui, test::ReadFile(test::TracePath(name)), type, true);
      EXPECT_EQ(p->InterruptCounts.Entered, sample.nmi + sample.irq);
      size_t nmi = 0, irq = 0, other = 0;
      int depth = 0;
      p->Tree().ForEach([&](TTreeItem* it) {
        if (IsInterruptItem(*it)) {
          EXPECT_EQ(it->Line()->TargetNode(), it->Children().front()->Line());
          const std::string& text = it->Line()->LineText();
          ++(text == kNmiItemText ? nmi : text == kIrqItemText ? irq : other);
        }
        depth = std::max(depth, it->Level());
        if (it->Line()->OpcodeVal() == 0x40 && !it->Line()->IsComment()) {
          EXPECT_TRUE(it->Parent() && IsInterruptItem(*it->Parent()));
        }
      });
      if (type > 2) {
        EXPECT_EQ(nmi, sample.nmi);
        EXPECT_EQ(irq, sample.irq);
      } else {
        EXPECT_EQ(other, sample.nmi + sample.irq);
      }
      EXPECT_LE(depth, sample.depth);
      std::string shape = Shape(*p);
      for (const char* named : {"NMI", "IRQ"})
        for (size_t at; (at = shape.find(named)) != std::string::npos;)
          shape.replace(at, 3, kInterruptItemText);
      shapes.push_back(shape);
    }
    EXPECT_TRUE(shapes[0] == shapes[1]) << "the dialects' trees differ";
    EXPECT_TRUE(shapes[2] == shapes[3]) << "snes9x's own log and its dialect differ";
  }
}

// Mesen2's log from power-on announces no interrupt (84 of them in this window); the rule
// finds every handler, so every RTI closes an interrupt level and no return is taken for one
// out of a routine.
TEST(InterruptLevels, Mesen2LogsFromPowerOnNeedNoUpstep) {
  for (const char* name : {"undisbeliever-wrmpyb-in-flight-mesen2-cpuonly-20k.log"}) {
    SCOPED_TRACE(name);
    TFakeUserInterface ui;
    auto p = Converted(ui, test::ReadFile(test::TracePath(name)),
                       LayoutByOption("mesen2")->ProjectType, true);
    size_t rti = 0;
    p->Tree().ForEach([&](TTreeItem* it) {
      EXPECT_NE(it->Line()->LineText(), "Upstep");
      if (it->Line()->OpcodeVal() == 0x40 && !it->Line()->IsComment()) {
        ++rti;
        EXPECT_TRUE(it->Parent() && IsInterruptItem(*it->Parent()));
      }
    });
    EXPECT_GT(rti, 0u);
    EXPECT_EQ(p->InterruptCounts.Entered, rti);
    EXPECT_EQ(p->InterruptCounts.Undecided, 0u);
  }
}

// The batch converter's choice is kept in the project file (only when on, so other project
// files stay as they were) and the project opens with the same tree.
TEST(InterruptLevels, TheSettingIsKeptInTheProjectFile) {
  TLogBuilder log;
  log.Wai(0x8000).State(kHandler, 0x1FB).Nop(0x9000).Rti(0x9001).State(kRun, 0x1FF).Nop(0x8001);
  const std::string dir = test::ScratchDir();
  test::WriteFile(dir + "/a.log", log.Text());
  for (bool on : {false, true}) {
    TFakeUserInterface ui;
    TConvertOptions o;
    o.LogFile = dir + "/a.log";
    o.ProjectFile = dir + (on ? "/on.tfp" : "/off.tfp");
    o.InterruptLevels = on;
    ASSERT_TRUE(ConvertLogToProject(o, ui));
    EXPECT_EQ(test::ReadFile(o.ProjectFile).find("interruptlevels") != std::string::npos, on);
    auto p = OpenProject(o.ProjectFile, ui, "");
    EXPECT_EQ(p->InterruptLevels, on);
    EXPECT_EQ(Shape(*p),
              on ? "80000 Interrupt0 90001 90011 80010" : "Upstep0 80001 90001 90011 80010");
  }
}

}  // namespace
}  // namespace orvanel
