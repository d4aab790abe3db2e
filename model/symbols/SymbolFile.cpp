#include "symbols/SymbolFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "base/Errors.h"
#include "base/InputFile.h"
#include "base/TextUtils.h"
#include "trace/LogLines.h"

namespace orvanel {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
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
  return Trim(line);
}

// "bb:aaaa" as a CPU address (some writers give the bank four digits).
std::optional<int64_t> ParseBankAddress(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::optional<int64_t> bank = ParseHex(text.substr(0, colon), 4);
  std::optional<int64_t> address = ParseHex(text.substr(colon + 1), 4);
  if (!bank || *bank > 0xFF || !address) return std::nullopt;
  return (*bank << 16) | *address;
}

bool IsSectionHeader(std::string_view line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
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
  return word.size() == 8 && ParseHex(word, 8) && !rest.empty();
}

std::optional<TSymbolFileKind> KindOfLine(std::string_view line) {
  if (IsSectionHeader(line)) return TSymbolFileKind::Sections;
  if (LooksLikeCa65(line)) return TSymbolFileKind::Ca65;
  if (LooksLikeNoCash(line)) return TSymbolFileKind::NoCash;
  if (LooksLikeMlb(line)) return TSymbolFileKind::Mlb;
  return std::nullopt;
}

// A NUL byte, or many control characters, among the first bytes: not a text file.
bool LooksBinary(std::string_view bytes) {
  std::string_view head = bytes.substr(0, 64 * 1024);
  size_t control = 0;
  for (char c : head) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u == 0) return true;
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') ++control;
  }
  return control * 20 > head.size();
}

// One parser per kind; each reads one trimmed, non-empty line.
class TLineReader {
 public:
  TLineReader(TSymbolFile& file) : file_(file) {}

  void Read(std::string_view line, size_t number) {
    switch (file_.Kind) {
      case TSymbolFileKind::Sections:
        return ReadSections(line, number);
      case TSymbolFileKind::NoCash:
        return ReadNoCash(line, number);
      case TSymbolFileKind::Ca65:
        return ReadCa65(line, number);
      case TSymbolFileKind::Mlb:
        return ReadMlb(line, number);
    }
  }

 private:
  void Unreadable(std::string_view line, size_t number) {
    file_.Unreadable.push_back({number, std::string(line)});
  }
  void Add(TSymbolSpace space, int64_t address, std::string name, std::string comment,
           size_t number) {
    file_.Entries.push_back({space, address, std::move(name), std::move(comment), number});
  }

  void ReadSections(std::string_view line, size_t number) {
    if (IsSectionHeader(line)) {
      section_ = LowerCase(line.substr(1, line.size() - 2));
      return;
    }
    const bool labels = section_ == "labels", comments = section_ == "comments";
    if (!labels && !comments) {
      // Other sections (definitions, breakpoints, source files, ...) are not ours; only a
      // line before any section is out of place.
      if (section_.empty() && !WithoutComment(line).empty()) Unreadable(line, number);
      return;
    }
    std::string_view text = labels ? WithoutComment(line) : line;
    if (text.empty()) return;
    std::string_view rest;
    std::optional<int64_t> address = ParseBankAddress(FirstWord(text, rest));
    if (!address || rest.empty() || (labels && !IsOneWord(rest))) return Unreadable(line, number);
    if (labels)
      Add(TSymbolSpace::Cpu, *address, std::string(rest), {}, number);
    else
      Add(TSymbolSpace::Cpu, *address, {}, std::string(rest), number);
  }

  void ReadNoCash(std::string_view line, size_t number) {
    std::string_view text = WithoutComment(line);
    if (text.empty()) return;
    std::string_view rest;
    std::string_view word = FirstWord(text, rest);
    std::optional<int64_t> address = word.size() == 8 ? ParseHex(word, 8) : std::nullopt;
    if (!address || *address > 0xFFFFFF || !IsOneWord(rest)) return Unreadable(line, number);
    Add(TSymbolSpace::Cpu, *address, std::string(rest), {}, number);
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
    Add(TSymbolSpace::Cpu, *address, std::string(name), {}, number);
  }

  void ReadMlb(std::string_view line, size_t number) {
    // Type:address[-end]:name[:comment]; the comment may hold colons of its own.
    size_t first = line.find(':');
    size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) return Unreadable(line, number);
    size_t third = line.find(':', second + 1);
    std::string_view type = line.substr(0, first);
    std::string_view range = line.substr(first + 1, second - first - 1);
    std::string_view name = Trim(line.substr(
        second + 1, third == std::string_view::npos ? std::string_view::npos : third - second - 1));
    std::string_view comment =
        third == std::string_view::npos ? std::string_view() : Trim(line.substr(third + 1));
    if (size_t dash = range.find('-'); dash != std::string_view::npos) {
      if (!ParseHex(range.substr(dash + 1), 8)) return Unreadable(line, number);
      range = range.substr(0, dash);
    }
    std::optional<int64_t> address = ParseHex(range, 8);
    if (!address || (name.empty() && comment.empty()) || (!name.empty() && !IsOneWord(name)))
      return Unreadable(line, number);
    TSymbolSpace space;
    int64_t limit;
    if (type == "SnesPrgRom") {
      space = TSymbolSpace::PrgRom, limit = 0x800000;
    } else if (type == "SnesWorkRam") {
      space = TSymbolSpace::WorkRam, limit = 0x20000;
    } else if (type == "SnesSaveRam") {
      space = TSymbolSpace::SaveRam, limit = 0x100000;
    } else if (type == "SnesRegister") {
      space = TSymbolSpace::Register, limit = 0x10000;
    } else {
      ++file_.OtherTypes;
      return;
    }
    if (*address >= limit) return Unreadable(line, number);
    Add(space, *address, std::string(name), std::string(comment), number);
  }

  TSymbolFile& file_;
  std::string section_;  // lower case; empty before the first section
};

}  // namespace

const char* SymbolFileKindName(TSymbolFileKind kind) {
  switch (kind) {
    case TSymbolFileKind::Sections:
      return "symbol file with sections";
    case TSymbolFileKind::NoCash:
      return "no$sns symbol file";
    case TSymbolFileKind::Ca65:
      return "ca65 label file";
    case TSymbolFileKind::Mlb:
      return ".mlb label file";
  }
  return "";
}

TSymbolFile ParseSymbolText(std::string bytes, const std::string& fileName) {
  const std::string quoted = "\"" + fileName + "\"";
  if (LooksBinary(bytes)) throw EFileError(quoted + " is not a symbol file: it holds binary data");
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);  // a UTF-8 byte order mark
  TLogLines lines = TLogLines::FromBytes(std::move(bytes));
  TSymbolFile file;
  std::optional<TSymbolFileKind> kind;
  size_t start = 0;
  for (; start < lines.Count() && !kind; ++start) {
    std::string_view line = Trim(lines[start]);
    if (line.empty() || line.front() == ';') continue;
    kind = KindOfLine(line);
    if (!kind)
      throw EFileError(quoted +
                       " is not a symbol file of a known kind (WLA-DX or asar, no$sns, ca65, "
                       ".sym or .mlb): line " +
                       std::to_string(start + 1) + " is \"" + std::string(line.substr(0, 60)) +
                       "\"");
  }
  if (!kind) throw EFileError(quoted + " holds no symbols: it is empty");
  file.Kind = *kind;
  TLineReader reader(file);
  for (size_t i = start - 1; i < lines.Count(); ++i) {
    std::string_view line = Trim(lines[i]);
    if (line.empty() || line.front() == ';') continue;
    reader.Read(line, i + 1);
  }
  return file;
}

TSymbolFile ReadSymbolFile(const std::string& fileName) {
  return ParseSymbolText(ReadInputFile(fileName, kSymbolFileSizeLimit), fileName);
}

}  // namespace orvanel
