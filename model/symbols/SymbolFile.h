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

struct TSymbolEntry {
  TSymbolSpace Space = TSymbolSpace::Cpu;
  int64_t Address = 0;
  std::string Name;  // empty for a comment of its own
  std::string Comment;
  size_t Line = 0;  // 1-based line number in the file
};

enum class TSymbolFileKind {
  Sections,  // "[labels]" / "[comments]" sections of "bb:aaaa text" lines (WLA-DX, .sym)
  NoCash,    // "bbaaaaaa name"
  Ca65,      // "al 008000 .name"
  Mlb,       // "Type:address[-end]:name[:comment]"
};

struct TUnreadableLine {
  size_t Line = 0;  // 1-based
  std::string Text;
};

struct TSymbolFile {
  TSymbolFileKind Kind = TSymbolFileKind::Sections;
  std::vector<TSymbolEntry> Entries;  // in file order
  std::vector<TUnreadableLine> Unreadable;
  size_t OtherTypes = 0;  // .mlb entries of memory that is not the main processor's
};

// The kind's name as messages give it ("WLA-DX symbol file", ...).
const char* SymbolFileKindName(TSymbolFileKind kind);

// Reads symbol text. A text that holds binary data, holds no symbol line or is of no known
// kind throws EFileError with one clear message naming `fileName`.
TSymbolFile ParseSymbolText(std::string bytes, const std::string& fileName);
// The same for a file; a file that cannot be read, is no regular file or is larger than
// 256 MB throws EFileError.
TSymbolFile ReadSymbolFile(const std::string& fileName);

}  // namespace orvanel
