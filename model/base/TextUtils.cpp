#include "base/TextUtils.h"

#include <cctype>

#include "base/Errors.h"

namespace orvanel {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char ToLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string InvalidIntegerMessage(std::string_view text) {
  std::string m = "'";
  m += text;
  m += "' is not a valid integer value";
  return m;
}

std::string AttributeNumberMessage(std::string_view name, std::optional<std::string_view> text) {
  std::string m = "attribute ";
  m += name;
  if (!text) return m + " is missing";
  if (text->empty()) return m + " is empty";
  // Digits only (after a sign and "$" or "0x"): a number, but not one of 32 bits.
  std::string_view digits = *text;
  if (digits.front() == '-' || digits.front() == '+') digits.remove_prefix(1);
  bool hex = false;
  if (!digits.empty() && digits.front() == '$') {
    hex = true;
    digits.remove_prefix(1);
  } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    hex = true;
    digits.remove_prefix(2);
  }
  bool inRange = !digits.empty();
  for (char c : digits)
    if (hex ? HexDigit(c) < 0 : (c < '0' || c > '9')) inRange = false;
  constexpr size_t kShown = 40;
  m += ": '";
  m += text->substr(0, kShown);
  if (text->size() > kShown) m += "...";
  m += inRange ? "' is out of range" : "' is not a number";
  return m;
}

bool TryStrToInt(std::string_view text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;

  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    int d = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (d < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    // Hexadecimal values may use all 32 bits; decimal ones must fit a signed 32-bit value.
    if (hex ? magnitude > 0xFFFFFFFFull : magnitude > 0x80000000ull) return false;
  }

  if (hex) {
    // A hexadecimal value is a 32-bit pattern: $FFFFFFFF is -1.
    auto pattern = static_cast<uint32_t>(magnitude);
    if (negative) pattern = ~pattern + 1u;
    value = static_cast<int32_t>(pattern);
    return true;
  }
  if (!negative && magnitude > 0x7FFFFFFFull) return false;
  value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

int64_t StrToInt(std::string_view text) {
  int64_t value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError(InvalidIntegerMessage(text));
  return value;
}

std::string IntToHex(int64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  auto bits = static_cast<uint64_t>(value);
  char buffer[16];
  int n = 0;
  do {
    buffer[n++] = kDigits[bits & 0xF];
    bits >>= 4;
  } while (bits != 0 && n < 16);
  std::string out;
  if (digits > n) out.append(static_cast<size_t>(digits - n), '0');
  while (n > 0) out.push_back(buffer[--n]);
  return out;
}

std::string DollarHex(int64_t value) {
  std::string text(1, '$');
  text += IntToHex(value, 6);
  return text;
}

std::string_view CopyColumns(std::string_view text, int64_t column, int64_t count) {
  if (count <= 0) return {};
  if (column < 1) {
    count += column - 1;  // the toolkit's Copy starts at column 1 when given less
    column = 1;
    if (count <= 0) return {};
  }
  auto start = static_cast<uint64_t>(column - 1);
  if (start >= text.size()) return {};
  return text.substr(start, static_cast<size_t>(count));
}

std::string_view CopyFrom(std::string_view text, int64_t column) {
  if (column < 1) column = 1;
  auto start = static_cast<uint64_t>(column - 1);
  if (start >= text.size()) return {};
  return text.substr(start);
}

std::string_view Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  return text.substr(b, e - b);
}

std::string UpperCase(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = ToUpperAscii(c);
  return s;
}

std::string LowerCase(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = ToLowerAscii(c);
  return s;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  return true;
}

int64_t Pos(std::string_view what, std::string_view text) {
  if (what.empty()) return 0;
  size_t p = text.find(what);
  return p == std::string_view::npos ? 0 : static_cast<int64_t>(p) + 1;
}

}  // namespace orvanel
