// Lines no log should hold: cut-off lines, random bytes, very long lines, bytes that are no
// UTF-8 and NUL bytes. Each gives a parsed line or a comment line with one of the messages
// the cutting knows, never a crash.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TraceLineFakes.h"
#include "records/DebuggerTraceLine.h"
#include "records/SnesTraceLine.h"
#include "trace/LogLines.h"

namespace orvanel {
namespace {

const std::string kSnesExample =
    "$00/8005  D0 F9        BNE $F9 [$00:8000]    A:0100 X:0000 Y:0002 D:0000 DB:7E S:01F3 "
    "P:envMXdIzc HC:1234 VC:0120 FC:00";
const std::string kDebuggerExample =
    "$00/8005 D0 F9       BNE $F9   [$00:8000]  A:0100 X:0000 Y:0002 P:envMXdIzc";

enum class TDialect { Snes, Debugger };

std::unique_ptr<TSNESTraceFileLine> Cut(TDialect dialect, TSimpleLineOwner& owner,
                                        std::string_view text, const TLogLines* log) {
  if (dialect == TDialect::Snes) return TSNESTraceFileLine::FromText(owner, text, false, log);
  return TDravikSNESTraceFileLine::FromText(owner, text, false, log);
}

// Cuts the text and checks what may come of it; also runs everything else a line offers.
void CheckLine(TDialect dialect, std::string_view text, const TLogLines* log = nullptr,
               const std::string& index = "") {
  TSimpleLineOwner owner;
  auto line = Cut(dialect, owner, text, log);
  ASSERT_EQ(line->LineText(), text);
  const std::string plain(text);
  for (const std::string& m : owner.Messages)
    EXPECT_TRUE(m == plain || m == plain + "-" + index) << "message: " << m;
  // Each unreadable number ends in a comment line.
  if (!owner.Messages.empty()) {
    EXPECT_TRUE(line->IsComment());
  }
  EXPECT_LE(line->OpcodeVal(), 256);
  EXPECT_GE(line->OpcodeVal(), 0);
  EXPECT_LE(line->OpcodeLen(), 4);

  const size_t before = owner.Messages.size();
  const std::string shown = line->DisplayText();
  line->BranchDisplacement(owner);
  for (size_t k = before; k < owner.Messages.size(); ++k) EXPECT_EQ(owner.Messages[k], shown);
  test::TRecordingWriter writer;
  line->WriteXml(writer);
  auto back = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
  EXPECT_EQ(back->LineText(), text);
  auto copy = line->Clone(owner);
  EXPECT_EQ(copy->LineText(), text);
  line->RegisterKey();
  line->TargetText();
}

TEST(TraceLineBadInput, EveryPrefixOfTheWorkedExamples) {
  for (auto [dialect, example] :
       {std::pair{TDialect::Snes, kSnesExample}, std::pair{TDialect::Debugger, kDebuggerExample}}) {
    for (size_t n = 0; n <= example.size(); ++n) {
      SCOPED_TRACE(n);
      const std::string_view prefix = std::string_view(example).substr(0, n);
      CheckLine(dialect, prefix);
      TSimpleLineOwner owner;
      auto line = Cut(dialect, owner, prefix, nullptr);
      if (n <= 10) {
        EXPECT_TRUE(line->IsComment());  // too short to be an instruction
        EXPECT_TRUE(owner.Messages.empty());
      }
      // Once the offset is there it is read; once the bracket is closed, so is the target.
      if (n >= 11 && owner.Messages.empty()) {
        EXPECT_EQ(line->Offset(), 0x008005);
      }
      if (n >= 42 && !line->IsComment()) {
        EXPECT_EQ(line->TargetOffset(), 0x008000);
      }
    }
    // The other dialect's columns must not crash either.
    const TDialect other = dialect == TDialect::Snes ? TDialect::Debugger : TDialect::Snes;
    for (size_t n = 0; n <= example.size(); ++n)
      CheckLine(other, std::string_view(example).substr(0, n));
  }
}

TEST(TraceLineBadInput, RandomBytes) {
  std::mt19937 random(20240611);
  const std::string traceAlphabet = "$0123456789ABCDEFabcdef/ []:,#()AXYDBSPHCVPTR-{}";
  for (int i = 0; i < 4000; ++i) {
    const size_t length = random() % 300;
    std::string text(length, '\0');
    const bool anyByte = i % 2 == 0;
    for (char& c : text)
      c = anyByte ? static_cast<char>(random() % 256)
                  : traceAlphabet[random() % traceAlphabet.size()];
    if (!anyByte && !text.empty()) text[0] = '$';  // reach the deeper cutting
    CheckLine(TDialect::Snes, text);
    CheckLine(TDialect::Debugger, text);
  }
}

TEST(TraceLineBadInput, ExamplesWithRandomlyDamagedCharacters) {
  std::mt19937 random(7);
  for (const std::string& example : {kSnesExample, kDebuggerExample}) {
    for (int i = 0; i < 3000; ++i) {
      std::string text = example;
      for (int k = 0; k < 3; ++k) text[random() % text.size()] = static_cast<char>(random() % 256);
      CheckLine(TDialect::Snes, text);
      CheckLine(TDialect::Debugger, text);
    }
  }
}

TEST(TraceLineBadInput, TenThousandCharacterLines) {
  const std::string many(10000, 'x');
  const std::string lines[] = {
      kSnesExample + many,
      kDebuggerExample + many,
      "$" + std::string(9999, '0'),
      "$00/8005  D0 F9        BNE $F9 [" + std::string(10000, '0'),
      "$00/8005 D0 F9       BNE $F9" + std::string(10000, ' ') + "[$00:8000]",
      "$00/8005  D0 F9        BNE " + std::string(10000, '$'),
      std::string(10000, ' ') + " A:",
      "$00/8005  D0 F9        BNE $F9 " + std::string(10000, '[') + " A:",
  };
  for (const std::string& text : lines) {
    ASSERT_GE(text.size(), 10000u);
    CheckLine(TDialect::Snes, text);
    CheckLine(TDialect::Debugger, text);
  }
  // Blanks of any number still lead to the bracket in the debugger dialect.
  TSimpleLineOwner owner;
  auto far = TDravikSNESTraceFileLine::FromText(owner, lines[4], false, nullptr);
  EXPECT_TRUE(far->HasTarget());
  EXPECT_EQ(far->TargetOffset(), 0x008000);
}

TEST(TraceLineBadInput, NonUtf8AndNulBytes) {
  using namespace std::string_literals;
  for (const std::string& example : {kSnesExample, kDebuggerExample}) {
    for (size_t at = 0; at < example.size(); ++at) {
      for (const std::string& bytes : {"\0"s, "\xFF"s, "\xC3\x28"s, "\x80\x80\x80"s}) {
        std::string text = example;
        text.replace(at, std::min(bytes.size(), text.size() - at), bytes);
        CheckLine(TDialect::Snes, text);
        CheckLine(TDialect::Debugger, text);
      }
    }
  }
  // A NUL inside a number field is an unreadable number.
  std::string text = kDebuggerExample;
  text[text.find("A:") + 3] = '\0';
  TSimpleLineOwner owner;
  auto line = TDravikSNESTraceFileLine::FromText(owner, text, false, nullptr);
  EXPECT_TRUE(line->IsComment());
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], text);
}

TEST(TraceLineBadInput, MessagesCarryTheIndexOfTheLogLine) {
  // Damaged lines cut together with their log report their index when their error escapes.
  std::mt19937 random(99);
  std::string bytes;
  std::vector<std::string> texts;
  for (int i = 0; i < 500; ++i) {
    std::string text = kDebuggerExample;
    text[9 + random() % 2] = "GZ#x"[random() % 4];  // the opcode byte
    texts.push_back(text);
    bytes += text + "\n";
  }
  TLogLines log = TLogLines::FromBytes(bytes);
  for (size_t i = 0; i < texts.size(); ++i) {
    const auto first = log.FirstIndexOf(texts[i]);
    ASSERT_TRUE(first.has_value());
    CheckLine(TDialect::Debugger, texts[i], &log, std::to_string(*first));
    TSimpleLineOwner owner;
    TDravikSNESTraceFileLine::FromText(owner, texts[i], false, &log);
    ASSERT_EQ(owner.Messages.size(), 1u);
    EXPECT_EQ(owner.Messages[0], texts[i] + "-" + std::to_string(*first));
  }
}

}  // namespace
}  // namespace orvanel
