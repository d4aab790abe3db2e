#pragma once
// The file dialogs of the symbol commands ("Export" > "Log File", "Export" > "Map File",
// the symbol import), so that a menu handler only shows one and calls the model.
#include "base/UserInterface.h"
#include "symbols/SymbolExport.h"

namespace orvanel {

// Every format is recognised by its content; the entries only narrow what the dialog lists.
inline constexpr char kSymbolImportFilter[] =
    "Symbol Files|*.sym;*.mlb;*.lbl;*.txt|WLA-DX or asar Symbol File|*.sym|"
    "no$sns Symbol File|*.sym|ca65 Label File|*.lbl;*.txt|Label File|*.mlb|Any File|*.*";
// The entries in TSymbolFormat order: the chosen entry is the format written.
inline constexpr char kSymbolExportFilter[] =
    "WLA-DX Symbol File|*.sym|Label File|*.mlb|Symbol File with Comments|*.sym";
inline constexpr char kListingExportFilter[] = "Text File|*.txt|Any File|*.*";

inline TFileDialog SymbolImportDialog() {
  return {
      TFileDialog::Kind::Open, "Import Symbol File", kSymbolImportFilter, "sym", "", 0, "", false};
}
inline TFileDialog SymbolExportDialog() {
  return {TFileDialog::Kind::Save, "Export Map File", kSymbolExportFilter, "sym", "", 0, "", false};
}
inline TFileDialog ListingExportDialog() {
  return {
      TFileDialog::Kind::Save, "Export Log File", kListingExportFilter, "txt", "", 0, "", false};
}

// The format of the export dialog's filter entry (0-based); WLA-DX for any other index.
inline TSymbolFormat SymbolFormatOfFilter(int filterIndex) {
  if (filterIndex == 1) return TSymbolFormat::Mlb;
  if (filterIndex == 2) return TSymbolFormat::Sym;
  return TSymbolFormat::Wla;
}

}  // namespace orvanel
