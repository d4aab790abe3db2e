#include "symbols/SymbolFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "base/Errors.h"
#include "base/InputFile.h"
#include "base/TextUtils.h"
#include "base/Utf8.h"

namespace orvanel {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
  if (c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

// A run of 1 to `maxDigits` hexadecimal digits that is the whole text.
std::optional<int64_t> ParseHex(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (!IsHexDigit(c)) return std::nullopt;
    value = value * 16 + HexValue(c);
  }
  return value;
}

// Without blanks at its ends; control characters stay, so that a name holding one is
// refused rather than shortened.
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The text up to the first blank, and what follows the blanks after it.
std::string_view FirstWord(std::string_view text, std::string_view& rest) {
  size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  size_t next = end;
  while (next < text.size() && IsBlank(text[next])) ++next;
  rest = text.substr(next);
  return text.substr(0, end);
}

// A single word, the only thing left on the line.
bool IsOneWord(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (IsBlank(c)) return false;
  return true;
}

// The text before a ";" comment, without blanks at its ends.
std::string_view WithoutComment(std::string_view line) {
  if (size_t semicolon = line.find(';'); semicolon != std::string_view::npos)
    line = line.substr(0, semicolon);
  return TrimBlanks(line);
}

// "bb:aaaa" as a CPU address (wlalink gives the bank four digits).
std::optional<int64_t> ParseBankAddress(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::optional<int64_t> bank = ParseHex(text.substr(0, colon), 4);
  std::optional<int64_t> address = ParseHex(text.substr(colon + 1), 4);
  if (!bank || *bank > 0xFF || !address) return std::nullopt;
  return (*bank << 16) | *address;
}

// "bbaaaaaa" (eight digits, the bank in the upper four) or "bbbb:aaaa".
std::optional<int64_t> ParseNoCashAddress(std::string_view text) {
  if (text.size() == 8) {
    std::optional<int64_t> value = ParseHex(text, 8);
    if (value && *value <= 0xFFFFFF) return value;
    return std::nullopt;
  }
  return ParseBankAddress(text);
}

bool IsSectionHeader(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool IsBsnesHeader(std::string_view line) {
  return SameText(line, "#SNES65816");
}

bool LooksLikeMlb(std::string_view line) {
  size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;
  for (char c : line.substr(0, colon))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return colon + 1 < line.size() && IsHexDigit(line[colon + 1]);
}

bool LooksLikeCa65(std::string_view line) {
  return line.size() > 3 && line.substr(0, 2) == "al" && IsBlank(line[2]);
}

bool LooksLikeNoCash(std::string_view line) {
  std::string_view rest;
  std::string_view word = FirstWord(line, rest);
  return word.size() == 8 && ParseNoCashAddress(word) && !rest.empty();
}

// "bbbb:aaaa name" (or a two-digit bank): no .mlb type is a hexadecimal number.
bool LooksLikeBankAddressLine(std::string_view line) {
  std::string_view rest;
  return ParseBankAddress(FirstWord(line, rest)) && !rest.empty();
}

std::optional<TSymbolFileKind> KindOfLine(std::string_view line) {
  if (IsBsnesHeader(line)) return TSymbolFileKind::Bsnes;
  if (IsSectionHeader(line)) return TSymbolFileKind::Sections;
  if (LooksLikeCa65(line)) return TSymbolFileKind::Ca65;
  if (LooksLikeNoCash(line)) return TSymbolFileKind::NoCash;
  if (LooksLikeBankAddressLine(line)) return TSymbolFileKind::NoGmb;
  if (LooksLikeMlb(line)) return TSymbolFileKind::Mlb;
  return std::nullopt;
}

// Many control characters among the first bytes: not a text file. A stray NUL or two is a
// bad line, not a reason to refuse the whole file.
bool LooksBinary(std::string_view text) {
  std::string_view head = text.substr(0, 64 * 1024);
  size_t control = 0;
  for (char c : head)
    if (IsControl(c) && c != '\t' && c != '\n' && c != '\r' && c != '\f') ++control;
  return control * 20 > head.size();
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16 text after its byte order mark, as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit = [&](size_t i) -> uint32_t {
    const auto a = static_cast<unsigned char>(bytes[i]),
               b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return out;
}

size_t CharacterCount(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

// The start of a long line for a message, not cut inside a UTF-8 character.
std::string Shortened(std::string_view text) {
  constexpr size_t kShown = 80;
  if (text.size() <= kShown) return std::string(text);
  size_t end = kShown;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "...";
}

constexpr const char* kNotASymbolLine = "not a symbol line";

// One parser per kind; each reads one line without blanks at its ends, neither empty nor a
// ";" comment line.
class TLineReader {
 public:
  explicit TLineReader(TSymbolFile& file) : file_(file) {}

  void Read(std::string_view line, size_t number) {
    switch (file_.Kind) {
      case TSymbolFileKind::Sections:
      case TSymbolFileKind::Bsnes:
        return ReadSections(line, number);
      case TSymbolFileKind::NoCash:
      case TSymbolFileKind::NoGmb:
        return ReadNoCash(line, number);
      case TSymbolFileKind::Ca65:
        return ReadCa65(line, number);
      case TSymbolFileKind::Mlb:
        return ReadMlb(line, number);
    }
  }

 private:
  void Unreadable(std::string_view line, size_t number, const char* reason = kNotASymbolLine) {
    if (file_.UnreadableCount++ < kListedUnreadableLines)
      file_.Unreadable.push_back({number, Shortened(line), reason});
  }

  // A name is one word of printable characters, a comment printable text (line breaks
  // allowed); both at most kMaxSymbolTextLength characters.
  void Add(std::string_view line, size_t number, TSymbolSpace space, int64_t address,
           std::string_view name, std::string_view comment) {
    for (char c : name)
      if (IsControl(c)) return Unreadable(line, number, "the name holds a control character");
    for (char c : comment)
      if (IsControl(c) && c != '\n' && c != '\t')
        return Unreadable(line, number, "the comment holds a control character");
    if (CharacterCount(name) > kMaxSymbolTextLength)
      return Unreadable(line, number, "the name is longer than 4,096 characters");
    if (CharacterCount(comment) > kMaxSymbolTextLength)
      return Unreadable(line, number, "the comment is longer than 4,096 characters");
    TSymbolEntry entry;
    entry.Space = space;
    entry.Address = address;
    entry.Line = number;
    entry.NameAt = file_.Pool.size();
    entry.NameSize = static_cast<uint32_t>(name.size());
    file_.Pool += name;
    entry.CommentAt = file_.Pool.size();
    entry.CommentSize = static_cast<uint32_t>(comment.size());
    file_.Pool += comment;
    file_.Entries.push_back(entry);
  }

  enum class TSection { None, Names, Symbols, Comments, Ignored, Other };

  static TSection SectionOf(const std::string& lowerName) {
    if (lowerName == "labels") return TSection::Names;
    if (lowerName == "symbol") return TSection::Symbols;  // bsnes: "name type size"
    if (lowerName == "comments" || lowerName == "comment") return TSection::Comments;
    if (lowerName == "symbols" || lowerName == "breakpoints") return TSection::Ignored;
    return TSection::Other;  // definitions, source files, checksums: nothing to name
  }

  void ReadSections(std::string_view line, size_t number) {
    if (line.front() == '#') return;  // bsnes's header and remarks
    if (IsSectionHeader(line)) {
      section_ = SectionOf(LowerCase(line.substr(1, line.size() - 2)));
      if (section_ == TSection::Ignored) file_.IgnoredSections.emplace_back(line);
      return;
    }
    switch (section_) {
      case TSection::None:
        if (!WithoutComment(line).empty()) Unreadable(line, number);
        return;
      case TSection::Ignored:
        ++file_.IgnoredSectionLines;
        return;
      case TSection::Other:
        return;
      case TSection::Names:
      case TSection::Symbols:
      case TSection::Comments:
        break;
    }
    const bool comments = section_ == TSection::Comments;
    std::string_view text = comments ? line : WithoutComment(line);
    if (text.empty()) return;
    std::string_view rest;
    std::optional<int64_t> address = ParseBankAddress(FirstWord(text, rest));
    if (section_ == TSection::Symbols) {
      std::string_view ignored;
      rest = FirstWord(rest, ignored);  // the type and size that follow are not ours
    }
    if (!address || rest.empty() || (!comments && !IsOneWord(rest)))
      return Unreadable(line, number);
    if (comments)
      Add(line, number, TSymbolSpace::Cpu, *address, {}, rest);
    else
      Add(line, number, TSymbolSpace::Cpu, *address, rest, {});
  }

  void ReadNoCash(std::string_view line, size_t number) {
    std::string_view text = WithoutComment(line);
    if (text.empty()) return;
    std::string_view rest;
    std::optional<int64_t> address = ParseNoCashAddress(FirstWord(text, rest));
    if (!address || !IsOneWord(rest)) return Unreadable(line, number);
    Add(line, number, TSymbolSpace::Cpu, *address, rest, {});
  }

  void ReadCa65(std::string_view line, size_t number) {
    std::string_view text = WithoutComment(line);
    if (text.empty()) return;
    std::string_view rest, name;
    std::string_view tag = FirstWord(text, rest);
    std::optional<int64_t> address = ParseHex(FirstWord(rest, name), 6);
    if (tag != "al" || !address || !IsOneWord(name)) return Unreadable(line, number);
    if (name.front() == '.') name.remove_prefix(1);
    if (name.empty()) return Unreadable(line, number);
    Add(line, number, TSymbolSpace::Cpu, *address, name, {});
  }

  struct TMlbType {
    const char* Name;
    TSymbolSpace Space;
    int64_t Limit;
  };
  // The types of Mesen 2 and the shorter ones of the Mesen before it, which Mesen 2 reads.
  static constexpr TMlbType kMlbTypes[] = {
      {"SnesPrgRom", TSymbolSpace::PrgRom, 0x800000},    {"PRG", TSymbolSpace::PrgRom, 0x800000},
      {"SnesWorkRam", TSymbolSpace::WorkRam, 0x20000},   {"WORK", TSymbolSpace::WorkRam, 0x20000},
      {"SnesSaveRam", TSymbolSpace::SaveRam, 0x100000},  {"SAVE", TSymbolSpace::SaveRam, 0x100000},
      {"SnesRegister", TSymbolSpace::Register, 0x10000}, {"REG", TSymbolSpace::Register, 0x10000},
  };

  // Mesen writes a line break of a comment as "\n".
  static std::string_view Unescaped(std::string_view comment, std::string& buffer) {
    if (comment.find("\\n") == std::string_view::npos) return comment;
    buffer.clear();
    for (size_t i = 0; i < comment.size(); ++i) {
      if (comment[i] == '\\' && i + 1 < comment.size() && comment[i + 1] == 'n') {
        buffer += '\n';
        ++i;
      } else {
        buffer += comment[i];
      }
    }
    return buffer;
  }

  void ReadMlb(std::string_view line, size_t number) {
    // Type:address[-end]:name[:comment]; the comment may hold colons of its own.
    size_t first = line.find(':');
    size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) return Unreadable(line, number);
    size_t third = line.find(':', second + 1);
    std::string_view type = line.substr(0, first);
    std::string_view range = line.substr(first + 1, second - first - 1);
    std::string_view name = TrimBlanks(line.substr(
        second + 1, third == std::string_view::npos ? std::string_view::npos : third - second - 1));
    std::string_view comment =
        third == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(third + 1));
    if (size_t dash = range.find('-'); dash != std::string_view::npos) {
      if (!ParseHex(range.substr(dash + 1), 8)) return Unreadable(line, number);
      range = range.substr(0, dash);
    }
    std::optional<int64_t> address = ParseHex(range, 8);
    if (!address || (name.empty() && comment.empty()) || (!name.empty() && !IsOneWord(name)))
      return Unreadable(line, number);
    const TMlbType* known = nullptr;
    for (const TMlbType& t : kMlbTypes)
      if (type == t.Name) known = &t;
    if (!known) {
      ++file_.OtherTypes;
      return;
    }
    if (*address >= known->Limit) return Unreadable(line, number);
    Add(line, number, known->Space, *address, name, Unescaped(comment, unescaped_));
  }

  TSymbolFile& file_;
  TSection section_ = TSection::None;
  std::string unescaped_;
};

// Calls fn(line, number) for each line of the text (split at CR LF, CR or LF), each line
// taken as UTF-8 when it is, else as Latin-1.
template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  std::string converted;
  size_t number = 0, start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!IsValidUtf8(line)) {
      converted = Latin1ToUtf8(line);
      line = converted;
    }
    if (!fn(line, ++number)) return;
    start = end + 1;
    if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n')
      ++start;
  }
}

// Blank lines and ";" comment lines carry nothing; an end-of-file mark of old editors neither.
std::string_view Meaningful(std::string_view line) {
  line = TrimBlanks(line);
  if (!line.empty() && line.back() == '\x1A') line = TrimBlanks(line.substr(0, line.size() - 1));
  if (!line.empty() && line.front() == ';') return {};
  return line;
}

}  // namespace

const char* SymbolFileKindName(TSymbolFileKind kind) {
  switch (kind) {
    case TSymbolFileKind::Sections:
      return "symbol file with sections";
    case TSymbolFileKind::NoCash:
      return "no$sns symbol file";
    case TSymbolFileKind::NoGmb:
      return "no$gmb symbol file";
    case TSymbolFileKind::Bsnes:
      return "bsnes symbol file";
    case TSymbolFileKind::Ca65:
      return "ca65 label file";
    case TSymbolFileKind::Mlb:
      return ".mlb label file";
  }
  return "";
}

TSymbolFile ParseSymbolText(std::string bytes, const std::string& fileName) {
  const std::string quoted = "\"" + fileName + "\"";
  if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)
    bytes = Utf16ToUtf8(std::string_view(bytes).substr(2), bytes[0] == '\xFE');
  else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    bytes.erase(0, 3);  // a UTF-8 byte order mark
  if (LooksBinary(bytes)) throw EFileError(quoted + " is not a symbol file: it holds binary data");

  TSymbolFile file;
  std::optional<TSymbolFileKind> kind;
  ForEachLine(bytes, [&](std::string_view raw, size_t number) {
    std::string_view line = Meaningful(raw);
    if (line.empty()) return true;
    kind = KindOfLine(line);
    if (!kind)
      throw EFileError(quoted +
                       " is not a symbol file of a known kind (WLA-DX or asar, no$sns, wlalink, "
                       "bsnes, ca65, .sym or .mlb): line " +
                       std::to_string(number) + " is \"" + Shortened(line) + "\"");
    return false;
  });
  if (!kind) throw EFileError(quoted + " holds no symbols: it is empty");
  file.Kind = *kind;
  // Room for the most the text can hold: pages never written stay out of memory, and
  // nothing is copied as the lists grow.
  file.Entries.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  file.Pool.reserve(bytes.size());
  TLineReader reader(file);
  ForEachLine(bytes, [&](std::string_view raw, size_t number) {
    if (std::string_view line = Meaningful(raw); !line.empty()) reader.Read(line, number);
    return true;
  });
  return file;
}

TSymbolFile ReadSymbolFile(const std::string& fileName) {
  return ParseSymbolText(ReadInputFile(fileName, kSymbolFileSizeLimit), fileName);
}

}  // namespace orvanel
