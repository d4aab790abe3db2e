// The offset index under the load of a long trace: every log line registers a record and
// looks up an address (a branch target, a code cache twin). The plain list walk that the
// index stands for runs the same work on a smaller size, so the two can be compared.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "LiteralOffsetIndex.h"
#include "bench_report.h"
#include "tree/OffsetIndex.h"

namespace orvanel::bench {
namespace {

using test::SnesFallsThrough;
using test::TLiteralIndex;

struct TStep {
  int64_t offset;  // the line's address (0 for a comment line)
  bool comment;
  int64_t lookUp;  // the address looked up after the registration
};

// A trace of `steps` lines over `addresses` distinct instruction addresses in random order,
// with a comment line now and then; the look-ups hit known and unknown addresses.
struct TWorkload {
  TWorkload(int64_t steps, int64_t addresses) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> address(0, addresses - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    for (int64_t i = 0; i < steps; ++i) {
      const bool comment = percent(random) < 2;
      const int64_t offset = comment ? 0 : kBase + 2 * address(random);
      trace.push_back({offset, comment, kBase + 2 * address(random) + percent(random) % 2});
    }
    // Enough records for every line that may be kept, plus the one being tried.
    for (int64_t i = 0; i <= steps && i <= addresses + steps / 20 + 1; ++i) {
      auto line = std::make_unique<TTraceFileLine>();
      line->SetOpcodeLen(2);
      line->SetOpcodeVal(i % 16 == 0 ? 0x60 : 0xD0);
      records.push_back(std::move(line));
    }
  }

  // Registers each line as the conversion does: a new record is tried, and kept only when
  // the index took it.
  template <typename Index>
  void Run(Index& index, benchmark::State& state) {
    size_t next = 0;
    for (const TStep& step : trace) {
      TTraceFileLine* line = records[next].get();
      line->SetOffset(step.offset);
      line->SetIsComment(step.comment);
      line->SetTargetOffset(step.offset + 2);
      if (index.Register(line) == line && next + 1 < records.size()) ++next;
      benchmark::DoNotOptimize(index.Find(step.lookUp));
    }
    state.counters["kept"] = static_cast<double>(next);
  }

  static constexpr int64_t kBase = 0x808000;
  std::vector<TStep> trace;
  std::vector<std::unique_ptr<TTraceFileLine>> records;
};

void BM_OffsetIndex(benchmark::State& state) {
  TWorkload work(state.range(0), state.range(1));
  for (auto _ : state) {
    TOffsetIndex index(SnesFallsThrough);
    work.Run(index, state);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}

void BM_LiteralListWalk(benchmark::State& state) {
  TWorkload work(state.range(0), state.range(1));
  for (auto _ : state) {
    TLiteralIndex index(SnesFallsThrough);
    work.Run(index, state);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}

// Arguments: log lines (each one registration and one look-up), distinct addresses.
BENCHMARK(BM_OffsetIndex)
    ->Args({1'000'000, 50'000})
    ->Args({50'000, 2'500})
    ->Args({50'000, 10'000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralListWalk)
    ->Args({50'000, 2'500})
    ->Args({50'000, 10'000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
