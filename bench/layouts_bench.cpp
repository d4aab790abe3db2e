// The conversion of real logs in the emulators' own layouts beside the first dialect, per
// instruction line: snes9x's own log (with its status lines) against the first-dialect log
// of the same execution, and Mesen2's 300,000-line log against a first-dialect log of as many
// lines of the same program. Each measurement runs in a child of its own, so its peak memory
// is its alone. Times are wall-clock seconds measured in the child (manual time).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "bench_report.h"
#include "project/ProjectSession.h"
#include "records/TraceLayouts.h"

namespace orvanel::bench {
namespace {

std::string TraceFile(const std::string& name) {
  return std::string(ORVANEL_TRACES_DIR) + "/" + name;
}

// The first-dialect sample written again and again into one file of `lines` lines.
const std::string& RepeatedFirstDialect(size_t lines) {
  static const std::string path = [lines] {
    std::ifstream in(TraceFile("pvsneslib-hello_world-snes9x-nocomments.log"));
    std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string file = RunFolder() + "first-repeated.log";
    std::ofstream out(file, std::ios::binary);
    const size_t perCopy = static_cast<size_t>(std::count(sample.begin(), sample.end(), '\n'));
    for (size_t written = 0; written < lines; written += perCopy) out << sample;
    return file;
  }();
  return path;
}

void ImportAndConvert(benchmark::State& state, const std::string& path, int type) {
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = CreateProject(type, ui, RunFolder());
      project->ScopeManager()->GetScope("Global", true);
      project->TraceLogDialog.FileName = path;
      const double start = Now();
      project->ImportLog();
      v["seconds"] = Now() - start;
      v["items"] = static_cast<double>(project->Tree().Count());
    });
    if (!Report(state, report, "seconds")) return;
    const double bytes = static_cast<double>(std::filesystem::file_size(path));
    state.counters["log_MB"] = bytes / (1024.0 * 1024.0);
    state.counters["peak_per_log_size"] = report["peak_rss_kb"] * 1024.0 / bytes;
    state.counters["us_per_item"] = report["seconds"] * 1e6 / report["items"];
  }
}

int TypeOf(const char* option) {
  return LayoutByOption(option)->ProjectType;
}

void BM_FirstDialect_10k(benchmark::State& state) {
  ImportAndConvert(state, TraceFile("pvsneslib-hello_world-snes9x-nocomments.log"), 1);
}
void BM_Snes9xOwnLog_10k(benchmark::State& state) {
  ImportAndConvert(state, TraceFile("pvsneslib-hello_world-raw.log"), TypeOf("snes9x-raw"));
}
void BM_FirstDialect_10k_Irq(benchmark::State& state) {
  ImportAndConvert(state, TraceFile("undisbeliever-wrmpyb-in-flight-snes9x-nocomments.log"), 1);
}
void BM_Snes9xOwnLog_10k_Irq(benchmark::State& state) {
  ImportAndConvert(state, TraceFile("undisbeliever-wrmpyb-in-flight-raw.log"),
                   TypeOf("snes9x-raw"));
}
void BM_FirstDialect_300k(benchmark::State& state) {
  ImportAndConvert(state, RepeatedFirstDialect(300'000), 1);
}
void BM_Mesen2_300k(benchmark::State& state) {
  ImportAndConvert(state, TraceFile("pvsneslib-hello_world-mesen2-cpuonly.log"), TypeOf("mesen2"));
}

BENCHMARK(BM_FirstDialect_10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Snes9xOwnLog_10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FirstDialect_10k_Irq)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Snes9xOwnLog_10k_Irq)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FirstDialect_300k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Mesen2_300k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
