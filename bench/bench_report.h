#pragma once
// What the benchmark programs share on Google Benchmark's side: handing a child's figures
// to the benchmark, and the programs' main function.
#include <benchmark/benchmark.h>

#include "base/AllocatorTuning.h"
#include "bench_support.h"

namespace orvanel::bench {

// The child's time under `timeKey` becomes the iteration's time and every figure a counter
// (kilobyte figures in MB); a child that failed skips the benchmark with its error.
inline bool Report(benchmark::State& state, const TChildReport& report,
                   const char* timeKey = "seconds") {
  if (!report.Ok()) {
    state.SkipWithError(report.Error.c_str());
    return false;
  }
  state.SetIterationTime(report[timeKey]);
  for (const auto& [key, value] : report.Values) {
    if (key.size() > 3 && key.compare(key.size() - 3, 3, "_kb") == 0)
      state.counters[key.substr(0, key.size() - 3) + "_MB"] = value / 1024.0;
    else
      state.counters[key] = value;
  }
  return true;
}

}  // namespace orvanel::bench

// The main function of a benchmark program: the allocator set up as Orvanel's programs set
// it up, then Google Benchmark's own main.
#define ORVANEL_BENCHMARK_MAIN()                                        \
  int main(int argc, char** argv) {                                     \
    orvanel::TuneAllocatorForLargeTraces();                             \
    ::benchmark::Initialize(&argc, argv);                               \
    if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1; \
    ::benchmark::RunSpecifiedBenchmarks();                              \
    ::benchmark::Shutdown();                                            \
    return 0;                                                           \
  }
