// Symbols and listings on projects converted from generated first-dialect logs
// (bench/log_generator.h), each measurement in a child process of its own:
//  - importing a symbol file of 100,000 names (the trace's executed addresses and further
//    ROM addresses as labels, work RAM addresses as mappings) into a project of a million
//    lines, with 20,000 and with several hundred thousand records;
//  - importing a symbol file of 3,125,000 names (about 100 MB: half ROM labels, half
//    mappings) into a small project, with the peak resident memory of the process;
//  - writing those names back out as a WLA-DX symbol file;
//  - the listing of a code tree of 100,000 and of a million items, with the growth of the
//    resident memory while it is written (the peak is reset after the conversion, so the
//    figure is the export's alone).
// Times are wall-clock seconds measured in the child (manual time).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "bench_report.h"
#include "project/ProjectSession.h"
#include "symbols/Listing.h"
#include "symbols/SymbolExport.h"
#include "symbols/SymbolImport.h"

namespace orvanel::bench {
namespace {

constexpr double kMB = 1024.0 * 1024.0;

const TGeneratedLog& Log(int64_t lines, int64_t addresses = 20'000) {
  TLogShape shape;
  shape.Lines = lines;
  shape.Addresses = addresses;
  return GeneratedLog("first-" + std::to_string(lines) + "-" + std::to_string(addresses), shape);
}

std::unique_ptr<TSNESProject> Converted(const TGeneratedLog& log, TUserInterface& ui) {
  auto project = CreateProject(1, ui, RunFolder());
  project->ScopeManager()->GetScope("Global", true);
  project->TraceLogDialog.FileName = log.Path;
  project->ImportLog();
  return project;
}

// The kernel's high-water mark of this process's resident memory, which (unlike ru_maxrss)
// can be reset.
void ResetPeakRss() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
double PeakRssSinceResetKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  double value = 0;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 10, '\n');
  }
  return 0;
}

// 100,000 names in WLA-DX form: every executed address, then further ROM addresses as
// labels and work RAM addresses as mappings, half and half.
size_t WriteSymbolFile(TProject& project, const std::string& path, size_t count) {
  std::set<int64_t> used;
  for (const auto& line : project.Store().Lines())
    if (!line->IsComment()) used.insert(line->Offset());
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) throw std::runtime_error("cannot write " + path);
  std::fputs("; generated for the benchmark\n[labels]\n", f);
  size_t written = 0;
  auto write = [&](int64_t address) {
    std::fprintf(f, "%02x:%04x name_%06llx\n", static_cast<unsigned>(address >> 16),
                 static_cast<unsigned>(address & 0xFFFF), static_cast<unsigned long long>(address));
    ++written;
  };
  for (int64_t address : used)
    if (written < count) write(address);
  for (int64_t rom = 0xC08000; written < count / 2 + used.size() / 2 && rom < 0xFFFFFF; rom += 3)
    if ((rom & 0xFFFF) >= 0x8000 && !used.count(rom)) write(rom);
  for (int64_t ram = 0x7E0000; written < count; ram += 2) write(ram);
  std::fclose(f);
  return written;
}

// Argument: the program's instruction addresses (20,000 as in a long real trace; a million
// for a project of several hundred thousand records, which every added label is applied to).
void BM_ImportSymbols_100k_Into_1M(benchmark::State& state) {
  const TGeneratedLog& log = Log(1'000'000, state.range(0));
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = Converted(log, ui);
      const std::string file = RunFolder() + "names-100k.sym";
      v["names"] = static_cast<double>(WriteSymbolFile(*project, file, 100'000));
      const double start = Now();
      const double cpu = CpuNow();
      TSymbolImportResult r = ImportSymbols(*project, file);
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      if (!r.Read()) throw std::runtime_error(r.Error);
      v["labels"] = static_cast<double>(r.Labels);
      v["mappings"] = static_cast<double>(r.Mappings);
      v["items"] = static_cast<double>(project->Tree().Count());
      v["records"] = static_cast<double>(project->Store().Count());
      std::filesystem::remove(file);
    });
    if (!Report(state, report)) return;
  }
}

// 3,125,000 lines of 33 bytes: labels on the upper half of banks $80-$DF, mappings on the
// lower half of banks $00-$5F, each name 24 characters.
size_t WriteLargeSymbolFile(const std::string& path, size_t count) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) throw std::runtime_error("cannot write " + path);
  std::fputs("; generated for the benchmark\n[labels]\n", f);
  int64_t rom = 0x808000, ram = 0x000000;
  for (size_t i = 0; i < count; ++i) {
    int64_t& address = (i % 2 == 0) ? rom : ram;
    std::fprintf(f, "%02x:%04x sym_%06llx_%013zu\n", static_cast<unsigned>(address >> 16),
                 static_cast<unsigned>(address & 0xFFFF), static_cast<unsigned long long>(address),
                 i);
    address += 2;
    if (i % 2 == 0 && (address & 0xFFFF) == 0) address += 0x8000;       // the next bank's ROM
    if (i % 2 == 1 && (address & 0xFFFF) == 0x8000) address += 0x8000;  // the next bank's RAM
  }
  std::fclose(f);
  return count;
}

void BM_ImportSymbols_3M_100MB(benchmark::State& state) {
  const TGeneratedLog& log = Log(100'000);
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = Converted(log, ui);
      const std::string file = RunFolder() + "names-3m.sym";
      v["names"] = static_cast<double>(WriteLargeSymbolFile(file, 3'125'000));
      v["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / kMB;
      const double rssBefore = static_cast<double>(CurrentRssKb());
      ResetPeakRss();
      const double start = Now();
      const double cpu = CpuNow();
      TSymbolImportResult r = ImportSymbols(*project, file);
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      v["peak_MB"] = PeakRssSinceResetKb() / 1024.0;
      v["import_peak_over_start_MB"] = (PeakRssSinceResetKb() - rssBefore) / 1024.0;
      v["names_held_MB"] = (static_cast<double>(CurrentRssKb()) - rssBefore) / 1024.0;
      if (!r.Read()) throw std::runtime_error(r.Error);
      v["labels"] = static_cast<double>(r.Labels);
      v["mappings"] = static_cast<double>(r.Mappings);
      std::filesystem::remove(file);
    });
    if (!Report(state, report)) return;
  }
}

void BM_ExportSymbols_100k(benchmark::State& state) {
  const TGeneratedLog& log = Log(1'000'000);
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = Converted(log, ui);
      const std::string in = RunFolder() + "names-in.sym", out = RunFolder() + "names-out.sym";
      WriteSymbolFile(*project, in, 100'000);
      ImportSymbols(*project, in);
      const double start = Now();
      const double cpu = CpuNow();
      TSymbolExportResult r = ExportSymbols(*project, out, TSymbolFormat::Wla);
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      v["names"] = static_cast<double>(r.Labels + r.Mappings);
      std::filesystem::remove(in);
      std::filesystem::remove(out);
    });
    if (!Report(state, report)) return;
  }
}

void BM_ExportListing(benchmark::State& state) {
  const TGeneratedLog& log = Log(state.range(0));
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = Converted(log, ui);
      const std::string file = RunFolder() + "listing.txt";
      const double rssBefore = static_cast<double>(CurrentRssKb());
      ResetPeakRss();
      const double start = Now();
      const double cpu = CpuNow();
      ExportListing(*project, file);
      v["seconds"] = Now() - start;
      v["cpu_seconds"] = CpuNow() - cpu;
      v["export_peak_over_start_kb"] = PeakRssSinceResetKb() - rssBefore;
      v["items"] = static_cast<double>(project->Tree().Count());
      v["file_MB"] = static_cast<double>(std::filesystem::file_size(file)) / kMB;
      std::filesystem::remove(file);
    });
    if (!Report(state, report)) return;
  }
}

BENCHMARK(BM_ImportSymbols_100k_Into_1M)
    ->Arg(20'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportSymbols_3M_100MB)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportSymbols_100k)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportListing)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
