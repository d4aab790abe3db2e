#pragma once
// The layouts of trace logs Orvanel reads. Each layout is one entry of a table: its name,
// the recognition of its lines and the record class that knows its columns. The conversion,
// the tree and the files work on the records and do not know the layouts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace orvanel {

class TLineOwner;
class TLogLines;
class TTraceFileLine;
class TXmlAttributes;

// What a line of a log is to its layout.
enum class TLineRole : uint8_t {
  Instruction,  // an instruction of the main CPU: becomes a record and an item
  Empty,        // the rest is left out of the tree and counted
  SoundCpu,     // an instruction of the sound CPU
  WramRefresh,  // the emulator's status lines
  Hdma,
  IrqTimer,
  TimerTriggered,
  Nmi,  // an interrupt announced on a line of its own
  Irq,
  Brk,
  Cop,
  Unknown,  // none of the above: another layout, or broken beyond recognition
};
inline constexpr size_t kLineRoleCount = static_cast<size_t>(TLineRole::Unknown) + 1;

struct TTraceLayout {
  const char* Name;     // "Mesen2 trace log"
  const char* Option;   // the converter's --format value
  int ProjectType;      // what the project file records
  const char* Example;  // one line of a real log
  TLineRole (*Role)(std::string_view line);
  std::unique_ptr<TTraceFileLine> (*LineFromText)(TLineOwner& owner, std::string_view text,
                                                  bool isComment, const TLogLines* log);
  std::unique_ptr<TTraceFileLine> (*LineFromXml)(TLineOwner& owner, const TXmlAttributes& element);
};

std::span<const TTraceLayout> TraceLayouts();
const TTraceLayout* LayoutByOption(std::string_view option);
const TTraceLayout* LayoutOfProjectType(int projectType);

// The layout most of the first instruction lines are written in; none when no line is.
const TTraceLayout* RecogniseLayout(const TLogLines& lines);
// The same from the head of a file; throws EFileError when it cannot be read.
const TTraceLayout* RecogniseLayoutOfFile(const std::string& path);
// What the user is told when no layout is recognised: the layouts read, one example each.
std::string UnknownLayoutMessage();

// The lines a layout leaves out of the tree, by role.
struct TLeftOutLines {
  std::array<size_t, kLineRoleCount> Count{};
  size_t Total() const;
  // "Left out of the tree: 138 WRAM refresh lines, 1 NMI line." or empty when none.
  std::string Summary() const;
};

// Keeps only the instruction lines, in order, and records the interrupt markers at the
// instruction line that follows each. Lines that are all instructions stay as they are,
// markers included.
TLeftOutLines KeepInstructionLines(const TTraceLayout& layout, TLogLines& lines);

}  // namespace orvanel
