#include "records/TraceLayouts.h"

#include <fstream>
#include <vector>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "records/DebuggerTraceLine.h"
#include "records/Mesen2TraceLine.h"
#include "records/Snes9xRawTraceLine.h"
#include "trace/LineCutting.h"
#include "trace/LogLines.h"

namespace orvanel {

namespace {

using line_cutting::HexDigitValue;

// "$BB/AAAA" and the opcode byte at the given 0-based position: the two dialects.
TLineRole DialectRole(std::string_view line, size_t opcodeAt) {
  if (line.size() < opcodeAt + 2 || line[0] != '$' || line[3] != '/') return TLineRole::Unknown;
  for (size_t i : {size_t{1}, size_t{2}, size_t{4}, size_t{5}, size_t{6}, size_t{7}})
    if (HexDigitValue(line[i]) < 0) return TLineRole::Unknown;
  for (size_t i = 8; i < opcodeAt; ++i)
    if (line[i] != ' ') return TLineRole::Unknown;
  if (HexDigitValue(line[opcodeAt]) < 0 || HexDigitValue(line[opcodeAt + 1]) < 0)
    return TLineRole::Unknown;
  return TLineRole::Instruction;
}

template <typename TLine>
std::unique_ptr<TTraceFileLine> DialectFromText(TLineOwner& owner, std::string_view text,
                                                bool isComment, const TLogLines* log) {
  return TLine::FromText(owner, text, isComment, log);
}
template <typename TLine>
std::unique_ptr<TTraceFileLine> DialectFromXml(TLineOwner& owner, const TXmlAttributes& element) {
  return TLine::FromXml(owner, element);
}

// A new layout is one more entry here with its record class; nothing else changes. Its
// project type is new: 1 and 2 are the dialects', and the types below 10 stay unknown to the
// reader as they always were.
const TTraceLayout kLayouts[] = {
    {"Marro's SNES9x log", "snes9x", 1,
     "$00/BBE0  CB           WAI                   A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FF6 "
     "P:envmxdIzc HC:250 VC:0147 FC:04",
     [](std::string_view line) { return DialectRole(line, 10); },
     &DialectFromText<TSNESTraceFileLine>, &DialectFromXml<TSNESTraceFileLine>},
    {"Dravik's SNES9x debugger log", "debugger", 2,
     "$00/BBE0 CB          WAI                   A:1FF9 X:0001 Y:0000 P:envmxdIzc",
     [](std::string_view line) { return DialectRole(line, 9); },
     &DialectFromText<TDravikSNESTraceFileLine>, &DialectFromXml<TDravikSNESTraceFileLine>},
    {"snes9x trace log", "snes9x-raw", 10,
     "$00:BBE0 CB          WAI                     A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FF6 "
     "P:envmxdIzc HC:0250 VC:147 FC:04     .n.    HT:10 VT:0 C:268435455",
     &TSnes9xRawTraceFileLine::Role, &TSnes9xRawTraceFileLine::FromText,
     &TSnes9xRawTraceFileLine::FromXml},
    {"Mesen2 trace log", "mesen2", 11,
     "0080B9  XCE                            A:0000 X:0000 Y:0000 S:01FF D:0000 DB:00 "
     "P:nvMXdIzc V:0   H:55",
     &TMesen2TraceFileLine::Role, &TMesen2TraceFileLine::FromText, &TMesen2TraceFileLine::FromXml},
};

// Votes of the first instruction lines, line by line.
class TRecogniser {
 public:
  // False once enough lines have voted.
  bool Add(std::string_view line) {
    bool any = false;
    for (size_t i = 0; i < std::size(kLayouts); ++i)
      if (kLayouts[i].Role(line) == TLineRole::Instruction) {
        ++votes_[i];
        any = true;
      }
    if (any) ++lines_;
    return lines_ < kLines;
  }
  const TTraceLayout* Result() const {
    size_t best = 0;
    for (size_t i = 1; i < std::size(kLayouts); ++i)
      if (votes_[i] > votes_[best]) best = i;
    return votes_[best] > 0 ? &kLayouts[best] : nullptr;
  }

 private:
  static constexpr size_t kLines = 64;
  size_t votes_[std::size(kLayouts)] = {};
  size_t lines_ = 0;
};

const char* const kRoleNames[kLineRoleCount] = {
    "instruction",         "empty", "sound CPU", "WRAM refresh", "HDMA", "IRQ timer",
    "\"Timer triggered\"", "NMI",   "IRQ",       "BRK",          "COP",  "unreadable",
};

std::string WithThousands(size_t n) {
  std::string digits = std::to_string(n), text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

}  // namespace

std::span<const TTraceLayout> TraceLayouts() {
  return kLayouts;
}

const TTraceLayout* LayoutByOption(std::string_view option) {
  for (const TTraceLayout& layout : kLayouts)
    if (option == layout.Option) return &layout;
  return nullptr;
}

const TTraceLayout* LayoutOfProjectType(int projectType) {
  for (const TTraceLayout& layout : kLayouts)
    if (layout.ProjectType == projectType) return &layout;
  return nullptr;
}

const TTraceLayout* RecogniseLayout(const TLogLines& lines) {
  TRecogniser recogniser;
  for (size_t k = 0; k < lines.Count() && recogniser.Add(lines[k]); ++k) {
  }
  return recogniser.Result();
}

const TTraceLayout* RecogniseLayoutOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EFileError("Cannot open file \"" + path + "\"");
  TRecogniser recogniser;
  std::string line;
  // A log of another processor's lines first (a sound CPU's) may hold its first main-CPU
  // line far down; a file of no known layout is not read to its end.
  for (size_t n = 0; n < 2'000'000 && std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!recogniser.Add(line)) break;
  }
  return recogniser.Result();
}

std::string UnknownLayoutMessage() {
  std::string text = "The log is written in none of the layouts Orvanel reads. It reads:";
  for (const TTraceLayout& layout : kLayouts) {
    text += "\n";
    text += layout.Name;
    text += ", e.g.\n  ";
    text += layout.Example;
  }
  return text;
}

size_t TLeftOutLines::Total() const {
  size_t total = 0;
  for (size_t i = 1; i < kLineRoleCount; ++i) total += Count[i];
  return total;
}

std::string TLeftOutLines::Summary() const {
  std::string text;
  for (size_t i = 1; i < kLineRoleCount; ++i) {
    if (Count[i] == 0) continue;
    text += text.empty() ? "Left out of the tree: " : ", ";
    text += WithThousands(Count[i]);
    text += ' ';
    text += kRoleNames[i];
    text += Count[i] == 1 ? " line" : " lines";
  }
  if (!text.empty()) text += '.';
  return text;
}

TLeftOutLines KeepInstructionLines(const TTraceLayout& layout, TLogLines& lines) {
  TLeftOutLines left;
  std::vector<bool> leftOut(lines.Count(), false);
  std::vector<TInterruptMarker> markers;
  size_t kept = 0;
  for (size_t k = 0; k < lines.Count(); ++k) {
    const TLineRole role = layout.Role(lines[k]);
    if (role == TLineRole::Instruction) {
      ++kept;
      continue;
    }
    leftOut[k] = true;
    ++left.Count[static_cast<size_t>(role)];
    switch (role) {
      case TLineRole::Nmi:
        markers.push_back({kept, TInterruptKind::Nmi});
        break;
      case TLineRole::Irq:
        markers.push_back({kept, TInterruptKind::Irq});
        break;
      case TLineRole::Brk:
        markers.push_back({kept, TInterruptKind::Brk});
        break;
      case TLineRole::Cop:
        markers.push_back({kept, TInterruptKind::Cop});
        break;
      default:
        break;
    }
  }
  // Lines read before keep their markers: nothing is left out of them a second time.
  if (left.Total() == 0) return left;
  lines.RemoveLines(leftOut);
  lines.SetInterruptMarkers(std::move(markers));
  return left;
}

}  // namespace orvanel
