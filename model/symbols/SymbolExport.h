#pragma once
// The project's labels and mappings written as a symbol file for other tools
// ("Export" > "Map File").
#include <cstddef>
#include <string>

#include "symbols/RomMapping.h"

namespace orvanel {

class TProject;

enum class TSymbolFormat {
  Wla,  // WLA-DX symbol file: "[labels]" with "bb:aaaa name"
  Mlb,  // .mlb: "Type:offset:name[:comment]", ROM by file offset
  Sym,  // .sym with "[labels]" and "[comments]"
};

struct TSymbolExportResult {
  TRomMapping Mapping = TRomMapping::Guess;  // the layout used for ROM offsets (.mlb)
  size_t Labels = 0;
  size_t Mappings = 0;
  size_t Comments = 0;
  // Names no symbol file can hold: empty names, operand texts such as #$12, and (.mlb)
  // addresses of no memory type it knows.
  size_t Skipped = 0;
  size_t ExitLabels = 0;  // the conversion's "exit" labels, left out
  // (.mlb) names of an address whose ROM or RAM offset a mirror's names hold already: the
  // format has one place per offset, and the address a reader takes for it keeps it.
  size_t MirrorsDropped = 0;
  std::string FirstMirrorDropped;  // "name at $808003" of the first of them
};

// Writes the labels (but the conversion's "exit" labels) and the mappings of every scope,
// each name once per address, in address order (a label before a mapping of the same
// address). Blanks, control characters and the format's comment or field separator in
// names become "_", and comments lose blanks at their ends, so that the file reads back as
// it was written. Written to a temporary file renamed over the target; throws EFileError.
TSymbolExportResult ExportSymbols(TProject& project, const std::string& fileName,
                                  TSymbolFormat format, TRomMapping mapping = TRomMapping::Guess);

// One line for the user: what was written, what was left out and why.
std::string SymbolExportSummary(const TSymbolExportResult& result, const std::string& file);

}  // namespace orvanel
