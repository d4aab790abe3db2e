#pragma once
// Synthetic trace logs of both dialects that behave like long real SNES traces.
//
// A program of routines is made up first (fixed bytes at fixed addresses, as in a ROM),
// then executed: a main loop dispatches tasks each frame, tasks call routines down to a
// nesting limit with JSR/JSL, loops run the same addresses many times, the NMI arrives at
// the vertical blank (during a WAI run, or in the middle of work when the frame is late),
// H/V-timer IRQs come now and then, block moves write one line per byte. The log starts
// inside a routine, so its first returns leave the routine the trace started in.
// The same seed and shape always give the same log.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orvanel::bench {

enum class TLogDialect { First, Debugger };

struct TLogShape {
  TLogDialect Dialect = TLogDialect::First;
  uint64_t Seed = 1;
  int64_t Lines = 1'000'000;   // lines written, inserted comment lines included
  int64_t Addresses = 20'000;  // instruction addresses of the program (about those met)
  int MaxDepth = 8;            // levels of ordinary routines below a task
  int64_t DeepRecursion = 0;   // above 0: once, early on, a routine calls itself this deep
  bool Comments = true;        // "//" comments and "--- frame N ---" markers
};

struct TLogStats {
  int64_t Lines = 0;
  int64_t Bytes = 0;  // line ends included
  int64_t LongestLine = 0;
  int64_t InstructionLines = 0;
  int64_t FrameMarkers = 0;
  int64_t CommentLines = 0;  // "//" lines
  int64_t WaitLines = 0;     // WAI
  int64_t MoveLines = 0;     // MVN
  int64_t Interrupts = 0;
  int64_t Returns = 0;
  int64_t DistinctAddresses = 0;
  int64_t ProgramAddresses = 0;  // instructions of the program, met or not
  // What the conversion makes of the log, worked out while it is written:
  int64_t TakenCalls = 0;       // calls whose next instruction line is at their target
  int64_t UntakenCalls = 0;     // calls whose next instruction line is elsewhere
  int64_t Upsteps = 0;          // returns met with no open level
  int64_t OpenLevelsAtEnd = 0;  // the project's CallDepth afterwards
  int64_t DeepestLevel = 0;     // the most levels open at once
  int64_t ExpectedItems = 0;    // items of the code tree
};

// Calls `sink` with every line, without its line end, in order.
TLogStats GenerateLog(const TLogShape& shape, const std::function<void(std::string_view)>& sink);
// Writes the log with LF line ends. Throws std::runtime_error when the file cannot be written.
TLogStats WriteLogFile(const TLogShape& shape, const std::string& path);
std::string GenerateLogText(const TLogShape& shape, TLogStats* stats = nullptr);

// A new empty folder under TMPDIR (or /tmp); generated files never go into the repository.
std::string MakeTempFolder(const std::string& prefix);

}  // namespace orvanel::bench
