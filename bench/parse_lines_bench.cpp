// Cutting the lines of the real traces into line records, one dialect at a time.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_report.h"
#include "records/DebuggerTraceLine.h"
#include "records/SnesTraceLine.h"
#include "trace/LogLines.h"

namespace {

using namespace orvanel;

// The real traces, unpacked into the build folder from the repository's archive.
std::string TraceFile(const std::string& name) {
  return std::string(ORVANEL_TRACES_DIR) + "/" + name;
}

template <typename TLine>
void CutTrace(benchmark::State& state, const std::string& name) {
  const TLogLines log = TLogLines::FromFile(TraceFile(name));
  TSimpleLineOwner owner;
  for (auto _ : state) {
    for (size_t i = 0; i < log.Count(); ++i) {
      auto line = TLine::FromText(owner, log[i], false, &log);
      benchmark::DoNotOptimize(line.get());
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * log.Count()));
  if (!owner.Messages.empty()) state.SkipWithError("the trace gave messages");
}

void BM_CutSnesLines(benchmark::State& state) {
  CutTrace<TSNESTraceFileLine>(state, "undisbeliever-wrmpyb-in-flight-snes9x.log");
}
void BM_CutSnesWaitLines(benchmark::State& state) {
  CutTrace<TSNESTraceFileLine>(state, "pvsneslib-hello_world-snes9x.log");
}
void BM_CutDebuggerLines(benchmark::State& state) {
  CutTrace<TDravikSNESTraceFileLine>(state, "undisbeliever-wrmpyb-in-flight-debugger.log");
}
void BM_CutDebuggerWaitLines(benchmark::State& state) {
  CutTrace<TDravikSNESTraceFileLine>(state, "pvsneslib-hello_world-debugger.log");
}

BENCHMARK(BM_CutSnesLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CutSnesWaitLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CutDebuggerLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CutDebuggerWaitLines)->Unit(benchmark::kMillisecond);

}  // namespace

ORVANEL_BENCHMARK_MAIN()
