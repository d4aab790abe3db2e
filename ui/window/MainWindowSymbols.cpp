// Symbol files in, listings and symbol files out: "Import Symbols...", "Export" > "Log File"
// and "Export" > "Map File". The model does the work; these only ask for the file.
#include "base/UserInterface.h"
#include "project/SnesProject.h"
#include "symbols/Listing.h"
#include "symbols/SymbolDialogs.h"
#include "symbols/SymbolImport.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"
#include "window/MainWindow.h"

namespace orvanel::ui {

void TForm1::ImportSymbols1Click() {
  if (!project_) return;
  TFileDialog dialog = SymbolImportDialog();
  if (!ui_.ExecuteFileDialog(dialog)) return;
  TSymbolImportResult result;
  {
    TBusyScope busy(ui_);
    result = ImportSymbols(*project_, dialog.FileName);
  }
  // A file that was not read has shown its one message already.
  if (!result.Read()) return;
  codeTree_->RepaintNodes();
  ui_.ShowMessage(SymbolImportSummary(result, dialog.FileName));
}

void TForm1::LogFile1Click() {
  if (!project_) return;
  TFileDialog dialog = ListingExportDialog();
  if (!ui_.ExecuteFileDialog(dialog)) return;
  TBusyScope busy(ui_);
  ExportListing(*project_, dialog.FileName);
}

void TForm1::MapFile1Click() {
  if (!project_) return;
  TFileDialog dialog = SymbolExportDialog();
  if (!ui_.ExecuteFileDialog(dialog)) return;
  TBusyScope busy(ui_);
  TSymbolExportResult result =
      ExportSymbols(*project_, dialog.FileName, SymbolFormatOfFilter(dialog.FilterIndex));
  ui_.ShowMessage(SymbolExportSummary(result, dialog.FileName));
}

}  // namespace orvanel::ui
