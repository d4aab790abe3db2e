#pragma once
// Small pieces shared by the two log dialects when they cut a line into fields. Everything
// works on views into the line. The plain fields of a real log (a few hexadecimal or decimal
// digits) are read at once; every other text goes through the system's integer conversion,
// which gives plain fields the same value.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/TextUtils.h"

namespace orvanel::line_cutting {

// Value of a hexadecimal digit, or -1.
inline int HexDigitValue(char c) {
  static constexpr auto kTable = [] {
    std::array<int8_t, 256> table{};
    table.fill(-1);
    for (int d = 0; d < 10; ++d) table['0' + d] = static_cast<int8_t>(d);
    for (int d = 0; d < 6; ++d) table['a' + d] = table['A' + d] = static_cast<int8_t>(10 + d);
    return table;
  }();
  return kTable[static_cast<unsigned char>(c)];
}

// One to seven hexadecimal digits and nothing else.
inline bool PlainHex(std::string_view digits, int64_t& value) {
  if (digits.empty() || digits.size() > 7) return false;
  int64_t v = 0;
  int invalid = 0;  // a digit of -1 makes it negative; one test at the end keeps the loop short
  for (char c : digits) {
    const int d = HexDigitValue(c);
    invalid |= d;
    v = v * 16 + d;
  }
  if (invalid < 0) return false;
  value = v;
  return true;
}

// One to nine decimal digits and nothing else.
inline bool PlainDecimal(std::string_view digits, int64_t& value) {
  if (digits.empty() || digits.size() > 9) return false;
  int64_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

// The integer conversion of "$" followed by the digits.
bool ConvertDollarText(std::string_view digits, int64_t& value);

// Converts "$" followed by the text, as the integer conversion reads it.
inline bool ConvertHex(std::string_view digits, int64_t& value) {
  return PlainHex(digits, value) || ConvertDollarText(digits, value);
}

// Converts a text as the integer conversion reads it.
inline bool ConvertInteger(std::string_view text, int64_t& value) {
  if (PlainDecimal(text, value)) return true;
  if (text.size() >= 2 && text[0] == '$' && PlainHex(text.substr(1), value)) return true;
  return TryStrToInt(text, value);
}

// Trim, with the common case of a field without blanks at its ends answered at once.
inline std::string_view TrimField(std::string_view field) {
  auto solid = [](char c) { return static_cast<unsigned char>(c) > ' '; };
  if (!field.empty() && solid(field.front()) && solid(field.back())) return field;
  return Trim(field);
}

// Whether the line carries "PTR" in any letter case (a line that is no instruction).
bool ContainsPtr(std::string_view text);

// Zero-based position of the first " A:" (the start of the register block), or npos.
size_t FindRegisterBlock(std::string_view text);

// Instruction length from the trimmed bytes field: "D0" is 1 byte, "D0 F9" 2, and so on.
std::optional<uint8_t> LengthOfBytesField(std::string_view trimmed);

// MVN and MVP print their two banks as "7E 7F", blank included.
bool IsBlockMove(std::string_view mnemonic);

// The text up to, not including, the first stop character, or all of it.
inline std::string_view UpTo(std::string_view text, char stop) {
  return text.substr(0, text.find(stop));
}
inline std::string_view UpTo(std::string_view text, char stop, char otherStop) {
  size_t n = 0;
  while (n < text.size() && text[n] != stop && text[n] != otherStop) ++n;
  return text.substr(0, n);
}

// Reads the number fields of a register block at columns relative to the letter A. A field
// that does not convert gives 0 and marks the reading as failed.
class TFieldReader {
 public:
  TFieldReader(std::string_view text, int64_t columnOfA) : text_(text), a_(columnOfA) {}

  uint16_t Hex(int64_t offset, int64_t count) {
    int64_t value = 0;
    if (!ConvertHex(Field(offset, count), value)) ok_ = false;
    return static_cast<uint16_t>(value);
  }
  uint16_t Decimal(int64_t offset, int64_t count) {
    int64_t value = 0;
    if (!ConvertInteger(Field(offset, count), value)) ok_ = false;
    return static_cast<uint16_t>(value);
  }
  bool Ok() const { return ok_; }

 private:
  std::string_view Field(int64_t offset, int64_t count) const {
    return TrimField(CopyColumns(text_, a_ + offset, count));
  }
  std::string_view text_;
  int64_t a_;
  bool ok_ = true;
};

}  // namespace orvanel::line_cutting
