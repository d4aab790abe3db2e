// The first log dialect: cutting a line into fields, the opcode classes, the shown text and
// the register attributes of the data file element.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TestData.h"
#include "TraceLineFakes.h"
#include "base/Errors.h"
#include "records/Scope.h"
#include "records/SnesTraceLine.h"
#include "trace/LogLines.h"

namespace orvanel {
namespace {

using test::TFakeElement;
using test::TRecordingWriter;

const std::string kExample =
    "$00/8005  D0 F9        BNE $F9 [$00:8000]    A:0100 X:0000 Y:0002 D:0000 DB:7E S:01F3 "
    "P:envMXdIzc HC:1234 VC:0120 FC:00";
const std::string kRegisters =
    "A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FF2 P:envmxdIzc HC:094 VC:0225 FC:04";

// A line of the dialect: offset, bytes, mnemonic and operand text (with its bracket), padded
// to 44 columns before the register block as the emulator writes it.
std::string Line(const std::string& offset, const std::string& bytes, const std::string& rest,
                 const std::string& registers = kRegisters) {
  std::string text = offset + "  " + bytes;
  text.resize(23, ' ');
  text += rest;
  if (text.size() < 44) text.resize(44, ' ');
  return text + " " + registers;
}

std::unique_ptr<TSNESTraceFileLine> Cut(TSimpleLineOwner& owner, const std::string& text) {
  return TSNESTraceFileLine::FromText(owner, text, false, nullptr);
}

TEST(SnesTraceLine, WorkedExampleGivesEveryField) {
  ASSERT_EQ(kExample.size(), 119u);
  TSimpleLineOwner owner;
  auto line = Cut(owner, kExample);
  EXPECT_FALSE(line->IsComment());
  EXPECT_EQ(line->LineText(), kExample);
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
  EXPECT_EQ(line->RegD, 0);
  EXPECT_EQ(line->RegDB, 0x7E);
  EXPECT_EQ(line->RegS, 0x01F3);
  EXPECT_EQ(line->RegP, "envMXdIzc");
  EXPECT_EQ(line->HCounter, 1234);
  EXPECT_EQ(line->VCounter, 120);
  EXPECT_TRUE(line->IsFlow());
  EXPECT_EQ(line->BranchDisplacement(owner), 249);
  EXPECT_EQ(line->OffsetText(), "$008005");
  EXPECT_EQ(line->TargetText(), "$008000");
  EXPECT_EQ(line->RegisterKey(), "008000");
  EXPECT_EQ(line->TextColor(), 0);
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(SnesTraceLine, ShortLinesAndLinesWithoutDollarAreComments) {
  TSimpleLineOwner owner;
  for (const std::string text : {"$00/8005 D", "$00/8005", "x00/8005  D0 F9        BNE $F9",
                                 "// end of subroutine", "Upstep"}) {
    auto line = Cut(owner, text);
    EXPECT_TRUE(line->IsComment()) << text;
    EXPECT_EQ(line->OpcodeVal(), 0) << text;
    EXPECT_EQ(line->LineText(), text);
  }
  EXPECT_TRUE(owner.Messages.empty());
  // Eleven characters are enough to be read as an instruction.
  auto line = Cut(owner, "$00/8005  D");
  EXPECT_FALSE(line->IsComment());
  EXPECT_EQ(line->Offset(), 0x008005);
}

TEST(SnesTraceLine, PtrLineIsNoInstructionAndKeepsZeroRegisters) {
  TSimpleLineOwner owner;
  for (const std::string ptr : {"PTR", "ptr", "pTr"}) {
    auto line = Cut(owner, Line("$00/8005", "D0 F9", "BNE $F9 " + ptr));
    EXPECT_FALSE(line->IsComment());
    EXPECT_EQ(line->OpcodeVal(), 256) << ptr;
    EXPECT_EQ(line->RegA, 0);
    EXPECT_EQ(line->RegS, 0);
    EXPECT_EQ(line->RegP, "");
    EXPECT_FALSE(line->IsFlow());
  }
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(SnesTraceLine, OperandNeedsMoreThanTwentyEightCharacters) {
  TSimpleLineOwner owner;
  auto exact = Cut(owner, "$00/8005  D0 F9        BNE $");
  ASSERT_EQ(exact->LineText().size(), 28u);
  EXPECT_FALSE(exact->HasOperand());
  EXPECT_EQ(exact->Operand(), "");
  auto longer = Cut(owner, "$00/8005  D0 F9        BNE $F");
  EXPECT_TRUE(longer->HasOperand());
  EXPECT_EQ(longer->Operand(), "$F");
  // A mnemonic without operand leaves the field blank up to the register block.
  auto implied = Cut(owner, Line("$00/8093", "8B", "PHB"));
  EXPECT_FALSE(implied->HasOperand());
  EXPECT_FALSE(implied->HasTarget());
}

TEST(SnesTraceLine, BlockMoveTakesBothBanksAsOperand) {
  TSimpleLineOwner owner;
  auto mvn = Cut(owner, Line("$00/8000", "54 7F 7E", "MVN 7E 7F"));
  EXPECT_EQ(mvn->OpcodeLabel(), "MVN");
  EXPECT_EQ(mvn->Operand(), "7E 7F");
  EXPECT_TRUE(mvn->HasOperand());
  EXPECT_FALSE(mvn->HasTarget());
  EXPECT_EQ(mvn->OpcodeLen(), 3);
  auto mvp = Cut(owner, Line("$00/8000", "44 7F 7E", "MVP 7E 7F"));
  EXPECT_EQ(mvp->Operand(), "7E 7F");
  // The six columns are taken even when they hold nothing.
  auto empty = Cut(owner, "$00/8000  54 7F 7E     MVN       ");
  EXPECT_EQ(empty->Operand(), "");
  EXPECT_TRUE(empty->HasOperand());
}

TEST(SnesTraceLine, CommaInOperandMakesItIndexed) {
  TSimpleLineOwner owner;
  auto line = Cut(owner, Line("$80/84B0", "9F FE 1F 7E", "STA $7E1FFE,x [$7E:2197]"));
  EXPECT_EQ(line->Operand(), "$7E1FFE,x");
  EXPECT_TRUE(line->Indexed);
  EXPECT_TRUE(line->HasTarget());
  EXPECT_EQ(line->TargetOffset(), 0x7E2197);
  EXPECT_EQ(line->RegisterKey(), "002197");  // the register lookup uses the low word only
  EXPECT_EQ(line->OpcodeLen(), 4);

  TRecordingWriter writer;
  line->WriteXml(writer);
  EXPECT_EQ(writer.Value("indexed"), "TRUE");
  auto back = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
  EXPECT_TRUE(back->Indexed);
}

TEST(SnesTraceLine, FirstOccurrenceOfOperandDecidesWhereTheBracketIs) {
  TSimpleLineOwner owner;
  // $00 occurs first in the offset "$00/", so the bracket is looked for at column 5.
  auto line = Cut(owner, Line("$00/8000", "A5 00", "LDA $00 [$00:0000]"));
  EXPECT_EQ(line->Operand(), "$00");
  EXPECT_FALSE(line->HasTarget());
  EXPECT_EQ(line->TargetOffset(), 0);
  // The same instruction in bank $80 finds its bracket.
  auto other = Cut(owner, Line("$80/8000", "A5 00", "LDA $00 [$00:0000]"));
  EXPECT_TRUE(other->HasTarget());
}

TEST(SnesTraceLine, JumpsTakeTheBankOfTheInstruction) {
  TSimpleLineOwner owner;
  struct Case {
    const char* bytes;
    const char* rest;
    int64_t target;
  } cases[] = {
      {"4C 00 90", "JMP $9000 [$00:9000]", 0x029000},       // JMP absolute
      {"6C 00 90", "JMP ($9000) [$00:9000]", 0x029000},     // JMP (absolute)
      {"7C 00 90", "JMP ($9000,x) [$00:9000]", 0x029000},   // JMP (absolute,X)
      {"5C 00 90 00", "JMP $009000 [$00:9000]", 0x009000},  // JML long: the bracket as it is
      {"DC 00 90", "JML [$9000] [$00:9000]", 0x009000},
      {"AD 00 90", "LDA $9000 [$00:9000]", 0x009000},
      {"AD 00 90", "LDA $9000 [$9000]", 0x029000},  // no bank: that of the instruction
      {"4C 00 90", "JMP $9000 [$9000]", 0x029000},
      {"80 FE", "BRA $FE [$9000]", 0x029000},
  };
  for (const Case& c : cases) {
    auto line = Cut(owner, Line("$02/8000", c.bytes, c.rest));
    EXPECT_TRUE(line->HasTarget()) << c.rest;
    EXPECT_EQ(line->TargetOffset(), c.target) << c.rest;
  }
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(SnesTraceLine, BracketMustFollowAfterExactlyOneBlank) {
  TSimpleLineOwner owner;
  auto twoBlanks = Cut(owner, Line("$00/8005", "D0 F9", "BNE $F9  [$00:8000]"));
  EXPECT_FALSE(twoBlanks->HasTarget());
  EXPECT_EQ(twoBlanks->TargetOffset(), 0);
  auto glued = Cut(owner, Line("$00/8005", "D0 F9", "BNE $F9[$00:8000]"));
  EXPECT_EQ(glued->Operand(), "$F9[$00:8000]");
  EXPECT_FALSE(glued->HasTarget());
}

TEST(SnesTraceLine, CountersMoveWithTheWidthOfTheHorizontalCounter) {
  TSimpleLineOwner owner;
  auto three = Cut(owner, Line("$00/8091", "C2 30", "REP #$30",
                               "A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FF2 P:envmxdIzc HC:186 "
                               "VC:0120 FC:04"));
  EXPECT_EQ(three->HCounter, 186);
  EXPECT_EQ(three->VCounter, 120);
  auto four = Cut(owner, Line("$00/8091", "C2 30", "REP #$30",
                              "A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FF2 P:envmxdIzc HC:1186 "
                              "VC:0121 FC:04"));
  EXPECT_EQ(four->HCounter, 1186);
  EXPECT_EQ(four->VCounter, 121);
  EXPECT_EQ(three->RegA, 0x1FF9);
  EXPECT_EQ(three->RegS, 0x1FF2);
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(SnesTraceLine, RegisterBlockIsFoundWhereverItStands) {
  TSimpleLineOwner owner;
  // Long operands push the block to column 47 or 49.
  auto line = Cut(owner, Line("$00/80AD", "22 CB 83 00", "JSL $0083CB [$00:83CB]"));
  EXPECT_EQ(line->LineText().find(" A:"), 45u);
  EXPECT_EQ(line->RegA, 0x1FF9);
  EXPECT_EQ(line->VCounter, 225);
  // Without a register block the registers stay zero and nothing is reported.
  auto none = Cut(owner, "$00/8005  D0 F9        BNE $F9 [$00:8000]");
  EXPECT_FALSE(none->IsComment());
  EXPECT_EQ(none->RegA, 0);
  EXPECT_EQ(none->RegP, "");
  EXPECT_TRUE(owner.Messages.empty());
}

// Column counters are full-width: nothing wraps on lines of more than 255 characters.
TEST(SnesTraceLine, FieldsPastColumn255AreReadWhereTheyStand) {
  TSimpleLineOwner owner;
  const std::string operand = "$9000" + std::string(250, 'x');
  auto line = Cut(owner, Line("$02/8000", "AD 00 90", "LDA " + operand + " [$00:9000]"));
  EXPECT_EQ(line->Operand(), operand);
  EXPECT_TRUE(line->HasTarget());
  EXPECT_EQ(line->TargetOffset(), 0x009000);
  EXPECT_EQ(line->RegA, 0x1FF9);
  EXPECT_EQ(line->HCounter, 94);
  EXPECT_EQ(line->VCounter, 225);

  std::string padded = Line("$00/8005", "D0 F9", "BNE $F9 [$00:8000]");
  padded.insert(padded.find(" A:"), 300, ' ');
  auto far = Cut(owner, padded);
  EXPECT_EQ(far->RegA, 0x1FF9);
  EXPECT_EQ(far->RegP, "envmxdIzc");
  EXPECT_EQ(far->VCounter, 225);
  EXPECT_TRUE(owner.Messages.empty());
}

// Fields that run off the end of a short line end there.
TEST(SnesTraceLine, FieldsCutShortStopAtTheEndOfTheLine) {
  TSimpleLineOwner owner;
  auto noBlank = Cut(owner, "$00/8005  D0 F9        BNE $F9");
  EXPECT_EQ(noBlank->Operand(), "$F9");
  EXPECT_FALSE(noBlank->HasTarget());
  auto open = Cut(owner, "$00/8005  D0 F9        BNE $F9 [$00:80");
  EXPECT_TRUE(open->HasTarget());
  EXPECT_EQ(open->TargetOffset(), 0x0080);  // "$0080": five characters, bank of the line
  auto onlyBracket = Cut(owner, "$00/8005  D0 F9        BNE $F9 [");
  EXPECT_TRUE(onlyBracket->HasTarget());
  EXPECT_TRUE(onlyBracket->IsComment());
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], onlyBracket->LineText());
}

TEST(SnesTraceLine, UnreadableNumbersReportTheLineAndMakeAComment) {
  TSimpleLineOwner owner;
  // Cutting goes on after an unreadable offset or opcode, so the bracket is still read.
  const std::string cases[] = {
      Line("$0G/8005", "D0 F9", "BNE $F9 [$00:8000]"),  // offset
      Line("$00/8005", "Z0 F9", "BNE $F9 [$00:8000]"),  // opcode byte
      Line("$00/8005", "D0 F9", "BNE $F9 [$00:80Q0]"),  // bracket
      Line("$00/8005", "D0 F9", "BNE $F9 [$00:8000]",
           "A:01G0 X:0000 Y:0002 D:0000 DB:7E S:01F3 P:envMXdIzc HC:1234 VC:0120"),  // register
      Line("$00/8005", "D0 F9", "BNE $F9 [$00:8000]",
           "A:0100 X:0000 Y:0002 D:0000 DB:7E S:01F3 P:envMXdIzc HC:12x4 VC:0120"),  // counter
      Line("$00/8005", "D0 F9", "BNE $F9 [$00:8000]", "A:0100 X:0000 Y:0002 D:00"),  // cut off
  };
  for (const std::string& text : cases) {
    owner.Messages.clear();
    auto line = Cut(owner, text);
    EXPECT_TRUE(line->IsComment()) << text;
    EXPECT_TRUE(line->HasTarget()) << text;
    ASSERT_EQ(owner.Messages.size(), 1u) << text;
    EXPECT_EQ(owner.Messages[0], text);
    // The register cutter leaves nothing of a block it could not read.
    EXPECT_EQ(line->RegA, 0);
    EXPECT_EQ(line->RegX, 0);
    EXPECT_EQ(line->RegY, 0);
    EXPECT_EQ(line->RegP, "");
  }
}

TEST(SnesTraceLine, OpcodeClasses) {
  const int flow[] = {0x10, 0x20, 0x22, 0x30, 0x4C, 0x50, 0x5C, 0x6C, 0x70,
                      0x7C, 0x80, 0x90, 0xB0, 0xD0, 0xDC, 0xF0, 0xFC};
  int flowCount = 0, returnCount = 0, callCount = 0;
  for (int op = 0; op <= 256; ++op) {
    flowCount += TSNESTraceFileLine::IsFlowOpcode(op);
    returnCount += TSNESTraceFileLine::IsReturnOpcode(op);
    callCount += TSNESTraceFileLine::IsCallOpcode(op);
  }
  EXPECT_EQ(flowCount, 17);
  for (int op : flow) EXPECT_TRUE(TSNESTraceFileLine::IsFlowOpcode(op)) << op;
  EXPECT_FALSE(TSNESTraceFileLine::IsFlowOpcode(0x82));  // BRL belongs to no class
  EXPECT_EQ(returnCount, 3);
  for (int op : {0x40, 0x60, 0x6B}) EXPECT_TRUE(TSNESTraceFileLine::IsReturnOpcode(op));
  EXPECT_EQ(callCount, 3);
  for (int op : {0x20, 0x22, 0xFC}) EXPECT_TRUE(TSNESTraceFileLine::IsCallOpcode(op));

  TSNESTraceFileLine line;
  const std::pair<int, int> kinds[] = {{0x20, 0}, {0xFC, 0}, {0x22, 1}, {0x4C, 2}, {0x60, 2}};
  for (auto [op, kind] : kinds) {
    line.SetOpcodeVal(op);
    EXPECT_EQ(line.CallKind(), kind) << op;
    EXPECT_EQ(line.IsCall(), kind != 2) << op;
  }
  line.SetOpcodeVal(0x6B);
  EXPECT_TRUE(line.IsReturn());
  EXPECT_FALSE(line.IsFlow());
}

TEST(SnesTraceLine, BranchDisplacementReadsTheOperand) {
  TSimpleLineOwner owner;
  TSNESTraceFileLine line;
  line.SetOperand("$80");
  EXPECT_EQ(line.BranchDisplacement(owner), 128);
  line.SetOperand("$F9 [$00:8000]");  // only the part before the bracket counts
  EXPECT_EQ(line.BranchDisplacement(owner), 249);
  EXPECT_TRUE(owner.Messages.empty());
  EXPECT_FALSE(line.IsComment());
  line.SetOperand("label");
  line.SetOpcodeLabel("BNE");
  EXPECT_EQ(line.BranchDisplacement(owner), 0);
  EXPECT_TRUE(line.IsComment());
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], ".$000000 BNE");  // the text the node showed
}

TEST(SnesTraceLine, DisplayTextNamesScopeLabelTargetAndOperand) {
  // The scope and mappings outlive the lines that refer to them.
  TScopeNode main(nullptr, false, "Main");
  TMappingNode reset("reset", "$008005"), loop("loop", "$008000"), operand("disp", "$F9"),
      mode("MODE", "#$0034");
  TSimpleLineOwner owner;
  auto line = Cut(owner, kExample);
  EXPECT_EQ(line->DisplayText(), ".$008005 BNE $F9 [$008000]");  // no scope: starts with "."
  line->AttachScope(&main);
  EXPECT_EQ(line->DisplayText(), "Main.$008005 BNE $F9 [$008000]");
  line->SetOffsetLabel(&reset);
  EXPECT_EQ(line->DisplayText(), "Main.reset: BNE $F9 [$008000]");

  // The target is named by the register, else by the target or operand mapping.
  line->SetOperandRef(&operand);
  EXPECT_EQ(line->DisplayText(), "Main.reset: BNE disp [$008000]");
  line->SetTargetRef(&loop);
  EXPECT_EQ(line->DisplayText(), "Main.reset: BNE loop [$008000]");
  line->SetRegisterName("INIDISP");
  EXPECT_EQ(line->DisplayText(), "Main.reset: BNE INIDISP [$008000]");

  // Without a target the operand, or its mapping, is shown.
  auto load = Cut(owner, Line("$00/809D", "A9 34 00", "LDA #$0034"));
  EXPECT_EQ(load->DisplayText(), ".$00809D LDA #$0034");
  load->SetOperandRef(&mode);
  EXPECT_EQ(load->DisplayText(), ".$00809D LDA MODE");
  auto implied = Cut(owner, Line("$00/8093", "8B", "PHB"));
  EXPECT_EQ(implied->DisplayText(), ".$008093 PHB");

  auto comment = Cut(owner, "--- frame 5 ---");
  EXPECT_EQ(comment->DisplayText(), "--- frame 5 ---");
  comment->SetComment("first frame");
  EXPECT_EQ(comment->DisplayText(), "first frame");
}

TEST(SnesTraceLine, WriteXmlAppendsTheRegistersInOrder) {
  TSimpleLineOwner owner;
  auto line = Cut(owner, kExample);
  TRecordingWriter writer;
  line->WriteXml(writer);
  ASSERT_EQ(writer.Elements.size(), 1u);
  EXPECT_EQ(writer.Elements[0].Ends, 0);  // the caller writes the children and ends it
  const std::vector<std::string> names = {
      "linetext",    "textcolor",    "comment", "isComment", "offset", "opcodeval", "opcodelen",
      "opcodelabel", "targetoffset", "operand", "A",         "X",      "Y",         "S",
      "D",           "DB",           "PS",      "HC",        "VC",     "indexed"};
  EXPECT_EQ(writer.Names(), names);
  EXPECT_EQ(writer.Value("A"), "256");
  EXPECT_EQ(writer.Value("Y"), "2");
  EXPECT_EQ(writer.Value("S"), "499");
  EXPECT_EQ(writer.Value("DB"), "126");
  EXPECT_EQ(writer.Value("PS"), "envMXdIzc");
  EXPECT_EQ(writer.Value("HC"), "1234");
  EXPECT_EQ(writer.Value("VC"), "120");
  EXPECT_EQ(writer.Value("indexed"), "FALSE");
  EXPECT_EQ(writer.Value("targetoffset"), "32768");
  EXPECT_EQ(writer.Value("opcodeval"), "208");
}

TEST(SnesTraceLine, ReadXmlTakesTheRegistersBack) {
  TSimpleLineOwner owner;
  auto line = Cut(owner, kExample);
  TRecordingWriter writer;
  line->WriteXml(writer);
  auto back = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
  EXPECT_EQ(back->RegA, 0x0100);
  EXPECT_EQ(back->RegY, 2);
  EXPECT_EQ(back->RegDB, 0x7E);
  EXPECT_EQ(back->RegS, 0x01F3);
  EXPECT_EQ(back->RegP, "envMXdIzc");
  EXPECT_EQ(back->HCounter, 1234);
  EXPECT_EQ(back->VCounter, 120);
  EXPECT_EQ(back->Offset(), 0x008005);
  EXPECT_EQ(back->TargetOffset(), 0x008000);
  EXPECT_EQ(back->Operand(), "$F9");
  EXPECT_EQ(back->OpcodeLabel(), "BNE");
  EXPECT_EQ(back->OpcodeLen(), 2);

  // Empty or absent register attributes leave the register at zero; a bad one fails.
  TFakeElement element = writer.AsElement();
  element.Set("A", "");
  element.Erase("X");
  element.Erase("PS");
  element.Erase("indexed");
  auto partial = TSNESTraceFileLine::FromXml(owner, element);
  EXPECT_EQ(partial->RegA, 0);
  EXPECT_EQ(partial->RegX, 0);
  EXPECT_EQ(partial->RegP, "");
  EXPECT_FALSE(partial->Indexed);
  element.Set("HC", "12x");
  EXPECT_THROW(TSNESTraceFileLine::FromXml(owner, element), EConvertError);
}

// --- the real traces ----------------------------------------------------------------------

int HexAt(const std::string& text, size_t pos, size_t count) {
  return static_cast<int>(std::stoul(text.substr(pos, count), nullptr, 16));
}

// The address in the bracket at `bracket` (zero-based), with the bank rule of the jumps.
int64_t ExpectedTarget(const TTraceFileLine& line, const std::string& text, size_t bracket) {
  std::string inside = text.substr(bracket + 1, text.find(']', bracket) - bracket - 1);
  if (auto colon = inside.find(':'); colon != std::string::npos) inside.erase(colon, 1);
  const int64_t value = std::stoll(inside.substr(1), nullptr, 16);
  if (inside.size() < 6) return value | (line.Offset() & 0xFF0000);
  const int op = line.OpcodeVal();
  if (op == 0x4C || op == 0x6C || op == 0x7C) return (line.Offset() & 0xFF0000) | (value & 0xFFFF);
  return value;
}

void CheckRealTrace(const std::string& name) {
  TLogLines log = TLogLines::FromFile(test::TracePath(name));
  ASSERT_GE(log.Count(), 10000u);
  TSimpleLineOwner owner;
  size_t instructions = 0, comments = 0, targets = 0;
  for (size_t i = 0; i < log.Count(); ++i) {
    const std::string text(log[i]);
    auto line = TSNESTraceFileLine::FromText(owner, text, false, &log);
    if (text[0] != '$') {
      EXPECT_TRUE(line->IsComment()) << text;
      ++comments;
      continue;
    }
    ++instructions;
    ASSERT_FALSE(line->IsComment()) << text;
    EXPECT_EQ(line->Offset(), HexAt(text, 1, 2) << 16 | HexAt(text, 4, 4)) << text;
    EXPECT_EQ(line->OpcodeVal(), HexAt(text, 10, 2)) << text;
    const std::string bytes = text.substr(10, 11);
    EXPECT_EQ(line->OpcodeLen(), (bytes.find_last_not_of(' ') + 2) / 3) << text;
    EXPECT_EQ(line->OpcodeLabel(), text.substr(23, 3)) << text;
    const size_t a = text.find(" A:") + 1;
    EXPECT_EQ(line->RegA, HexAt(text, a + 2, 4)) << text;
    EXPECT_EQ(line->RegX, HexAt(text, text.find(" X:") + 3, 4)) << text;
    EXPECT_EQ(line->RegS, HexAt(text, text.find(" S:") + 3, 4)) << text;
    EXPECT_EQ(line->RegDB, HexAt(text, text.find(" DB:") + 4, 2)) << text;
    EXPECT_EQ(line->RegP, text.substr(text.find(" P:") + 3, 9)) << text;
    int hc = -1, vc = -1;
    ASSERT_EQ(std::sscanf(text.c_str() + text.find(" HC:"), " HC:%d VC:%d", &hc, &vc), 2);
    EXPECT_EQ(line->HCounter, hc) << text;
    EXPECT_EQ(line->VCounter, vc) << text;
    // The bracket of the effective address is the last one before the register block.
    const size_t bracket = text.rfind('[', a);
    if (bracket != std::string::npos && text.find(']', bracket) < a) {
      if (line->HasTarget()) {
        ++targets;
        EXPECT_EQ(line->TargetOffset(), ExpectedTarget(*line, text, bracket)) << text;
      } else {
        // Only the first-occurrence rule may lose a bracket.
        EXPECT_LT(text.find(line->Operand()), 27u) << text;
      }
    } else {
      EXPECT_FALSE(line->HasTarget()) << text;
    }
  }
  EXPECT_TRUE(owner.Messages.empty()) << owner.Messages.front();
  EXPECT_EQ(instructions, 10000u);
  EXPECT_GT(targets, 1000u);
  EXPECT_EQ(comments, log.Count() - 10000u);
}

TEST(SnesTraceLine, RealTracesCutIntoTheirFields) {
  CheckRealTrace("pvsneslib-hello_world-snes9x.log");
  CheckRealTrace("undisbeliever-wrmpyb-in-flight-snes9x.log");
  CheckRealTrace("pvsneslib-hello_world-snes9x-nocomments.log");
}

}  // namespace
}  // namespace orvanel
