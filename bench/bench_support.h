#pragma once
// What the benchmark programs share: a user interface that answers nothing, measurements
// run in a child process (so that peak memory does not add up across measurements), and
// the memory figures of the running process.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/SilentUserInterface.h"
#include "log_generator.h"

namespace orvanel::bench {

// Keeps the messages; every question is answered No, every file dialog is cancelled.
using TNullUserInterface = TSilentUserInterface;

// The figures a child process hands back: named numbers, or an error.
struct TChildReport {
  std::map<std::string, double> Values;
  std::string Error;  // empty when the work finished
  bool Ok() const { return Error.empty(); }
  double operator[](const std::string& key) const {
    auto it = Values.find(key);
    return it == Values.end() ? 0.0 : it->second;
  }
};

// Runs the work in a forked child and waits for it. The work fills the values; the child
// adds "peak_rss_kb" (its peak resident memory, from getrusage) and "start_rss_kb" (its
// resident memory when it began, inherited from this process). An exception, a crash or
// an exit without a report becomes the Error.
TChildReport RunInChild(const std::function<void(std::map<std::string, double>&)>& work);

int64_t CurrentRssKb();    // resident memory of this process now
int64_t PeakRssKb();       // the most resident memory this process has had
int64_t HeapInUseBytes();  // bytes allocated and not yet freed (malloc's count)

// Seconds on a steady clock, and processor seconds (user and system) of this process. On a
// busy machine the second tells what the work itself cost.
double Now();
double CpuNow();

// The folder of this run of a benchmark program (with a trailing separator), made on first
// use under the temporary folder and removed when the program ends. It holds a register
// description file "Mappings.xml" (so that projects made with it as the program folder name
// the hardware registers), the generated logs and the files the measurements write.
const std::string& RunFolder();

struct TGeneratedLog {
  std::string Path;
  TLogStats Stats;
};
// The log of that shape, written into the run folder on first use.
const TGeneratedLog& GeneratedLog(const std::string& name, const TLogShape& shape);

// Writes a register description file "Mappings.xml" into the folder (with a trailing
// separator) that names the registers the generated logs touch.
void WriteRegisterFile(const std::string& folder);

}  // namespace orvanel::bench
