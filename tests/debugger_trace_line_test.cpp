// The debugger dialect: its columns, the tolerant operand and bracket reading, the short
// register block, and the real debugger traces.
#include <gtest/gtest.h>

#include <string>

#include "TestData.h"
#include "TraceLineFakes.h"
#include "records/DebuggerTraceLine.h"
#include "trace/LogLines.h"

namespace orvanel {
namespace {

using test::TRecordingWriter;

const std::string kExample =
    "$00/8005 D0 F9       BNE $F9   [$00:8000]  A:0100 X:0000 Y:0002 P:envMXdIzc";
const std::string kRegisters = "A:1FF9 X:0001 Y:0000 P:envmxdIzc";

// A line of the dialect: offset, bytes from column 10, mnemonic from 22, operand from 26,
// padded to 42 columns before the register block.
std::string Line(const std::string& offset, const std::string& bytes, const std::string& rest,
                 const std::string& registers = kRegisters) {
  std::string text = offset + " " + bytes;
  text.resize(21, ' ');
  text += rest;
  if (text.size() < 42) text.resize(42, ' ');
  return text + " " + registers;
}

std::unique_ptr<TDravikSNESTraceFileLine> Cut(TSimpleLineOwner& owner, const std::string& text) {
  return TDravikSNESTraceFileLine::FromText(owner, text, false, nullptr);
}

TEST(DebuggerTraceLine, WorkedExampleGivesEveryField) {
  ASSERT_EQ(kExample.size(), 75u);
  TSimpleLineOwner owner;
  auto line = Cut(owner, kExample);
  EXPECT_FALSE(line->IsComment());
  EXPECT_EQ(line->Offset(), 0x008005);
  EXPECT_EQ(line->OpcodeVal(), 0xD0);
  EXPECT_EQ(line->OpcodeLen(), 2);
  EXPECT_EQ(line->OpcodeLabel(), "BNE");
  EXPECT_EQ(line->Operand(), "$F9");
  EXPECT_TRUE(line->HasOperand());
  EXPECT_FALSE(line->Indexed);
  EXPECT_TRUE(line->HasTarget());
  EXPECT_EQ(line->TargetOffset(), 0x008000);
  EXPECT_EQ(line->RegA, 0x0100);
  EXPECT_EQ(line->RegX, 0);
  EXPECT_EQ(line->RegY, 2);
  EXPECT_EQ(line->RegP, "envMXdIzc");
  EXPECT_EQ(line->RegD, 0);
  EXPECT_EQ(line->RegDB, 0);
  EXPECT_EQ(line->RegS, 0);
  EXPECT_EQ(line->HCounter, 0);
  EXPECT_EQ(line->VCounter, 0);
  EXPECT_TRUE(line->IsFlow());
  EXPECT_EQ(line->BranchDisplacement(owner), 249);
  EXPECT_EQ(line->DisplayText(), ".$008005 BNE $F9 [$008000]");
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(DebuggerTraceLine, ExampleReadWithFirstDialectColumnsFails) {
  TSimpleLineOwner owner;
  auto line = TSNESTraceFileLine::FromText(owner, kExample, false, nullptr);
  EXPECT_TRUE(line->IsComment());  // columns 11-12 hold "0 "
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], kExample);
  // The copy of a debugger line is cut with the debugger's columns again.
  auto debugger = Cut(owner, kExample);
  auto copy = debugger->Clone(owner);
  EXPECT_FALSE(copy->IsComment());
  EXPECT_EQ(copy->OpcodeVal(), 0xD0);
  EXPECT_EQ(copy->TargetOffset(), 0x008000);
}

TEST(DebuggerTraceLine, BracketAfterAnyBlanksOrGluedToTheOperand) {
  TSimpleLineOwner owner;
  const std::string one = Line("$00/8005", "D0 F9", "BNE $F9 [$00:8000]");
  const std::string many = Line("$00/8005", "D0 F9", "BNE $F9      [$00:8000]");
  const std::string glued = Line("$80/84B0", "9F FE 1F 7E", "STA $7E1FFE,x[$7E:2197]");
  auto a = Cut(owner, one), b = Cut(owner, many), c = Cut(owner, glued);
  EXPECT_EQ(a->TargetOffset(), 0x008000);
  EXPECT_EQ(b->TargetOffset(), 0x008000);
  EXPECT_TRUE(a->HasTarget() && b->HasTarget());
  EXPECT_EQ(c->Operand(), "$7E1FFE,x");
  EXPECT_TRUE(c->Indexed);
  EXPECT_TRUE(c->HasTarget());
  EXPECT_EQ(c->TargetOffset(), 0x7E2197);
  EXPECT_EQ(c->OpcodeLen(), 4);
  EXPECT_EQ(c->RegA, 0x1FF9);
  // Something other than blanks before the bracket: no target.
  auto stray = Cut(owner, Line("$00/8005", "D0 F9", "BNE $F9 x [$00:8000]"));
  EXPECT_FALSE(stray->HasTarget());
  EXPECT_EQ(stray->TargetOffset(), 0);
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(DebuggerTraceLine, MnemonicIsTrimmedAndImpliedHasNoOperand) {
  TSimpleLineOwner owner;
  auto line = Cut(owner, Line("$00/8093", "8B", "PHB"));
  EXPECT_EQ(line->OpcodeLabel(), "PHB");
  EXPECT_EQ(line->OpcodeLen(), 1);
  EXPECT_FALSE(line->HasOperand());
  EXPECT_FALSE(line->HasTarget());
  auto accumulator = Cut(owner, Line("$00/83D4", "3A", "DEC A"));
  EXPECT_EQ(accumulator->Operand(), "A");
  EXPECT_TRUE(accumulator->HasOperand());
  EXPECT_FALSE(accumulator->HasTarget());
  auto exact = Cut(owner, "$00/8005 D0 F9       BNE $");
  ASSERT_EQ(exact->LineText().size(), 26u);
  EXPECT_FALSE(exact->HasOperand());
}

TEST(DebuggerTraceLine, BlockMoveHasNoOperandFlag) {
  TSimpleLineOwner owner;
  auto line = Cut(owner, Line("$00/8000", "54 7F 7E", "MVN 7E 7F"));
  EXPECT_EQ(line->OpcodeLabel(), "MVN");
  EXPECT_EQ(line->Operand(), "7E 7F");
  EXPECT_FALSE(line->HasOperand());
  EXPECT_FALSE(line->HasTarget());
  EXPECT_EQ(line->DisplayText(), ".$008000 MVN");
  TRecordingWriter writer;
  line->WriteXml(writer);
  EXPECT_EQ(writer.Value("operand"), "-1");
}

TEST(DebuggerTraceLine, RegisterBlockIsShortAndOptional) {
  TSimpleLineOwner owner;
  auto none = Cut(owner, "$00/8005 D0 F9       BNE $F9   [$00:8000]");
  EXPECT_FALSE(none->IsComment());
  EXPECT_EQ(none->RegA, 0);
  EXPECT_EQ(none->RegP, "");
  EXPECT_TRUE(owner.Messages.empty());

  auto line = Cut(owner, kExample);
  TRecordingWriter writer;
  line->WriteXml(writer);
  EXPECT_EQ(writer.Value("D"), "0");
  EXPECT_EQ(writer.Value("DB"), "0");
  EXPECT_EQ(writer.Value("S"), "0");
  EXPECT_EQ(writer.Value("HC"), "0");
  EXPECT_EQ(writer.Value("VC"), "0");
  EXPECT_EQ(writer.Value("A"), "256");
  EXPECT_EQ(writer.Value("PS"), "envMXdIzc");

  const std::string bad = Line("$00/8005", "D0 F9", "BNE $F9 [$00:8000]", "A:0100 X:00Z0 Y:0002");
  auto broken = Cut(owner, bad);
  EXPECT_TRUE(broken->IsComment());
  EXPECT_EQ(broken->RegA, 0);
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], bad);
}

TEST(DebuggerTraceLine, PtrAndUnreadableFields) {
  TSimpleLineOwner owner;
  auto ptr = Cut(owner, Line("$00/8005", "D0 F9", "BNE $F9 ptr"));
  EXPECT_EQ(ptr->OpcodeVal(), 256);
  EXPECT_EQ(ptr->RegA, 0);
  const std::string badBracket = Line("$00/8005", "D0 F9", "BNE $F9 [$00:80#0]");
  auto bracket = Cut(owner, badBracket);
  EXPECT_TRUE(bracket->IsComment());
  EXPECT_TRUE(bracket->HasTarget());
  EXPECT_EQ(bracket->RegA, 0);  // a comment line does not read registers
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], badBracket);
}

// Column counters are full-width, and short lines end their fields at their end.
TEST(DebuggerTraceLine, LongAndShortLines) {
  TSimpleLineOwner owner;
  const std::string operand = "$9000" + std::string(250, 'x');
  auto line = Cut(owner, Line("$02/8000", "AD 00 90", "LDA " + operand + "   [$00:9000]"));
  EXPECT_TRUE(line->HasTarget());
  EXPECT_EQ(line->TargetOffset(), 0x009000);
  EXPECT_EQ(line->RegX, 1);
  auto trailing = Cut(owner, "$00/8005 D0 F9       BNE $F9   ");
  EXPECT_FALSE(trailing->HasTarget());
  auto open = Cut(owner, "$00/8005 D0 F9       BNE $F9   [$00:80");
  EXPECT_TRUE(open->HasTarget());
  EXPECT_EQ(open->TargetOffset(), 0x0080);
  EXPECT_TRUE(owner.Messages.empty());
}

void CheckRealTrace(const std::string& name) {
  TLogLines log = TLogLines::FromFile(test::TracePath(name));
  TSimpleLineOwner owner;
  size_t instructions = 0, targets = 0;
  for (size_t i = 0; i < log.Count(); ++i) {
    const std::string text(log[i]);
    auto line = TDravikSNESTraceFileLine::FromText(owner, text, false, &log);
    if (text[0] != '$') {
      EXPECT_TRUE(line->IsComment()) << text;
      continue;
    }
    ++instructions;
    ASSERT_FALSE(line->IsComment()) << text;
    auto hex = [&](size_t pos, size_t count) {
      return std::stoll(text.substr(pos, count), nullptr, 16);
    };
    EXPECT_EQ(line->Offset(), hex(1, 2) << 16 | hex(4, 4)) << text;
    EXPECT_EQ(line->OpcodeVal(), hex(9, 2)) << text;
    EXPECT_EQ(line->OpcodeLen(), (text.substr(9, 11).find_last_not_of(' ') + 2) / 3) << text;
    EXPECT_EQ(line->OpcodeLabel(), text.substr(21, 3)) << text;
    EXPECT_EQ(line->RegA, hex(text.find(" A:") + 3, 4)) << text;
    EXPECT_EQ(line->RegX, hex(text.find(" X:") + 3, 4)) << text;
    EXPECT_EQ(line->RegY, hex(text.find(" Y:") + 3, 4)) << text;
    EXPECT_EQ(line->RegP, text.substr(text.find(" P:") + 3, 9)) << text;
    const size_t a = text.find(" A:");
    const size_t bracket = text.rfind('[', a);
    if (bracket != std::string::npos && text.find(']', bracket) < a) {
      if (line->HasTarget()) {
        ++targets;
        std::string inside = text.substr(bracket + 1, text.find(']', bracket) - bracket - 1);
        inside.erase(inside.find(':'), 1);
        const int64_t value = std::stoll(inside.substr(1), nullptr, 16);
        const bool ownBank =
            line->OpcodeVal() == 0x4C || line->OpcodeVal() == 0x7C || line->OpcodeVal() == 0x6C;
        EXPECT_EQ(line->TargetOffset(),
                  ownBank ? (line->Offset() & 0xFF0000) | (value & 0xFFFF) : value)
            << text;
      } else {
        // Lost only to an operand that starts with its own bracket ([$08],y stops at once)
        // or to the first-occurrence rule.
        EXPECT_TRUE(line->Operand().empty() || text.find(line->Operand()) < 25) << text;
      }
    } else {
      EXPECT_FALSE(line->HasTarget()) << text;
    }
  }
  EXPECT_TRUE(owner.Messages.empty()) << owner.Messages.front();
  EXPECT_EQ(instructions, 10000u);
  EXPECT_GT(targets, 1000u);
}

TEST(DebuggerTraceLine, RealTracesCutIntoTheirFields) {
  CheckRealTrace("pvsneslib-hello_world-debugger.log");
  CheckRealTrace("undisbeliever-wrmpyb-in-flight-debugger.log");
  CheckRealTrace("undisbeliever-wrmpyb-in-flight-debugger-nocomments.log");
}

}  // namespace
}  // namespace orvanel
