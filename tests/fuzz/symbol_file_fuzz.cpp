// Symbol file: imported into a project with a converted log (every kind is recognised by
// its content, so one target serves them all). Whatever was imported must export in each
// format and read back into a fresh project without a skipped line and with no name lost.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "symbols/SymbolExport.h"
#include "symbols/SymbolImport.h"

using namespace orvanel;
using namespace orvanel::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = ScratchPath("input.sym");
  WriteScratchFile(file, data, size);

  TSilentUserInterface ui;
  std::unique_ptr<TSNESProject> project = MakeProject(1, ui, true);
  TSymbolImportResult imported = ImportSymbols(*project, file);
  if (!imported.Read()) {
    if (imported.AddedAnything()) Finding("a refused symbol file changed the project");
    return 0;
  }
  for (TSymbolFormat format : {TSymbolFormat::Wla, TSymbolFormat::Mlb, TSymbolFormat::Sym}) {
    const std::string written = ScratchPath("written.sym");
    TSymbolExportResult exported = ExportSymbols(*project, written, format);
    std::unique_ptr<TSNESProject> copy = MakeProject(1, ui, true);
    TSymbolImportResult back = ImportSymbols(*copy, written);
    const size_t names = exported.Labels + exported.Mappings;
    if (names == 0 && exported.Comments == 0) continue;  // an empty file is refused
    if (!back.Read()) Finding("an exported symbol file does not read back: " + back.Error);
    if (back.SkippedLines != 0)
      Finding("an exported symbol file reads back with " + std::to_string(back.SkippedLines) +
              " skipped lines");
    if (back.Labels + back.Mappings + back.Duplicates + back.Clashes < names)
      Finding("an exported symbol file lost names");
  }
  return 0;
}
