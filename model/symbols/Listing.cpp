#include "symbols/Listing.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "project/Project.h"
#include "records/SnesTraceLine.h"
#include "symbols/TextFileWriter.h"

namespace orvanel {

namespace {

constexpr int kMaxIndentLevels = 40;

// Line ends inside a text would break the one-line-per-item form.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

constexpr auto kIndent = [] {
  std::array<char, 2 * kMaxIndentLevels> blanks{};
  blanks.fill(' ');
  return blanks;
}();

void WriteLead(TTextFileWriter& out, int depth) {
  out << std::to_string(depth) << ' '
      << std::string_view(kIndent.data(),
                          2 * static_cast<size_t>(std::min(depth, kMaxIndentLevels)));
}

}  // namespace

std::string ItemRegisters(const TTreeItem& item) {
  // Every item of a record shows the record's registers, those of its last execution.
  const auto* line = dynamic_cast<const TSNESTraceFileLine*>(item.Line());
  if (!line || line->IsComment()) return {};
  char text[96];
  std::snprintf(text, sizeof text, "A:%04X X:%04X Y:%04X D:%04X DB:%02X S:%04X P:%s", line->RegA,
                line->RegX, line->RegY, line->RegD, line->RegDB, line->RegS, line->RegP.c_str());
  return text;
}

void ExportListing(const TProject& project, const std::string& fileName) {
  TTextFileWriter out(fileName);
  const TCodeTree& tree = project.Tree();
  int depth = 0;
  const TTreeItem* previous = nullptr;
  for (const TTreeItem* item = tree.First(); item; previous = item, item = tree.NextInOrder(item)) {
    // The walk goes one level down into a child, or up to the parent's level of the next
    // item: each climb pays for an earlier descent, so the depth costs nothing per item.
    if (previous) {
      if (item->Parent() == previous) {
        ++depth;
      } else {
        for (const TTreeItem* up = previous->Parent(); up != item->Parent(); up = up->Parent())
          --depth;
      }
    }
    const TTraceFileLine* line = item->Line();
    if (!line) continue;
    if (line->IsComment()) {
      WriteLead(out, depth);
      out << "; " << OneLine(line->DisplayText()) << '\n';
      continue;
    }
    if (const TMappingNode* label = line->OffsetLabel()) {
      WriteLead(out, depth);
      out << label->MappingName() << ":\n";
    }
    WriteLead(out, depth);
    out << line->OffsetText() << ' ' << OneLine(line->DisplayText());
    if (std::string registers = ItemRegisters(*item); !registers.empty()) out << "  " << registers;
    if (!line->Comment().empty()) out << "  ; " << OneLine(line->Comment());
    out << '\n';
  }
  out.Commit();
}

}  // namespace orvanel
