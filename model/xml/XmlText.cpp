#include "xml/XmlText.h"

#include <libxml/tree.h>

#include <array>
#include <cstdint>

#include "xml/Xml.h"

namespace orvanel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// What a byte needs: nothing, an entity in attribute values, a replacement (control
// characters), or a look at the whole UTF-8 sequence it starts.
enum TByteKind : uint8_t { kPlain, kMarkup, kControl, kMultiByte };

constexpr std::array<TByteKind, 256> MakeByteKinds() {
  std::array<TByteKind, 256> kinds{};
  for (int b = 0; b < 256; ++b) {
    if (b >= 0x80) {
      kinds[b] = kMultiByte;
    } else if (b == '\t' || b == '\n' || b == '\r' || b == '&' || b == '<' || b == '>' ||
               b == '"') {
      kinds[b] = kMarkup;
    } else if (b < 0x20) {
      kinds[b] = kControl;
    } else {
      kinds[b] = kPlain;
    }
  }
  return kinds;
}
constexpr std::array<TByteKind, 256> kByteKinds = MakeByteKinds();

// Length of the UTF-8 sequence at text[i] when it encodes a character XML 1.0 can hold
// (no overlong forms, surrogates, U+FFFE, U+FFFF or values past U+10FFFF), else 0.
size_t MultiByteCharLength(std::string_view text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (length == 3 && code < 0x800) return 0;
  if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return 0;
  if ((code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF) return 0;
  return length;
}

std::string_view AttributeEntity(unsigned char c) {
  switch (c) {
    case '\t':
      return "&#9;";
    case '\n':
      return "&#10;";
    case '\r':
      return "&#13;";
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    default:
      return "&quot;";
  }
}

// Copies runs of bytes that need nothing in one go; only the bytes that need something
// are looked at one by one.
template <bool kAttribute>
void AppendText(std::string& out, std::string_view text) {
  size_t runStart = 0;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    TByteKind kind = kByteKinds[c];
    if (kind == kPlain || (kind == kMarkup && !kAttribute)) {
      ++i;
      continue;
    }
    if (kind == kMultiByte) {
      if (size_t length = MultiByteCharLength(text, i)) {
        i += length;
        continue;
      }
    }
    out.append(text.data() + runStart, i - runStart);
    out += kind == kMarkup ? AttributeEntity(c) : kReplacement;
    runStart = ++i;
  }
  out.append(text.data() + runStart, i - runStart);
}

bool IsAsciiNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
}

bool IsAsciiNameChar(unsigned char c) {
  return IsAsciiNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

}  // namespace

std::string XmlSafeText(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  xmltext::AppendSafe(safe, text);
  return safe;
}

namespace xmltext {

void AppendSafe(std::string& out, std::string_view text) {
  AppendText<false>(out, text);
}

void AppendAttributeValue(std::string& out, std::string_view text) {
  AppendText<true>(out, text);
}

bool IsName(std::string_view name) {
  if (name.empty()) return false;
  bool ascii = IsAsciiNameStart(static_cast<unsigned char>(name[0]));
  for (size_t i = 1; ascii && i < name.size(); ++i) {
    ascii = IsAsciiNameChar(static_cast<unsigned char>(name[i]));
  }
  if (ascii) return true;
  // Names with letters beyond ASCII: libxml2 knows the XML name character classes.
  std::string safe = XmlSafeText(name);
  if (safe != name) return false;
  return xmlValidateName(reinterpret_cast<const xmlChar*>(safe.c_str()), 0) == 0;
}

}  // namespace xmltext

}  // namespace orvanel
