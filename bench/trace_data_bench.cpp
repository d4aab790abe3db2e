// The trace data file of the tree converted from a generated first-dialect log of a million
// lines (bench/log_generator.h): writing it, and reading it back into a new project with
// every index (offset index, pending targets, target index, scopes and labels). Each
// measurement runs in a child process of its own, so that its peak memory is its alone.
// Times are wall-clock seconds measured in the child (manual time).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench_report.h"
#include "project/ProjectSession.h"

namespace orvanel::bench {
namespace {

constexpr double kMB = 1024.0 * 1024.0;

const TGeneratedLog& Log1M() {
  TLogShape shape;
  shape.Lines = 1'000'000;
  shape.Addresses = 20'000;
  return GeneratedLog("first-1M", shape);
}

std::unique_ptr<TSNESProject> NewProject(TUserInterface& ui) {
  auto project = CreateProject(1, ui, RunFolder());
  project->ScopeManager()->GetScope("Global", true);
  return project;
}

// The trace data file of the 1M log, written once by a child for the reading benchmark.
const std::string& DataFile1M() {
  static const std::string path = [] {
    const std::string file = RunFolder() + "first-1M.tfd";
    const TGeneratedLog& log = Log1M();
    TChildReport report = RunInChild([&](std::map<std::string, double>&) {
      TNullUserInterface ui;
      auto project = NewProject(ui);
      project->TraceLogDialog.FileName = log.Path;
      project->ImportLog();
      project->WriteTraceData(file);
    });
    if (!report.Ok()) throw std::runtime_error(report.Error);
    return file;
  }();
  return path;
}

void BM_WriteTraceData_1M(benchmark::State& state) {
  const TGeneratedLog& log = Log1M();
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = NewProject(ui);
      project->TraceLogDialog.FileName = log.Path;
      project->ImportLog();
      const std::string file = RunFolder() + "write-1M.tfd";
      const double start = Now();
      const double cpu = CpuNow();
      project->WriteTraceData(file);
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      v["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / kMB;
      v["items"] = static_cast<double>(project->Tree().Count());
      std::filesystem::remove(file);
    });
    if (!Report(state, report)) return;
  }
}

void BM_ReadTraceData_1M(benchmark::State& state) {
  const std::string& file = DataFile1M();
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = NewProject(ui);
      project->TraceDataDialog.FileName = file;
      const double heapBefore = static_cast<double>(HeapInUseBytes());
      const double rssBefore = static_cast<double>(CurrentRssKb());
      const double start = Now();
      const double cpu = CpuNow();
      project->LoadTraceData();
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      // The tree's own size: what stays allocated once it is read.
      const double tree = static_cast<double>(HeapInUseBytes()) - heapBefore;
      v["tree_MB"] = tree / kMB;
      v["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / kMB;
      v["peak_over_start_MB"] = (static_cast<double>(PeakRssKb()) - rssBefore) / 1024.0;
      v["peak_above_tree_MB"] = v["peak_over_start_MB"] - v["tree_MB"];
      v["items"] = static_cast<double>(project->Tree().Count());
      v["records"] = static_cast<double>(project->Store().Count());
      v["target_index_entries"] = static_cast<double>(project->TargetIndex().Count());
      v["messages"] = static_cast<double>(ui.Messages.size());
    });
    if (!Report(state, report)) return;
  }
}

// The project of the 1M log saved with all five files, made once by a child for the opening
// benchmark.
const std::string& ProjectFile1M() {
  static const std::string path = [] {
    const std::string file = RunFolder() + "project-1M.tfp";
    const TGeneratedLog& log = Log1M();
    TChildReport report = RunInChild([&](std::map<std::string, double>&) {
      TNullUserInterface ui;
      TConvertOptions options;
      options.LogFile = log.Path;
      options.ProjectFile = file;
      options.ProgramDir = RunFolder();
      if (!ConvertLogToProject(options, ui)) throw std::runtime_error("project not saved");
    });
    if (!report.Ok()) throw std::runtime_error(report.Error);
    return file;
  }();
  return path;
}

// "Open Project" of that project: the project file, the code cache, the map and label
// files and the trace data file with every index.
void BM_OpenProject_1M(benchmark::State& state) {
  const std::string& file = ProjectFile1M();
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      const double start = Now();
      const double cpu = CpuNow();
      auto project = OpenProject(file, ui, RunFolder());
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      v["peak_rss_MB"] = static_cast<double>(PeakRssKb()) / 1024.0;
      v["items"] = static_cast<double>(project->Tree().Count());
      v["messages"] = static_cast<double>(ui.Messages.size());
    });
    if (!Report(state, report)) return;
  }
}

BENCHMARK(BM_WriteTraceData_1M)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTraceData_1M)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenProject_1M)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
