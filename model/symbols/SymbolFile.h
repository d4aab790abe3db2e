#pragma once
// Reading the symbol files that assemblers and emulators write: the kind is recognised by
// the content, each line becomes an entry (an address in one of the SNES's address spaces,
// a name, a comment) or is noted as unreadable. Nothing here knows a project.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

// The address space an entry's address belongs to.
enum class TSymbolSpace : uint8_t {
  Cpu,       // a 24-bit CPU address
  PrgRom,    // an offset in the ROM file
  WorkRam,   // an offset from $7E0000
  SaveRam,   // an offset in battery-backed RAM
  Register,  // an address in bank 0
};

// A name is text a person reads: longer names and comments are refused.
inline constexpr size_t kMaxSymbolTextLength = 4096;  // characters
// Unreadable lines listed by text; the rest are only counted.
inline constexpr size_t kListedUnreadableLines = 100;

// One name or comment of the file. The texts live in the file's pool (TSymbolFile::Name,
// TSymbolFile::Comment), so a file of millions of names holds no string per entry.
struct TSymbolEntry {
  int64_t Address = 0;
  size_t Line = 0;  // 1-based line number in the file
  size_t NameAt = 0, CommentAt = 0;
  uint32_t NameSize = 0, CommentSize = 0;  // a name of size 0: a comment of its own
  TSymbolSpace Space = TSymbolSpace::Cpu;
};

enum class TSymbolFileKind {
  Sections,  // "[labels]" / "[comments]" sections of "bb:aaaa text" lines (WLA-DX, bsnes-plus)
  NoCash,    // "bbaaaaaa name" (no$sns, asar)
  NoGmb,     // "bbbb:aaaa name" without sections (wlalink; also a two-digit bank)
  Bsnes,     // "#SNES65816", "[SYMBOL]" lines "bb:aaaa name type size", "[COMMENT]"
  Ca65,      // "al 008000 .name"
  Mlb,       // "Type:address[-end]:name[:comment]" (Mesen, both generations of types)
};

struct TUnreadableLine {
  size_t Line = 0;     // 1-based
  std::string Text;    // the start of the line
  std::string Reason;  // why it was not read
};

struct TSymbolFile {
  TSymbolFileKind Kind = TSymbolFileKind::Sections;
  std::vector<TSymbolEntry> Entries;  // in file order
  std::string Pool;                   // the entries' names and comments
  // The first kListedUnreadableLines unreadable lines; UnreadableCount counts them all.
  std::vector<TUnreadableLine> Unreadable;
  size_t UnreadableCount = 0;
  size_t OtherTypes = 0;  // .mlb entries of memory that is not the main processor's
  // Sections that hold something other than names ([symbols], [breakpoints]), as written,
  // and the lines they held.
  std::vector<std::string> IgnoredSections;
  size_t IgnoredSectionLines = 0;

  std::string_view Name(const TSymbolEntry& e) const {
    return std::string_view(Pool).substr(e.NameAt, e.NameSize);
  }
  std::string_view Comment(const TSymbolEntry& e) const {
    return std::string_view(Pool).substr(e.CommentAt, e.CommentSize);
  }
};

// The kind's name as messages give it ("WLA-DX symbol file", ...).
const char* SymbolFileKindName(TSymbolFileKind kind);

// Reads symbol text (UTF-8, each line that is not UTF-8 taken as Latin-1, or UTF-16 with
// a byte order mark). A text that holds binary data, holds no symbol line or is of no known
// kind throws EFileError with one clear message naming `fileName`.
TSymbolFile ParseSymbolText(std::string bytes, const std::string& fileName);
// The same for a file; a file that cannot be read, is no regular file or is larger than
// 256 MB throws EFileError.
TSymbolFile ReadSymbolFile(const std::string& fileName);

}  // namespace orvanel
