#pragma once
// Small pieces shared by the two log dialects when they cut a line into fields. Everything
// works on views into the line; a number field is converted from a stack buffer.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "TextUtils.h"

namespace orvanel::line_cutting {

// Converts "$" followed by the text, as the integer conversion reads it.
inline bool ConvertHex(std::string_view digits, int64_t& value) {
  char buffer[32];
  if (digits.size() + 1 > sizeof buffer) return TryStrToInt("$" + std::string(digits), value);
  buffer[0] = '$';
  digits.copy(buffer + 1, digits.size());
  return TryStrToInt(std::string_view(buffer, digits.size() + 1), value);
}

// Whether the line carries "PTR" in any letter case (a line that is no instruction).
inline bool ContainsPtr(std::string_view text) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
  for (size_t i = 0; i + 3 <= text.size(); ++i)
    if (upper(text[i]) == 'P' && upper(text[i + 1]) == 'T' && upper(text[i + 2]) == 'R')
      return true;
  return false;
}

// Instruction length from the trimmed bytes field: "D0" is 1 byte, "D0 F9" 2, and so on.
inline std::optional<uint8_t> LengthOfBytesField(std::string_view trimmed) {
  switch (trimmed.size()) {
    case 2:
      return 1;
    case 5:
      return 2;
    case 8:
      return 3;
    case 11:
      return 4;
    default:
      return std::nullopt;
  }
}

// MVN and MVP print their two banks as "7E 7F", blank included.
inline bool IsBlockMove(std::string_view mnemonic) {
  return SameText(mnemonic, "MVN") || SameText(mnemonic, "MVP");
}

// The text up to, not including, the first of the stop characters, or all of it.
inline std::string_view UpToAny(std::string_view text, std::string_view stops) {
  return text.substr(0, text.find_first_of(stops));
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
    if (!TryStrToInt(Field(offset, count), value)) ok_ = false;
    return static_cast<uint16_t>(value);
  }
  bool Ok() const { return ok_; }

 private:
  std::string_view Field(int64_t offset, int64_t count) const {
    return Trim(CopyColumns(text_, a_ + offset, count));
  }
  std::string_view text_;
  int64_t a_;
  bool ok_ = true;
};

}  // namespace orvanel::line_cutting
