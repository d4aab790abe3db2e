#include "LogBuilder.h"

#include <cstdio>
#include <sstream>

namespace orvanel::test {

namespace {

std::string Hex(int64_t v, int digits) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(v));
  return buffer;
}

void PadTo(std::string& s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
}

}  // namespace

std::string TLogBuilder::Bank(int64_t offset) {
  return "$" + Hex((offset >> 16) & 0xFF, 2) + ":" + Hex(offset & 0xFFFF, 4);
}

const char* TLogBuilder::Mnemonic(int opcode) {
  switch (opcode) {
    case 0x10:
      return "BPL";
    case 0x30:
      return "BMI";
    case 0x50:
      return "BVC";
    case 0x70:
      return "BVS";
    case 0x80:
      return "BRA";
    case 0x90:
      return "BCC";
    case 0xB0:
      return "BCS";
    case 0xD0:
      return "BNE";
    case 0xF0:
      return "BEQ";
    default:
      return "???";
  }
}

TLogBuilder& TLogBuilder::State(const std::string& p, int s) {
  p_ = p;
  s_ = s;
  return *this;
}

TLogBuilder& TLogBuilder::Op(int64_t offset, const std::vector<int>& bytes,
                             const std::string& mnemonic, const std::string& operand,
                             const std::string& bracket) {
  std::string byteText;
  for (int b : bytes) {
    if (!byteText.empty()) byteText += ' ';
    byteText += Hex(b, 2);
  }
  std::string s = "$" + Hex((offset >> 16) & 0xFF, 2) + "/" + Hex(offset & 0xFFFF, 4);
  if (dialect_ == Dialect::First) {
    s += "  ";  // columns 9-10
    s += byteText;
    PadTo(s, 23);  // the bytes field ends at column 21, blanks at 22-23
    s += mnemonic;
    if (!operand.empty()) s += " " + operand;
    if (!bracket.empty()) s += " [" + bracket + "]";
    PadTo(s, 44);
    s += " A:0000 X:0000 Y:0000 D:0000 DB:00 S:" + Hex(s_, 4) + " P:" + p_ +
         " HC:1234 VC:0120 FC:00";
  } else {
    s += " ";  // column 9
    s += byteText;
    PadTo(s, 21);  // the bytes field ends at column 20, a blank at 21
    s += mnemonic;
    if (!operand.empty()) s += " " + operand;
    if (!bracket.empty()) {
      PadTo(s, 30);
      s += " [" + bracket + "]";
    }
    PadTo(s, 42);
    s += " A:0000 X:0000 Y:0000 P:" + p_;
  }
  text_ += s + "\n";
  return *this;
}

TLogBuilder& TLogBuilder::Raw(const std::string& text) {
  text_ += text + "\n";
  return *this;
}

TLogBuilder& TLogBuilder::Jsr(int64_t offset, int64_t target) {
  return Op(offset, {0x20, static_cast<int>(target & 0xFF), static_cast<int>((target >> 8) & 0xFF)},
            "JSR", "$" + Hex(target & 0xFFFF, 4), Bank(target));
}

TLogBuilder& TLogBuilder::Jsl(int64_t offset, int64_t target) {
  return Op(offset,
            {0x22, static_cast<int>(target & 0xFF), static_cast<int>((target >> 8) & 0xFF),
             static_cast<int>((target >> 16) & 0xFF)},
            "JSL", "$" + Hex(target & 0xFFFFFF, 6), Bank(target));
}

TLogBuilder& TLogBuilder::Jmp(int64_t offset, int64_t target) {
  return Op(offset, {0x4C, static_cast<int>(target & 0xFF), static_cast<int>((target >> 8) & 0xFF)},
            "JMP", "$" + Hex(target & 0xFFFF, 4), Bank(target));
}

TLogBuilder& TLogBuilder::Branch(int64_t offset, int opcode, int displacement, int64_t target) {
  return Op(offset, {opcode, displacement}, Mnemonic(opcode), "$" + Hex(displacement, 2),
            Bank(target));
}

TLogBuilder& TLogBuilder::Lda(int64_t offset, int64_t address) {
  return Op(offset,
            {0xAD, static_cast<int>(address & 0xFF), static_cast<int>((address >> 8) & 0xFF)},
            "LDA", "$" + Hex(address & 0xFFFF, 4), Bank(address));
}

std::vector<std::string> TLogBuilder::Lines() const {
  std::vector<std::string> lines;
  std::istringstream in(text_);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace orvanel::test
