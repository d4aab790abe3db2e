#include "symbols/SymbolExport.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "base/TextUtils.h"
#include "project/Project.h"
#include "symbols/TextFileWriter.h"

namespace orvanel {

namespace {

struct TExportName {
  int64_t Address;
  std::string Name;
  bool IsLabel;
};

// A name as one word: blanks, control characters and the format's comment or field
// separator become "_", so that the name reads back whole.
std::string Word(std::string name, char separator) {
  for (char& c : name)
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f' || c == separator) c = '_';
  return name;
}

// A comment on one line of text, without blanks at its ends (which a reader would not
// keep): line breaks and other control characters become blanks, or a reader would take
// the file for a binary one.
std::string OneLine(const std::string& text) {
  std::string line(text);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') c = ' ';
  return std::string(Trim(line));
}

// Labels first, then the mappings of every scope; each (address, name) pair once. The
// conversion's "exit" labels stay out: every conversion of the trace makes them again, and
// other tools would read hundreds of equal names.
std::vector<TExportName> CollectNames(TProject& project, TSymbolExportResult& result) {
  std::vector<TExportName> names;
  std::set<std::pair<int64_t, std::string>> seen;
  auto collect = [&](const TScopeManager* manager, bool labels) {
    if (!manager) return;
    for (const auto& scope : manager->Scopes()) {
      for (const auto& mapping : scope->Mappings()) {
        std::optional<int64_t> value = mapping->TryNumericAddress();
        if (!value || TMappingNode::IsOperandText(mapping->Address()) || *value < 0 ||
            *value > 0xFFFFFF || mapping->MappingName().empty()) {
          ++result.Skipped;
          continue;
        }
        if (labels && mapping->MappingName() == kExitLabelName) {
          ++result.ExitLabels;
          continue;
        }
        if (seen.emplace(*value, mapping->MappingName()).second)
          names.push_back({*value, mapping->MappingName(), labels});
      }
    }
  };
  collect(project.LabelManager(), true);
  collect(project.ScopeManager(), false);
  std::stable_sort(names.begin(), names.end(), [](const TExportName& a, const TExportName& b) {
    return a.Address < b.Address;
  });
  return names;
}

// The comments of the trace's instruction lines by address.
std::map<int64_t, std::string> CollectComments(TProject& project) {
  std::map<int64_t, std::string> comments;
  for (const auto& line : project.Store().Lines()) {
    if (line->IsComment() || line->itemCount_ == 0) continue;
    if (std::string text = OneLine(line->Comment()); !text.empty())
      comments.emplace(line->Offset(), std::move(text));
  }
  return comments;
}

std::string BankAddress(int64_t address) {
  return LowerCase(IntToHex(address >> 16, 2) + ":" + IntToHex(address & 0xFFFF, 4));
}

void CountName(TSymbolExportResult& result, const TExportName& name) {
  ++(name.IsLabel ? result.Labels : result.Mappings);
}

void WriteSections(TTextFileWriter& out, const std::vector<TExportName>& names,
                   const std::map<int64_t, std::string>* comments, TSymbolExportResult& result) {
  out << "; symbols of an Orvanel project\n[labels]\n";
  for (const TExportName& name : names) {
    out << BankAddress(name.Address) << ' ' << Word(name.Name, ';') << '\n';
    CountName(result, name);
  }
  if (!comments) return;
  out << "\n[comments]\n";
  for (const auto& [address, text] : *comments) {
    out << BankAddress(address) << ' ' << text << '\n';
    ++result.Comments;
  }
}

// The .mlb type and offset of a CPU address, or none for memory the format has no type for.
std::optional<std::pair<const char*, int64_t>> MlbPlace(int64_t address, TRomMapping mapping) {
  const int64_t bank = address >> 16, inBank = address & 0xFFFF;
  if (std::optional<int64_t> rom = CpuToRomOffset(address, mapping))
    return std::make_pair("SnesPrgRom", *rom);
  if (bank == 0x7E || bank == 0x7F) return std::make_pair("SnesWorkRam", address - 0x7E0000);
  if (std::optional<int64_t> sram = CpuToSaveRam(address, mapping))
    return std::make_pair("SnesSaveRam", *sram);
  if ((bank & 0x7F) < 0x40 && inBank < 0x2000) return std::make_pair("SnesWorkRam", inBank);
  if ((bank & 0x7F) < 0x40 && inBank < 0x8000) return std::make_pair("SnesRegister", inBank);
  return std::nullopt;
}

// The CPU address a reader of the .mlb file will take for the place: the one name of each
// place that comes back where it was.
int64_t HomeOf(const std::pair<const char*, int64_t>& place, int64_t address,
               const TRomLayout& layout) {
  if (std::string_view(place.first) == "SnesPrgRom")
    return layout.CpuAddressOf(place.second).value_or(address);
  if (std::string_view(place.first) == "SnesWorkRam") return layout.WorkRamAddressOf(place.second);
  return address;
}

void WriteMlb(TTextFileWriter& out, const std::vector<TExportName>& names,
              std::map<int64_t, std::string> comments, const TRomLayout& layout,
              TSymbolExportResult& result) {
  const TRomMapping mapping = layout.Mapping();
  // A place (type and offset) holds the names of one CPU address: of mirrors that name one
  // offset, the address a reader takes for it keeps its names (else the first address).
  std::map<std::pair<std::string_view, int64_t>, int64_t> owner;
  for (const TExportName& name : names) {
    std::optional<std::pair<const char*, int64_t>> place = MlbPlace(name.Address, mapping);
    if (!place) continue;
    auto [it, added] = owner.emplace(std::make_pair(place->first, place->second), name.Address);
    if (!added && it->second != HomeOf(*place, it->second, layout) &&
        name.Address == HomeOf(*place, name.Address, layout))
      it->second = name.Address;
  }
  // A comment rides on the first name of its address; the rest get lines of their own.
  auto write = [&](const std::pair<const char*, int64_t>& place, const std::string& name,
                   int64_t address) {
    out << place.first << ':' << IntToHex(place.second, 4) << ':' << Word(name, ':');
    if (auto it = comments.find(address); it != comments.end()) {
      out << ':' << it->second;
      comments.erase(it);
      ++result.Comments;
    }
    out << '\n';
  };
  for (const TExportName& name : names) {
    std::optional<std::pair<const char*, int64_t>> place = MlbPlace(name.Address, mapping);
    if (!place) {
      ++result.Skipped;
      continue;
    }
    if (owner.at({place->first, place->second}) != name.Address) {
      if (result.MirrorsDropped++ == 0)
        result.FirstMirrorDropped = name.Name + " at " + DollarHex(name.Address);
      continue;
    }
    write(*place, name.Name, name.Address);
    CountName(result, name);
  }
  while (!comments.empty()) {
    const int64_t address = comments.begin()->first;
    std::optional<std::pair<const char*, int64_t>> place = MlbPlace(address, mapping);
    if (place &&
        owner.emplace(std::make_pair(place->first, place->second), address).first->second ==
            address) {
      write(*place, "", address);
    } else {
      comments.erase(comments.begin());
      ++result.Skipped;
    }
  }
}

}  // namespace

TSymbolExportResult ExportSymbols(TProject& project, const std::string& fileName,
                                  TSymbolFormat format, TRomMapping mapping) {
  TSymbolExportResult result;
  std::vector<TExportName> names = CollectNames(project, result);
  TTextFileWriter out(fileName);
  if (format == TSymbolFormat::Mlb) {
    const TRomLayout layout(project, mapping);
    result.Mapping = layout.Mapping();
    WriteMlb(out, names, CollectComments(project), layout, result);
  } else {
    result.Mapping = mapping;
    std::map<int64_t, std::string> comments;
    if (format == TSymbolFormat::Sym) comments = CollectComments(project);
    WriteSections(out, names, format == TSymbolFormat::Sym ? &comments : nullptr, result);
  }
  out.Commit();
  return result;
}

std::string SymbolExportSummary(const TSymbolExportResult& r, const std::string& file) {
  auto counted = [](size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string text = "Exported \"" + file + "\": " + counted(r.Labels, "label", "labels") + ", " +
                     counted(r.Mappings, "mapping", "mappings") + ", " +
                     counted(r.Comments, "comment", "comments") + " written";
  std::vector<std::string> notes;
  if (r.MirrorsDropped)
    notes.push_back(counted(r.MirrorsDropped, "name", "names") +
                    " left out because a mirror of the same ROM or RAM offset holds a name "
                    "(the format has one place per offset; the first: " +
                    r.FirstMirrorDropped + ")");
  if (r.Skipped)
    notes.push_back(counted(r.Skipped, "name or comment", "names or comments") +
                    " the format cannot hold (operand texts, empty names, memory it has no "
                    "type for)");
  if (r.ExitLabels)
    notes.push_back(counted(r.ExitLabels, "\"exit\" label", "\"exit\" labels") +
                    " of the conversion left out");
  for (size_t i = 0; i < notes.size(); ++i) text += (i == 0 ? "; " : ", ") + notes[i];
  return text + ".";
}

}  // namespace orvanel
