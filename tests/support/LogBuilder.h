#pragma once
// Writes trace log lines of either dialect, column for column, for tests.
#include <cstdint>
#include <string>
#include <vector>

namespace orvanel::test {

class TLogBuilder {
 public:
  enum class Dialect { First, Debugger };
  explicit TLogBuilder(Dialect dialect = Dialect::First) : dialect_(dialect) {}

  // One instruction line: bytes, mnemonic, operand (may be empty), bracket text without the
  // brackets (may be empty), for example "$00:9000".
  TLogBuilder& Op(int64_t offset, const std::vector<int>& bytes, const std::string& mnemonic,
                  const std::string& operand = "", const std::string& bracket = "");
  TLogBuilder& Raw(const std::string& text);  // any line as it stands
  // The status text (envMXdizc) and stack pointer of the lines that follow; the debugger
  // dialect records no S.
  TLogBuilder& State(const std::string& p, int s);

  TLogBuilder& Nop(int64_t offset) { return Op(offset, {0xEA}, "NOP"); }
  TLogBuilder& Wai(int64_t offset) { return Op(offset, {0xCB}, "WAI"); }
  TLogBuilder& Rts(int64_t offset) { return Op(offset, {0x60}, "RTS"); }
  TLogBuilder& Rtl(int64_t offset) { return Op(offset, {0x6B}, "RTL"); }
  TLogBuilder& Rti(int64_t offset) { return Op(offset, {0x40}, "RTI"); }
  TLogBuilder& Jsr(int64_t offset, int64_t target);
  TLogBuilder& Jsl(int64_t offset, int64_t target);
  TLogBuilder& Jmp(int64_t offset, int64_t target);
  // A branch with its displacement byte and the bracketed target.
  TLogBuilder& Branch(int64_t offset, int opcode, int displacement, int64_t target);
  TLogBuilder& Lda(int64_t offset, int64_t address);  // LDA absolute with its data bracket

  const std::string& Text() const { return text_; }
  std::vector<std::string> Lines() const;

  static std::string Bank(int64_t offset);  // "$00:9000"
  static const char* Mnemonic(int opcode);

 private:
  Dialect dialect_;
  std::string text_;
  std::string p_ = "envMXdizc";
  int s_ = 0x01FF;
};

}  // namespace orvanel::test
