#include "trace/LineCutting.h"

#include <cstring>
#include <string>

namespace orvanel::line_cutting {

bool ConvertDollarText(std::string_view digits, int64_t& value) {
  std::string text(1, '$');
  text += digits;
  return TryStrToInt(text, value);
}

bool ContainsPtr(std::string_view text) {
  if (text.size() < 3) return false;
  // Clearing bit 5 folds exactly the ASCII lower-case letters onto the upper-case ones.
  auto is = [](char c, char upper) { return (static_cast<unsigned char>(c) & 0xDF) == upper; };
  // The T is rare in a log line, so look for it first; it stands between P and R.
  for (char t : {'T', 't'}) {
    size_t from = 1;
    while (from + 1 < text.size()) {
      const void* hit = std::memchr(text.data() + from, t, text.size() - 1 - from);
      if (hit == nullptr) break;
      const auto i = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
      if (is(text[i - 1], 'P') && is(text[i + 1], 'R')) return true;
      from = i + 1;
    }
  }
  return false;
}

// A line has few colons and many blanks: look for the colons.
size_t FindRegisterBlock(std::string_view text) {
  size_t from = 2;
  while (from < text.size()) {
    const void* hit = std::memchr(text.data() + from, ':', text.size() - from);
    if (hit == nullptr) break;
    const auto i = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
    if (text[i - 1] == 'A' && text[i - 2] == ' ') return i - 2;
    from = i + 1;
  }
  return std::string_view::npos;
}

std::optional<uint8_t> LengthOfBytesField(std::string_view trimmed) {
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

bool IsBlockMove(std::string_view mnemonic) {
  if (mnemonic.size() != 3 || (mnemonic[0] != 'M' && mnemonic[0] != 'm')) return false;
  return SameText(mnemonic, "MVN") || SameText(mnemonic, "MVP");
}

}  // namespace orvanel::line_cutting
