#pragma once
// Takes the names of a symbol file into a project through the project's own operations:
// code addresses (executed by the trace, or in ROM) become labels, other addresses mappings
// of the Global scope, comments go to the line at their address. A name already there is
// kept, except the conversion's own "exit" labels, which a name of the file replaces.
#include <cstddef>
#include <string>
#include <vector>

#include "symbols/RomMapping.h"
#include "symbols/SymbolFile.h"

namespace orvanel {

class TProject;

struct TSymbolImportResult {
  std::string Error;  // the one message of a file that was not read; empty when it was
  TSymbolFileKind Kind = TSymbolFileKind::Sections;
  TRomMapping Mapping = TRomMapping::Guess;  // the layout used for ROM addresses
  size_t Labels = 0;                         // labels added
  size_t Mappings = 0;                       // mappings added to the Global scope
  size_t Comments = 0;                       // line comments set
  size_t ExitLabelsReplaced = 0;             // labels added where the conversion had said "exit"
  size_t SkippedLines = 0;      // unreadable lines, and entries whose address has no place
  size_t Clashes = 0;           // names or comments for an address that already had another
  size_t Duplicates = 0;        // names or comments the project already had as they are
  size_t OtherTypes = 0;        // .mlb entries of other memory, skipped
  size_t LinelessComments = 0;  // comments for an address without a line in the trace
  std::vector<std::string> IgnoredSections;  // sections of things other than names
  size_t IgnoredSectionLines = 0;            // the lines they held

  bool Read() const { return Error.empty(); }
  bool AddedAnything() const { return Labels + Mappings + Comments > 0; }
};

class TSymbolImport {
 public:
  // `mapping` chooses the ROM layout (.mlb ROM offsets, which addresses are ROM); Guess
  // takes the one the trace's executed addresses fit.
  TSymbolImport(TProject& project, TRomMapping mapping = TRomMapping::Guess);

  // Reads the file and adds what it names, as one step: a file that cannot be read, or is
  // no symbol file, shows one message and changes nothing. Unreadable lines are skipped and
  // reported (file name and line number) in one batch of messages at the end. The project
  // is marked modified only when something was added. At most kListedUnreadableLines
  // skipped lines are listed; one message counts the rest.
  TSymbolImportResult ImportFile(const std::string& fileName);
  // The same for a file already read.
  TSymbolImportResult Import(const TSymbolFile& file, const std::string& fileName);

 private:
  TProject& project_;
  TRomMapping mapping_;
};

// What the menu command calls.
TSymbolImportResult ImportSymbols(TProject& project, const std::string& file,
                                  TRomMapping mapping = TRomMapping::Guess);

// One line for the user: what was added and what was skipped.
std::string SymbolImportSummary(const TSymbolImportResult& result, const std::string& file);

}  // namespace orvanel
