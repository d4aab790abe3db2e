#pragma once
// What the batch converter does with symbols: imports after a conversion, and the listing
// and symbol exports of a saved project.
#include <string>
#include <vector>

#include "project/ProjectSession.h"
#include "symbols/RomMapping.h"
#include "symbols/SymbolExport.h"

namespace orvanel {

// ConvertLogToProject with the symbol files imported, in order, after the conversion and
// before the save; each import's summary goes to the user interface. `failedFiles` counts the
// symbol files that could not be read (missing, binary, of no known kind); the project is
// saved all the same, so nothing converted is lost.
bool ConvertLogWithSymbols(TConvertOptions options, const std::vector<std::string>& symbolFiles,
                           TRomMapping mapping, TUserInterface& ui, size_t& failedFiles);

// Opens the project as "Open Project" does and writes its listing. Throws on any file error.
void ExportProjectListing(const std::string& projectFile, const std::string& listingFile,
                          TUserInterface& ui, const std::string& programDir);

// Opens the project and writes its symbols in the format. Throws on any file error.
TSymbolExportResult ExportProjectSymbols(const std::string& projectFile,
                                         const std::string& symbolFile, TSymbolFormat format,
                                         TRomMapping mapping, TUserInterface& ui,
                                         const std::string& programDir);

}  // namespace orvanel
