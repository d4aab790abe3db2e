#include "symbols/SymbolImport.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Errors.h"
#include "base/MessageLog.h"
#include "base/TextUtils.h"
#include "project/Project.h"

namespace orvanel {

namespace {

// A name of the file for an address, the import's first decision: label or mapping.
struct TNamedEntry {
  int64_t Address;
  uint32_t Entry;  // index into the file's entries
  bool IsCode;
};

// Names handed to the project this many at a time, so that their copies stay few.
constexpr size_t kBatch = 1 << 18;

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
  result.IgnoredSections = file.IgnoredSections;
  result.IgnoredSectionLines = file.IgnoredSectionLines;
  TMessageLog messages;
  TMessageFlushScope flush(messages, project_.UI());
  const std::string where = "\"" + fileName + "\", line ";
  // Skipped lines are listed up to a bound, then counted: a file of nothing but bad lines
  // must not bury the user in messages.
  size_t listed = 0;
  auto skip = [&](size_t line, const std::string& why) {
    ++result.SkippedLines;
    if (listed < kListedUnreadableLines) {
      messages.Add(where + std::to_string(line) + ": " + why);
      ++listed;
    }
  };
  for (const TUnreadableLine& bad : file.Unreadable) {
    ++listed;
    messages.Add(where + std::to_string(bad.Line) + ": " + bad.Reason + ": " + bad.Text);
  }
  result.SkippedLines = file.UnreadableCount;

  const TRomLayout layout(project_, mapping_);
  result.Mapping = layout.Mapping();
  TSNESLabelManager* labelManager = project_.LabelManager();
  TScopeNode* global = project_.ScopeManager() ? project_.ScopeManager()->GlobalScope() : nullptr;
  std::unordered_map<TTraceFileLine*, std::string_view> commented;

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

  std::vector<TNamedEntry> named;
  for (size_t i = 0; i < file.Entries.size(); ++i) {
    const TSymbolEntry& entry = file.Entries[i];
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
        address = layout.WorkRamAddressOf(entry.Address);
        break;
      case TSymbolSpace::SaveRam:
        address = SaveRamToCpu(entry.Address, layout.Mapping());
        break;
    }
    if (!address) {
      skip(entry.Line, "the offset $" + IntToHex(entry.Address, 6) + " lies outside the " +
                           (result.Mapping == TRomMapping::HiRom ? "HiROM" : "LoROM") +
                           " address space");
      continue;
    }
    TTraceFileLine* line = executedLine(*address);
    if (entry.NameSize > 0) {
      const bool isCode = line || IsRomAddress(*address, layout.Mapping());
      named.push_back({*address, static_cast<uint32_t>(i), isCode});
    }
    if (std::string_view comment = file.Comment(entry); !comment.empty()) {
      if (const size_t length = CharacterCount(comment); length > TTraceFileLine::kCommentLimit) {
        if (listed++ < kListedUnreadableLines)
          messages.Add(where + std::to_string(entry.Line) + ": a comment of " +
                     std::to_string(length) + " characters is longer than a line comment (" +
                     std::to_string(TTraceFileLine::kCommentLimit) + "); it is left out");
      } else if (!line) {
        ++result.LinelessComments;
      } else if (auto it = commented.find(line); it != commented.end()) {
        ++(it->second == comment ? result.Duplicates : result.Clashes);
      } else if (line->Comment().empty()) {
        line->SetComment(std::string(comment));
        commented.emplace(line, comment);
        ++result.Comments;
      } else {
        ++(line->Comment() == comment ? result.Duplicates : result.Clashes);
      }
    }
  }

  // The first name of an address wins, unless the project names it already; the names of
  // one address meet after a sort that keeps the file's order among them.
  std::sort(named.begin(), named.end(), [](const TNamedEntry& a, const TNamedEntry& b) {
    if (a.IsCode != b.IsCode) return a.IsCode;
    return a.Address != b.Address ? a.Address < b.Address : a.Entry < b.Entry;
  });
  std::vector<TMappingNode*> exitLabels;  // the conversion's labels that names replace
  size_t kept = 0;
  for (size_t i = 0; i < named.size();) {
    const TNamedEntry first = named[i];
    std::string_view name = file.Name(file.Entries[first.Entry]);
    std::optional<std::string_view> had;
    if (TMappingNode* node =
            first.IsCode ? findLabel(first.Address) : findGlobalMapping(first.Address)) {
      // A name of the file takes the place of a label the conversion made at a return.
      if (first.IsCode && node->MappingName() == kExitLabelName && name != kExitLabelName)
        exitLabels.push_back(node);
      else
        had = node->MappingName();
    }
    size_t end = i;
    if (!had) {
      named[kept++] = first;
      had = name;
      ++end;
    }
    for (; end < named.size() && named[end].IsCode == first.IsCode &&
           named[end].Address == first.Address;
         ++end)
      ++(file.Name(file.Entries[named[end].Entry]) == *had ? result.Duplicates : result.Clashes);
    i = end;
  }
  named.resize(kept);
  named.shrink_to_fit();
  std::sort(named.begin(), named.end(),
            [](const TNamedEntry& a, const TNamedEntry& b) { return a.Entry < b.Entry; });

  for (TMappingNode* exitLabel : exitLabels) project_.RemoveLabel(exitLabel);
  result.ExitLabelsReplaced = exitLabels.size();
  // Labels first, then mappings, each in the file's order.
  std::vector<TNamedAddress> batch;
  for (const bool labels : {true, false}) {
    auto flushBatch = [&] {
      if (batch.empty()) return;
      if (labels)
        result.Labels += project_.CreateLabels(batch).size();
      else
        result.Mappings += project_.CreateMappings(batch, true, "Global").size();
      batch.clear();
    };
    for (const TNamedEntry& n : named) {
      if (n.IsCode != labels) continue;
      batch.push_back({DollarHex(n.Address), std::string(file.Name(file.Entries[n.Entry]))});
      if (batch.size() == kBatch) flushBatch();
    }
    flushBatch();
  }
  if (result.SkippedLines > listed)
    messages.Add("\"" + fileName + "\": " +
                 Counted(result.SkippedLines - listed, "more line skipped", "more lines skipped") +
                 ", not listed");
  if (result.AddedAnything()) project_.SetSavedFlag(false);
  if (result.Comments > 0) project_.MarkLogChanged();  // comments live in the trace data file
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
  if (r.IgnoredSectionLines) {
    std::string sections;
    for (const std::string& name : r.IgnoredSections)
      sections += (sections.empty() ? "" : ", ") + name;
    notes.push_back(Counted(r.IgnoredSectionLines, "line", "lines") + " of " + sections +
                    " not read (no names)");
  }
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
