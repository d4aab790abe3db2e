#pragma once
// The log the navigation tests walk: a main loop run `passes` times that calls a routine with
// a forward branch in it, a comment line, a back branch to the loop's start on every pass but
// the last, and two last lines with addresses of their own (one at the end of a bank).
#include <string>

#include "LogBuilder.h"

namespace orvanel::test {

inline std::string LoopLog(int passes) {
  TLogBuilder log;
  for (int pass = 0; pass < passes; ++pass) {
    log.Nop(0x8000).Jsr(0x8001, 0x9000).Lda(0x9000, 0x7E0010).Branch(0x9003, 0xF0, 0x01, 0x9006);
    log.Rts(0x9006).Nop(0x8004).Raw("// a comment line");
    if (pass + 1 < passes) log.Branch(0x8005, 0xD0, 0xF9, 0x8000);
  }
  log.Nop(0x80FFFF).Nop(0x810000);
  return log.Text();
}

}  // namespace orvanel::test
