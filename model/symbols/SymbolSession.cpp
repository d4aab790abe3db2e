#include "symbols/SymbolSession.h"

#include "symbols/Listing.h"
#include "symbols/SymbolImport.h"

namespace orvanel {

bool ConvertLogWithSymbols(TConvertOptions options, const std::vector<std::string>& symbolFiles,
                           TRomMapping mapping, TUserInterface& ui, size_t& failedFiles) {
  failedFiles = 0;
  if (!symbolFiles.empty()) {
    options.BeforeSave = [&, before = options.BeforeSave](TSNESProject& project) {
      if (before) before(project);
      for (const std::string& file : symbolFiles) {
        TSymbolImportResult result = ImportSymbols(project, file, mapping);
        if (result.Read())
          ui.ShowMessage(SymbolImportSummary(result, file));
        else
          ++failedFiles;
      }
    };
  }
  return ConvertLogToProject(options, ui);
}

void ExportProjectListing(const std::string& projectFile, const std::string& listingFile,
                          TUserInterface& ui, const std::string& programDir) {
  auto project = OpenProject(projectFile, ui, programDir);
  ExportListing(*project, listingFile);
}

TSymbolExportResult ExportProjectSymbols(const std::string& projectFile,
                                         const std::string& symbolFile, TSymbolFormat format,
                                         TRomMapping mapping, TUserInterface& ui,
                                         const std::string& programDir) {
  auto project = OpenProject(projectFile, ui, programDir);
  TSymbolExportResult result = ExportSymbols(*project, symbolFile, format, mapping);
  ui.ShowMessage(SymbolExportSummary(result, symbolFile));
  return result;
}

}  // namespace orvanel
