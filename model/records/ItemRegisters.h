#pragma once
// The processor registers that one log line recorded: what one execution of an instruction
// found in the CPU. Each tree item of an instruction keeps its own (a loop's third turn shows
// the third turn's counter), while the line record keeps the first execution's. A debugger
// log records only A, X, Y and the status text; D, DB, S and the two counters read as 0 there,
// as they do in that dialect's records.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvanel {

class TTraceFileLine;

struct TItemRegisters {
  uint16_t A = 0;
  uint16_t X = 0;
  uint16_t Y = 0;
  uint16_t D = 0;
  uint16_t S = 0;
  uint16_t HCounter = 0;
  uint16_t VCounter = 0;
  uint8_t DB = 0;
  // The status text as the log printed it (envMXdIzc): at most nine characters, the rest
  // zero. Nine bytes hold every text a log line gives back exactly.
  char P[9] = {};

  static constexpr size_t kMaxPText = sizeof(P);
  std::string PText() const;
  // Keeps the first nine characters of the text.
  void SetPText(std::string_view text);

  bool operator==(const TItemRegisters&) const = default;
};
static_assert(sizeof(TItemRegisters) <= 24, "a tree item carries at most 24 bytes of registers");

// The texts of the "CPU Status" panel, one per label, as the panel shows them:
// "A : $00FF", "DB : $7E", "PS : envMXdIzc", "HC : 5".
struct TStatusTexts {
  std::string A, X, Y, D, DB, S, PS, HC, VC;
};
TStatusTexts StatusTexts(const TItemRegisters& registers);
// The status bar's offset text: "Offset :" directly followed by the line's offset text.
std::string OffsetStatusText(const TTraceFileLine& line);

}  // namespace orvanel
