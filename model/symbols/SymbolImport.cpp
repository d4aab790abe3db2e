#include "symbols/SymbolImport.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/Errors.h"
#include "base/MessageLog.h"
#include "base/TextUtils.h"
#include "project/Project.h"

namespace orvanel {

namespace {

// What one file adds, collected first and handed to the project in one batch each.
struct TPendingNames {
  std::unordered_map<int64_t, const std::string*> labelAt, mappingAt;
  std::vector<TNamedAddress> labels, mappings;
  std::vector<TMappingNode*> exitLabels;  // the conversion's labels that names replace
};

// The start of a long line for a message, not cut inside a UTF-8 character.
std::string Shortened(const std::string& text) {
  constexpr size_t kShown = 80;
  if (text.size() <= kShown) return text;
  size_t end = kShown;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

// Characters of UTF-8 text, as the comment box counts them.
size_t CharacterCount(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Counted(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

TSymbolImport::TSymbolImport(TProject& project, TRomMapping mapping)
    : project_(project), mapping_(mapping) {}

TSymbolImportResult TSymbolImport::ImportFile(const std::string& fileName) {
  TSymbolFile file;
  try {
    file = ReadSymbolFile(fileName);
  } catch (const EOrvanelError& e) {
    TSymbolImportResult result;
    result.Error = e.what();
    project_.UI().ShowMessage(result.Error);
    return result;
  }
  return Import(file, fileName);
}

TSymbolImportResult TSymbolImport::Import(const TSymbolFile& file, const std::string& fileName) {
  TSymbolImportResult result;
  result.Kind = file.Kind;
  result.OtherTypes = file.OtherTypes;
  TMessageLog messages;
  TMessageFlushScope flush(messages, project_.UI());
  const std::string where = "\"" + fileName + "\", line ";
  for (const TUnreadableLine& bad : file.Unreadable) {
    messages.Add(where + std::to_string(bad.Line) + ": not a symbol line: " + Shortened(bad.Text));
  }
  result.SkippedLines = file.Unreadable.size();

  const TRomLayout layout(project_, mapping_);
  result.Mapping = layout.Mapping();
  TSNESLabelManager* labelManager = project_.LabelManager();
  TScopeNode* global = project_.ScopeManager() ? project_.ScopeManager()->GlobalScope() : nullptr;
  TPendingNames pending;
  std::unordered_map<TTraceFileLine*, const std::string*> commented;

  auto executedLine = [this](int64_t address) -> TTraceFileLine* {
    TTraceFileLine* line = project_.FindInIndex(address);
    return line && !line->IsComment() ? line : nullptr;
  };
  auto findLabel = [labelManager](int64_t address) {
    return labelManager ? labelManager->FindLabel(address) : nullptr;
  };
  auto findGlobalMapping = [global](int64_t address) -> TMappingNode* {
    try {
      return global ? global->FindMappingByOffset(address) : nullptr;
    } catch (const EConvertError&) {
      return nullptr;  // a mapping whose text is no number stands first
    }
  };
  for (const TSymbolEntry& entry : file.Entries) {
    std::optional<int64_t> address;
    switch (entry.Space) {
      case TSymbolSpace::Cpu:
      case TSymbolSpace::Register:
        address = entry.Address;
        break;
      case TSymbolSpace::PrgRom:
        address = layout.CpuAddressOf(entry.Address);
        break;
      case TSymbolSpace::WorkRam:
        address = 0x7E0000 + entry.Address;
        break;
      case TSymbolSpace::SaveRam:
        address = SaveRamToCpu(entry.Address, layout.Mapping());
        break;
    }
    if (!address) {
      messages.Add(where + std::to_string(entry.Line) + ": the offset $" +
                   IntToHex(entry.Address, 6) + " lies outside the " +
                   (result.Mapping == TRomMapping::HiRom ? "HiROM" : "LoROM") + " address space");
      ++result.SkippedLines;
      continue;
    }
    TTraceFileLine* line = executedLine(*address);
    if (!entry.Name.empty()) {
      const bool isCode = line || IsRomAddress(*address, layout.Mapping());
      auto& pendingAt = isCode ? pending.labelAt : pending.mappingAt;
      const std::string* had = nullptr;
      if (auto it = pendingAt.find(*address); it != pendingAt.end()) {
        had = it->second;
      } else if (TMappingNode* node = isCode ? findLabel(*address) : findGlobalMapping(*address)) {
        // A name of the file takes the place of a label the conversion made at a return.
        if (isCode && node->MappingName() == kExitLabelName && entry.Name != kExitLabelName)
          pending.exitLabels.push_back(node);
        else
          had = &node->MappingName();
      }
      if (had) {
        ++(*had == entry.Name ? result.Duplicates : result.Clashes);
      } else {
        (isCode ? pending.labels : pending.mappings).push_back({DollarHex(*address), entry.Name});
        pendingAt[*address] = &entry.Name;
      }
    }
    if (!entry.Comment.empty()) {
      if (const size_t length = CharacterCount(entry.Comment);
          length > TTraceFileLine::kCommentLimit) {
        messages.Add(where + std::to_string(entry.Line) + ": a comment of " +
                     std::to_string(length) + " characters is longer than a line comment (" +
                     std::to_string(TTraceFileLine::kCommentLimit) + "); it is left out");
      } else if (!line) {
        ++result.LinelessComments;
      } else if (auto it = commented.find(line); it != commented.end()) {
        ++(*it->second == entry.Comment ? result.Duplicates : result.Clashes);
      } else if (line->Comment().empty()) {
        line->SetComment(entry.Comment);
        commented.emplace(line, &entry.Comment);
        ++result.Comments;
      } else {
        ++(line->Comment() == entry.Comment ? result.Duplicates : result.Clashes);
      }
    }
  }

  for (TMappingNode* exitLabel : pending.exitLabels) project_.RemoveLabel(exitLabel);
  result.ExitLabelsReplaced = pending.exitLabels.size();
  result.Labels = project_.CreateLabels(pending.labels).size();
  result.Mappings = project_.CreateMappings(pending.mappings, true, "Global").size();
  if (result.AddedAnything()) project_.SetSavedFlag(false);
  return result;
}

TSymbolImportResult ImportSymbols(TProject& project, const std::string& file, TRomMapping mapping) {
  return TSymbolImport(project, mapping).ImportFile(file);
}

std::string SymbolImportSummary(const TSymbolImportResult& r, const std::string& file) {
  if (!r.Read()) return r.Error;
  std::string text = "Imported \"" + file + "\" (" + SymbolFileKindName(r.Kind) + ", " +
                     (r.Mapping == TRomMapping::HiRom ? "HiROM" : "LoROM") +
                     "): " + Counted(r.Labels, "label", "labels") + ", " +
                     Counted(r.Mappings, "mapping", "mappings") + ", " +
                     Counted(r.Comments, "comment", "comments") + " added";
  std::vector<std::string> notes;
  if (r.SkippedLines) notes.push_back(Counted(r.SkippedLines, "line skipped", "lines skipped"));
  if (r.Clashes)
    notes.push_back(Counted(r.Clashes, "name clashed with one already given",
                            "names clashed with ones already given"));
  if (r.ExitLabelsReplaced)
    notes.push_back(
        Counted(r.ExitLabelsReplaced, "\"exit\" label renamed", "\"exit\" labels renamed"));
  if (r.Duplicates) notes.push_back(Counted(r.Duplicates, "name was there", "names were there"));
  if (r.OtherTypes)
    notes.push_back(
        Counted(r.OtherTypes, "entry of other memory skipped", "entries of other memory skipped"));
  if (r.LinelessComments)
    notes.push_back(Counted(r.LinelessComments, "comment without a line in the trace",
                            "comments without a line in the trace"));
  for (size_t i = 0; i < notes.size(); ++i) text += (i == 0 ? "; " : ", ") + notes[i];
  return text + ".";
}

}  // namespace orvanel
