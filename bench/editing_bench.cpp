// Editing a code tree of a million items: deleting and moving a hundred thousand selected
// nodes, with every clean-up a deletion does (offset index, links across the project and its
// code cache, scopes, mappings, labels, pending targets, target index, observers).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/SilentUserInterface.h"
#include "base/TextUtils.h"
#include "bench_report.h"
#include "editing/Clipboard.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

constexpr int kItems = 1'000'000;
constexpr size_t kSelected = 100'000;
constexpr int kCachedItems = 10'000;

// Flat: a million top-level items, every tenth selected. Subtrees: 200,000 top-level items
// with four children each, every other one selected (half a million items go).
enum TShape { kFlat = 0, kSubtrees = 1 };
int Children(int shape) {
  return shape == kFlat ? 0 : 4;
}
size_t Step(int shape) {
  return shape == kFlat ? 10 : 2;
}

// Says Yes to the delete question; everything else as the silent interface.
class TQuietUserInterface : public TSilentUserInterface {
 public:
  TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Yes; }
};

// Holds the record of every deleted item as the visit history would.
class TCountingObserver : public TEditObserver {
 public:
  explicit TCountingObserver(TProject& project) { Watch(project.EditEvents()); }
  void ItemsGoing(const TRemoval& removal) override { Items += removal.Items.size(); }
  void LinesGone(const TRemoval& removal) override { Lines += removal.Lines.size(); }
  size_t Items = 0, Lines = 0;
};

// A line of the first dialect, column for column.
std::string FirstDialectLine(int64_t offset, const std::string& bytes, const std::string& text) {
  std::string s = "$" + IntToHex((offset >> 16) & 0xFF, 2) + "/" + IntToHex(offset & 0xFFFF, 4);
  s += "  " + bytes;
  s.resize(std::max<size_t>(s.size(), 23), ' ');
  s += text;
  s.resize(std::max<size_t>(s.size(), 44), ' ');
  return s + " A:0000 X:0000 Y:0000 D:0000 DB:00 S:01FF P:envMXdizc HC:1234 VC:0120 FC:00";
}

std::string Bracket(int64_t address) {
  return " [$" + IntToHex((address >> 16) & 0xFF, 2) + ":" + IntToHex(address & 0xFFFF, 4) + "]";
}

// The log line of record r: mostly data reads of the register area, every tenth a branch
// back, every fiftieth a jump to an address that is never met.
std::string LineText(int r, int64_t offset) {
  if (r % 50 == 49) {
    int64_t target = (offset & 0xFF0000) | 0x0100 | (r & 0xFF);
    return FirstDialectLine(offset, "4C 00 01",
                            "JMP $" + IntToHex(target & 0xFFFF, 4) + Bracket(target));
  }
  if (r % 10 == 9)
    return FirstDialectLine(offset, "D0 F2", "BNE $F2" + Bracket(offset - 12));  // record r-4
  int64_t data = 0x7E2100 + r % 64;
  return FirstDialectLine(offset, "AD 00 21", "LDA $" + IntToHex(data & 0xFFFF, 4) + Bracket(data));
}

struct TWorld {
  TQuietUserInterface ui;
  std::unique_ptr<TSNESProject> project;
};

// A million items showing `records` records (each record shown by every item whose position
// is equal modulo `records`), with a scope mapping, labels, targets and a code cache that
// holds copies of the first nodes, twinned with the project's lines.
std::unique_ptr<TWorld> BuildWorld(int shape, int records) {
  auto world = std::make_unique<TWorld>();
  world->project = CreateProject(1, world->ui, "");
  TSNESProject& p = *world->project;
  TScopeNode* global = p.ScopeManager()->GetScope("Global", true);
  p.ScopeManager()->AddMapping(global, "INIDISP", "$7E2100");

  std::vector<TTraceFileLine*> lines(static_cast<size_t>(records));
  for (int r = 0; r < records; ++r) {
    int64_t offset = 0x808000 + 3 * static_cast<int64_t>(r);
    TTraceFileLine* line =
        p.RegisterInIndex(p.Adopt(p.CreateLine(LineText(r, offset), false, nullptr)));
    line->AttachScope(global);
    if (r % 100 == 0)
      line->SetOffsetLabel(p.LabelManager()->AddLabel("$" + IntToHex(offset, 6), "l"));
    if (line->IsFlow() && !line->TargetNode()) {
      line->SetTargetNode(p.FindInIndex(line->TargetOffset()));
      if (!line->TargetNode()) p.PendingTargets().Add(line->TargetOffset(), line);
    }
    if (line->HasTarget()) p.TargetIndex().Add(line->TargetOffset(), line);
    lines[static_cast<size_t>(r)] = line;
  }
  p.FirstLine = lines[0];

  TCodeTree& tree = p.Tree();
  size_t k = 0;
  auto next = [&] { return lines[k++ % lines.size()]; };
  const int children = Children(shape);
  for (int t = 0; t < kItems / (children + 1); ++t) {
    TTreeItem* top = tree.AddChild(nullptr, next());
    for (int c = 0; c < children; ++c) tree.AddChild(top, next());
  }

  TSNESCodeCache& cache = *p.CodeCache();
  for (int t = 0; t < kCachedItems / (children + 1); ++t)
    cache.CopySubtree(tree.TopLevel()[static_cast<size_t>(t)], nullptr, nullptr, 0, -1);
  for (const auto& copy : cache.Store().Lines())
    if (TTraceFileLine* twin = p.FindInIndex(copy->Offset())) {
      copy->SetCacheTwin(twin);
      twin->SetCacheTwin(copy.get());
    }
  return world;
}

// Selects every step-th top-level node (from `first` on); returns the others.
std::vector<TTreeItem*> SelectTopLevelNodes(TCodeTree& tree, size_t step, size_t first = 0) {
  tree.ClearSelection();
  std::vector<TTreeItem*> top = tree.TopLevel(), others;
  for (size_t i = 0; i < top.size(); ++i) {
    if (i % step == first && tree.Selection().size() < kSelected)
      tree.Select(top[i], true);
    else
      others.push_back(top[i]);
  }
  return others;
}

// Arguments: the shape, the number of records.
void BM_DeleteHundredThousandNodes(benchmark::State& state) {
  const int shape = static_cast<int>(state.range(0));
  size_t freed = 0, items = 0;
  double closeSeconds = 0;  // freeing the whole project afterwards (not timed)
  for (auto _ : state) {
    state.PauseTiming();
    auto world = BuildWorld(shape, static_cast<int>(state.range(1)));
    TSNESProject& p = *world->project;
    SelectTopLevelNodes(p.Tree(), Step(shape), 1);
    TClipboard clipboard;  // holds nodes that stay
    clipboard.Copy(p);
    SelectTopLevelNodes(p.Tree(), Step(shape));
    TCountingObserver observer(p);
    state.ResumeTiming();

    p.DeleteSelection();

    state.PauseTiming();
    freed = observer.Lines;
    items = observer.Items;
    const auto closing = std::chrono::steady_clock::now();
    world.reset();
    closeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count();
    state.ResumeTiming();
  }
  state.counters["items deleted"] = static_cast<double>(items);
  state.counters["records freed"] = static_cast<double>(freed);
  state.counters["close_s"] = closeSeconds;
}

// Argument: Ctrl held.
void BM_DropHundredThousandNodes(benchmark::State& state) {
  auto world = BuildWorld(kFlat, kItems);
  TSNESProject& p = *world->project;
  std::vector<TTreeItem*> targets = SelectTopLevelNodes(p.Tree(), Step(kFlat));
  auto drag = p.StartDrag();
  p.ControlDown = state.range(0) != 0;
  bool toFront = true;
  for (auto _ : state) {
    // Before a node that is not dragged (or, with Ctrl, under it), at one end, then the other.
    p.CodeDragDrop(drag.get(), toFront ? targets.front() : targets.back());
    toFront = !toFront;
  }
  state.counters["items"] = static_cast<double>(p.Tree().Count());
}

void BM_PasteHundredThousandNodes(benchmark::State& state) {
  auto world = BuildWorld(kFlat, kItems);
  TSNESProject& p = *world->project;
  std::vector<TTreeItem*> targets = SelectTopLevelNodes(p.Tree(), Step(kFlat));
  TClipboard clipboard;
  clipboard.Copy(p);
  bool toFront = true;
  for (auto _ : state) {
    p.Tree().Select(toFront ? targets.front() : targets.back(), false);
    clipboard.Paste(p);
    toFront = !toFront;
  }
}

// Every item its own record (every deleted item frees one), or the 20,000 addresses of a
// long real trace (each shown fifty times), or 100,000.
BENCHMARK(BM_DeleteHundredThousandNodes)
    ->ArgNames({"subtrees", "records"})
    ->Args({kFlat, kItems})
    ->Args({kFlat, 20'000})
    ->Args({kSubtrees, kItems})
    ->Args({kSubtrees, 100'000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_DropHundredThousandNodes)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_PasteHundredThousandNodes)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace orvanel

ORVANEL_BENCHMARK_MAIN()
