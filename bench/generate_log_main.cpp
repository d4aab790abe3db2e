// orvanel-generate-log: writes a synthetic trace log of either dialect for benchmarks and
// trials, or (--check) converts a few small generated logs and checks that the conversion
// takes them as the generator meant: no message, one item per instruction line, the
// levels and returns it expected.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "bench_support.h"
#include "log_generator.h"
#include "project/ProjectSession.h"

namespace {

using orvanel::bench::TLogDialect;
using orvanel::bench::TLogShape;
using orvanel::bench::TLogStats;

const char* const kUsage =
    "Usage: orvanel-generate-log [options] OUTPUT.log\n"
    "       orvanel-generate-log --check\n"
    "\n"
    "Options:\n"
    "  --debugger        the debugger dialect (default: the first dialect)\n"
    "  --lines N         lines to write (default 1000000)\n"
    "  --addresses N     instruction addresses of the program (default 20000)\n"
    "  --depth N         levels of ordinary calls below a task (default 8)\n"
    "  --deep N          once, a routine calls itself N levels deep (default: no)\n"
    "  --seed N          (default 1)\n"
    "  --no-comments     no \"//\" comments and no \"--- frame N ---\" markers\n"
    "\n"
    "--check converts small generated logs of both dialects in memory and reports any\n"
    "difference from what the generator expected; its exit status is 0 when there is none.\n";

void PrintStats(const TLogStats& s) {
  std::printf(
      "lines %lld  bytes %lld  (%.1f per line, longest %lld)\n"
      "instruction lines %lld  distinct addresses %lld of %lld  WAI %lld  MVN %lld\n"
      "frame markers %lld  comments %lld  interrupts %lld  returns %lld\n"
      "calls taken %lld, not taken %lld  upsteps %lld  deepest level %lld  open at end %lld\n"
      "tree items expected %lld\n",
      static_cast<long long>(s.Lines), static_cast<long long>(s.Bytes),
      s.Lines ? static_cast<double>(s.Bytes) / static_cast<double>(s.Lines) : 0.0,
      static_cast<long long>(s.LongestLine), static_cast<long long>(s.InstructionLines),
      static_cast<long long>(s.DistinctAddresses), static_cast<long long>(s.ProgramAddresses),
      static_cast<long long>(s.WaitLines), static_cast<long long>(s.MoveLines),
      static_cast<long long>(s.FrameMarkers), static_cast<long long>(s.CommentLines),
      static_cast<long long>(s.Interrupts), static_cast<long long>(s.Returns),
      static_cast<long long>(s.TakenCalls), static_cast<long long>(s.UntakenCalls),
      static_cast<long long>(s.Upsteps), static_cast<long long>(s.DeepestLevel),
      static_cast<long long>(s.OpenLevelsAtEnd), static_cast<long long>(s.ExpectedItems));
}

// Converts one generated log in memory and compares the project with the generator's view.
bool CheckOne(const TLogShape& shape, const char* name, TLogStats& stats) {
  std::string text = orvanel::bench::GenerateLogText(shape, &stats);
  orvanel::bench::TNullUserInterface ui;
  auto project = orvanel::CreateProject(shape.Dialect == TLogDialect::First ? 1 : 2, ui, "");
  project->ScopeManager()->GetScope("Global", true);
  project->LogLines() = orvanel::TLogLines::FromBytes(std::move(text));
  project->ImportLog();

  int64_t instructionRecords = 0;
  for (orvanel::TTraceFileLine* line : project->OffsetIndex().InOrder())
    if (!line->IsComment()) ++instructionRecords;
  int64_t deepest = 0;
  {
    // Levels counted along the way down, without asking each item for its level.
    std::vector<std::pair<const orvanel::TTreeItem*, int64_t>> todo;
    for (const orvanel::TTreeItem* top : project->Tree().TopLevel()) todo.push_back({top, 0});
    while (!todo.empty()) {
      auto [item, level] = todo.back();
      todo.pop_back();
      deepest = std::max(deepest, level);
      for (const orvanel::TTreeItem* child : item->Children()) todo.push_back({child, level + 1});
    }
  }

  bool ok = true;
  auto expect = [&](bool condition, const std::string& what) {
    if (!condition) {
      std::printf("  %s: %s\n", name, what.c_str());
      ok = false;
    }
  };
  expect(ui.Messages.empty(),
         "the conversion gave messages, the first: " + (ui.Messages.empty() ? "" : ui.Messages[0]));
  expect(static_cast<int64_t>(project->Tree().Count()) == stats.ExpectedItems,
         "tree items " + std::to_string(project->Tree().Count()) + ", expected " +
             std::to_string(stats.ExpectedItems));
  expect(project->CallDepth == stats.OpenLevelsAtEnd,
         "CallDepth " + std::to_string(project->CallDepth) + ", expected " +
             std::to_string(stats.OpenLevelsAtEnd));
  expect(instructionRecords == stats.DistinctAddresses,
         "records " + std::to_string(instructionRecords) + ", distinct addresses " +
             std::to_string(stats.DistinctAddresses));
  expect(stats.Upsteps > 0, "no return left the starting routine");
  expect(stats.LongestLine <= 255, "a line is longer than 255 characters");
  expect(deepest >= stats.DeepestLevel, "the tree is shallower than the deepest level");
  if (!ok) PrintStats(stats);
  std::printf("%-34s %s  (%lld lines, %lld addresses, %lld items, depth %lld)\n", name,
              ok ? "ok" : "FAILED", static_cast<long long>(stats.Lines),
              static_cast<long long>(stats.DistinctAddresses),
              static_cast<long long>(stats.ExpectedItems), static_cast<long long>(deepest));
  return ok;
}

int Check() {
  bool ok = true;
  for (TLogDialect dialect : {TLogDialect::First, TLogDialect::Debugger}) {
    const std::string d = dialect == TLogDialect::First ? "first" : "debugger";
    TLogStats all;  // every kind of line must occur in the logs of a dialect
    auto check = [&](const TLogShape& shape, const std::string& name) {
      TLogStats stats;
      ok &= CheckOne(shape, name.c_str(), stats);
      all.TakenCalls += stats.TakenCalls;
      all.UntakenCalls += stats.UntakenCalls;
      all.Interrupts += stats.Interrupts;
      all.WaitLines += stats.WaitLines;
      all.MoveLines += stats.MoveLines;
      all.CommentLines += stats.CommentLines;
      all.FrameMarkers += stats.FrameMarkers;
    };
    for (uint64_t seed : {1u, 2u, 3u}) {
      TLogShape shape;
      shape.Dialect = dialect;
      shape.Seed = seed;
      shape.Lines = 60'000;
      shape.Addresses = 2'000;
      shape.MaxDepth = static_cast<int>(3 + seed * 2);
      check(shape, d + " seed " + std::to_string(seed));
    }
    TLogShape plain;
    plain.Dialect = dialect;
    plain.Lines = 30'000;
    plain.Addresses = 1'000;
    plain.Comments = false;
    check(plain, d + " without comments");
    TLogShape deep;
    deep.Dialect = dialect;
    deep.Lines = 40'000;
    deep.Addresses = 1'000;
    deep.DeepRecursion = 5'000;
    check(deep, d + " 5000 levels deep");
    if (all.TakenCalls == 0 || all.UntakenCalls == 0 || all.Interrupts == 0 || all.WaitLines == 0 ||
        all.MoveLines == 0 || all.CommentLines == 0 || all.FrameMarkers == 0) {
      std::printf("%s: a kind of line is missing from every log\n", d.c_str());
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

bool ReadNumber(const char* text, int64_t& value) {
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || v < 0) return false;
  value = v;
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--check") == 0) return Check();
  TLogShape shape;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    int64_t value = 0;
    auto number = [&](int64_t& into) {
      if (i + 1 >= argc || !ReadNumber(argv[++i], value)) return false;
      into = value;
      return true;
    };
    int64_t depth = shape.MaxDepth;
    int64_t seed = static_cast<int64_t>(shape.Seed);
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--debugger") {
      shape.Dialect = TLogDialect::Debugger;
    } else if (a == "--no-comments") {
      shape.Comments = false;
    } else if (a == "--lines" && number(shape.Lines)) {
    } else if (a == "--addresses" && number(shape.Addresses)) {
    } else if (a == "--deep" && number(shape.DeepRecursion)) {
    } else if (a == "--depth" && number(depth) && depth >= 1 && depth <= 64) {
      shape.MaxDepth = static_cast<int>(depth);
    } else if (a == "--seed" && number(seed)) {
      shape.Seed = static_cast<uint64_t>(seed);
    } else if (!a.empty() && a[0] != '-' && output.empty()) {
      output = a;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    PrintStats(orvanel::bench::WriteLogFile(shape, output));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvanel-generate-log: %s\n", e.what());
    return 1;
  }
  return 0;
}
