// The import and conversion of generated logs (bench/log_generator.h) into a project, each
// measurement in a child process of its own so that its peak memory is its alone:
//  - a first-dialect log of a million lines (about 120 MB, 20,000 distinct addresses), and
//    the same trace in the debugger dialect;
//  - ten million lines;
//  - a log whose tree is 100,000 levels deep: converted, written, read back and freed;
//  - the plain conversion that walks lists (bench/literal_conversion.h) beside the
//    product's on 50,000 lines, with the ratio of the two.
// Times are wall-clock seconds measured in the child (manual time).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench_report.h"
#include "literal_conversion.h"
#include "project/ProjectSession.h"

namespace orvanel::bench {
namespace {

constexpr double kMB = 1024.0 * 1024.0;

TLogShape Shape(TLogDialect dialect, int64_t lines, int64_t addresses) {
  TLogShape shape;
  shape.Dialect = dialect;
  shape.Lines = lines;
  shape.Addresses = addresses;
  return shape;
}

// A project as "New" makes it: the program folder's register file and the Global scope.
std::unique_ptr<TSNESProject> NewProject(int type, TUserInterface& ui) {
  auto project = CreateProject(type, ui, RunFolder());
  project->ScopeManager()->GetScope("Global", true);
  return project;
}

int64_t Deepest(const TCodeTree& tree) {
  int64_t deepest = 0;
  std::vector<std::pair<const TTreeItem*, int64_t>> todo;
  for (const TTreeItem* top : tree.TopLevel()) todo.push_back({top, 0});
  while (!todo.empty()) {
    auto [item, level] = todo.back();
    todo.pop_back();
    deepest = std::max(deepest, level);
    for (const TTreeItem* child : item->Children()) todo.push_back({child, level + 1});
  }
  return deepest;
}

// ImportLog of a log file: reading, cutting and converting, as "New" does after the dialogs.
void ImportAndConvert(benchmark::State& state, const TGeneratedLog& log, int type,
                      bool interruptLevels = false) {
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = NewProject(type, ui);
      project->TraceLogDialog.FileName = log.Path;
      project->InterruptLevels = interruptLevels;
      const double start = Now();
      const double cpu = CpuNow();
      project->ImportLog();
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      v["items"] = static_cast<double>(project->Tree().Count());
      v["records"] = static_cast<double>(project->Store().Count());
      v["interrupts"] = static_cast<double>(project->InterruptCounts.Entered);
      v["messages"] = static_cast<double>(ui.Messages.size());
      v["heap_in_use_kb"] = static_cast<double>(HeapInUseBytes()) / 1024.0;
    });
    if (!Report(state, report, "seconds")) return;
    state.counters["log_MB"] = static_cast<double>(log.Stats.Bytes) / kMB;
    state.counters["peak_per_log_size"] =
        report["peak_rss_kb"] * 1024.0 / static_cast<double>(log.Stats.Bytes);
    state.counters["lines_per_s"] = static_cast<double>(log.Stats.Lines) / report["seconds"];
  }
}

void BM_ImportConvert_1M_FirstDialect(benchmark::State& state) {
  ImportAndConvert(state, GeneratedLog("first-1M", Shape(TLogDialect::First, 1'000'000, 20'000)),
                   1);
}

// The same log with interrupt levels on: every line is also checked for an interrupt entry.
void BM_ImportConvert_1M_FirstDialect_InterruptLevels(benchmark::State& state) {
  ImportAndConvert(state, GeneratedLog("first-1M", Shape(TLogDialect::First, 1'000'000, 20'000)), 1,
                   true);
}

void BM_ImportConvert_1M_DebuggerDialect(benchmark::State& state) {
  ImportAndConvert(state,
                   GeneratedLog("debugger-1M", Shape(TLogDialect::Debugger, 1'000'000, 20'000)), 2);
}

void BM_ImportConvert_10M_FirstDialect(benchmark::State& state) {
  ImportAndConvert(state, GeneratedLog("first-10M", Shape(TLogDialect::First, 10'000'000, 200'000)),
                   1);
}

// Converted, written to a trace data file, read back into a new project, and both freed.
void BM_DeepTree_100k_Levels(benchmark::State& state) {
  TLogShape shape = Shape(TLogDialect::First, 600'000, 20'000);
  shape.DeepRecursion = 100'000;
  const TGeneratedLog& log = GeneratedLog("deep-100k", shape);
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = NewProject(1, ui);
      project->TraceLogDialog.FileName = log.Path;
      double start = Now();
      project->ImportLog();
      v["convert_s"] = Now() - start;
      v["depth"] = static_cast<double>(Deepest(project->Tree()));
      const std::string data = RunFolder() + "deep.tfd";
      start = Now();
      project->WriteTraceData(data);
      v["write_s"] = Now() - start;

      auto reread = NewProject(1, ui);
      reread->TraceDataDialog.FileName = data;
      start = Now();
      reread->LoadTraceData();
      v["read_s"] = Now() - start;
      v["depth_read"] = static_cast<double>(Deepest(reread->Tree()));
      v["items"] = static_cast<double>(reread->Tree().Count());
      if (reread->Tree().Count() != project->Tree().Count())
        throw std::runtime_error("the tree read back has another size");
      start = Now();
      reread.reset();
      project.reset();
      v["free_s"] = Now() - start;
      v["messages"] = static_cast<double>(ui.Messages.size());
      v["total_s"] = v["convert_s"] + v["write_s"] + v["read_s"] + v["free_s"];
    });
    if (!Report(state, report, "total_s")) return;
  }
}

// The same 50,000 lines converted by the product and by the plain list walks.
void BM_LiteralVersusProduct_50k(benchmark::State& state) {
  const TGeneratedLog& log = GeneratedLog("first-50k", Shape(TLogDialect::First, 50'000, 5'000));
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      const TLogLines lines = TLogLines::FromFile(log.Path);

      auto ours = NewProject(1, ui);
      ours->LogLines() = TLogLines::FromFile(log.Path);
      double start = Now();
      double cpu = CpuNow();
      ours->ConvertLog();
      v["product_s"] = Now() - start;
      v["product_cpu_s"] = CpuNow() - cpu;

      auto host = NewProject(1, ui);
      TLiteralConversion literal(*host);
      start = Now();
      cpu = CpuNow();
      literal.ConvertLog(lines);
      v["literal_s"] = Now() - start;
      v["literal_cpu_s"] = CpuNow() - cpu;
      v["ratio"] = v["literal_cpu_s"] / v["product_cpu_s"];
      v["items"] = static_cast<double>(ours->Tree().Count());
      v["distinct_records"] = static_cast<double>(ours->Store().Count());
      if (literal.Tree().Count() != ours->Tree().Count() ||
          literal.CallDepth() != ours->CallDepth || literal.Errors() != 0)
        throw std::runtime_error("the two conversions disagree");
    });
    if (!Report(state, report, "literal_s")) return;
  }
}

BENCHMARK(BM_ImportConvert_1M_FirstDialect)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportConvert_1M_FirstDialect_InterruptLevels)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportConvert_1M_DebuggerDialect)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportConvert_10M_FirstDialect)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeepTree_100k_Levels)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralVersusProduct_50k)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
