// Navigation and search on the project of a generated log: each figure is one press of a
// command as the window runs it, without widgets (the window only shows the result).
//  - the first goto after a conversion or an edit works out the positions of all items,
//    unless its answer lies within the stretch it walks from the first item first;
//  - a text and a target search that walk the whole tree ("Code Tree Searched!");
//  - presses whose match lies a few items after the search position, at several places;
//  - "Goto Next OpCode", "Goto previous Opcode", "Goto Target Node", Back and Forward;
//  - a selection change with the texts of the status bar, the registers and the memo.
// One child process converts the log once and measures everything (manual time: the whole
// walk of the text search); the worst of the repeated presses is reported.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench_report.h"
#include "logic/NavigationState.h"
#include "logic/StatusTexts.h"
#include "logic/TreePositions.h"
#include "project/ProjectSession.h"
#include "records/ItemRegisters.h"

namespace orvanel::bench {
namespace {

TLogShape Shape(int64_t lines, int64_t addresses) {
  TLogShape shape;
  shape.Lines = lines;
  shape.Addresses = addresses;
  return shape;
}

// Seconds of the slowest of the calls, and their mean.
struct TWorst {
  double Max = 0;
  double Sum = 0;
  int Count = 0;
  template <typename Fn>
  void Time(Fn fn) {
    const double start = Now();
    fn();
    const double t = Now() - start;
    Max = std::max(Max, t);
    Sum += t;
    ++Count;
  }
  void Put(std::map<std::string, double>& v, const std::string& name) const {
    v[name + "_max_ms"] = Max * 1000.0;
    v[name + "_mean_ms"] = Count ? Sum / Count * 1000.0 : 0.0;
  }
};

void Navigate(benchmark::State& state, const TGeneratedLog& log) {
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TNullUserInterface ui;
      auto project = CreateProject(1, ui, RunFolder());
      project->ScopeManager()->GetScope("Global", true);
      project->TraceLogDialog.FileName = log.Path;
      project->ImportLog();
      const size_t n = project->Tree().Count();
      v["items"] = static_cast<double>(n);

      // The floor of any whole walk: stepping through the items in display order.
      double start = Now();
      double cpu = CpuNow();
      size_t walked = 0;
      project->Tree().ForEach([&](TTreeItem*) { ++walked; });
      v["plain_walk_s"] = Now() - start;
      v["plain_walk_cpu_s"] = CpuNow() - cpu;
      benchmark::DoNotOptimize(walked);

      nav::TNavigationState nav;
      nav.Open(*project);
      start = Now();
      cpu = CpuNow();
      const nav::TTreePositions& positions = nav.Positions();
      v["positions_build_s"] = Now() - start;
      v["positions_build_cpu_s"] = CpuNow() - cpu;

      // Whole walks: nothing matches, so every item is examined.
      nav.SearchPos = 0;
      start = Now();
      cpu = CpuNow();
      nav::TSearchOutcome text = nav.SearchText("no line holds this", 1);
      v["text_whole_tree_s"] = Now() - start;
      v["text_whole_tree_cpu_s"] = CpuNow() - cpu;
      nav.SearchPos = 0;
      start = Now();
      nav::TSearchOutcome target = nav.SearchTarget("$FFFFFFF", 1);
      v["target_whole_tree_s"] = Now() - start;
      if (text.Item || target.Item) throw std::runtime_error("a whole walk found something");

      // Matches a few items after the position, wherever the position stands.
      TWorst textNear, targetNear, offsetNext;
      std::mt19937_64 random(7);
      std::vector<size_t> places{0, n / 4, n / 2, 3 * n / 4, n - 10};
      for (int i = 0; i < 200; ++i) places.push_back(random() % (n - 10));
      for (size_t p : places) {
        const TTraceFileLine* line = positions.ItemAt(p + 3)->Line();
        nav.SearchPos = static_cast<int32_t>(p);
        textNear.Time([&] { nav.SearchText(line->LineText(), 1); });
        nav.SearchPos = static_cast<int32_t>(p);
        targetNear.Time([&] { nav.SearchTarget(std::to_string(line->TargetOffset()), 1); });
        nav.SearchPos = static_cast<int32_t>(p);
        nav.OffsetSearch = {false, true};
        offsetNext.Time([&] { nav.GotoOffset(line->Offset()); });
        nav.OffsetSearch = {};
      }
      textNear.Put(v, "text_near");
      targetNear.Put(v, "target_near");
      offsetNext.Put(v, "offset_find_next");

      // Gotos from items all over the tree.
      TWorst next, previous, toTarget, select, back, forward;
      std::vector<TTreeItem*> visited;
      for (int i = 0; i < 1000; ++i) {
        TTreeItem* item = positions.ItemAt(random() % n);
        const TTraceFileLine& line = *item->Line();
        next.Time([&] { nav.GotoNextOpcode(line); });
        previous.Time([&] { nav.GotoPreviousOpcode(line.Offset()); });
        toTarget.Time([&] { nav.TargetNode(line); });
        select.Time([&] {
          auto effects = nav.SelectionChanged(item);
          if (effects.UpdatePanels) {
            auto texts = StatusTexts(*item->Registers());
            auto status = OffsetStatusText(line);
            auto memo = nav::CommentToMemo(line.Comment());
            benchmark::DoNotOptimize(texts);
            benchmark::DoNotOptimize(status);
            benchmark::DoNotOptimize(memo);
          }
        });
      }
      while (nav.History().CanGoBack()) back.Time([&] { nav.History().Back(); });
      while (nav.History().CanGoForward()) forward.Time([&] { nav.History().Forward(); });
      next.Put(v, "goto_next");
      previous.Put(v, "goto_previous");
      toTarget.Put(v, "goto_target");
      select.Put(v, "selection_change");
      back.Put(v, "back");
      forward.Put(v, "forward");

      // The first press after inserting a comment line: the gotos read the positions from
      // before and the inserted lines. The items are picked while the positions stand; an
      // insertion frees none.
      TWorst nextAfterInsert, previousAfterInsert, targetAfterInsert;
      std::vector<TTreeItem*> picks;
      for (int i = 0; i < 60; ++i) picks.push_back(positions.ItemAt(random() % n));
      size_t workedOut = nav.PositionsWorkedOut();
      for (size_t i = 0; i < picks.size(); ++i) {
        const TTraceFileLine& line = *picks[i]->Line();
        project->Tree().Select(picks[i], false);
        if (!project->InsertComment()) throw std::runtime_error("no comment line inserted");
        switch (i % 3) {
          case 0:
            nextAfterInsert.Time([&] { nav.GotoNextOpcode(line); });
            break;
          case 1:
            previousAfterInsert.Time([&] { nav.GotoPreviousOpcode(line.Offset()); });
            break;
          default:
            targetAfterInsert.Time([&] { nav.TargetNode(line); });
        }
      }
      nextAfterInsert.Put(v, "goto_next_after_insert");
      previousAfterInsert.Put(v, "goto_previous_after_insert");
      targetAfterInsert.Put(v, "goto_target_after_insert");
      v["after_insert_positions_worked_out"] =
          static_cast<double>(nav.PositionsWorkedOut() - workedOut);

      // The first press after deleting a line or moving one: the positions from before are
      // followed (the items struck out, the moved ones noted). Items are picked while the
      // positions stand; a deletion frees none for another to take, so a set of the deleted
      // ones tells which picks are gone.
      TWorst nextAfterDelete, previousAfterDelete, targetAfterDelete, nextAfterMove,
          offsetNextAfterChange;
      std::set<const TTreeItem*> gone;
      std::vector<TTreeItem*> leaves;
      const nav::TTreePositions& base = nav.Positions();
      for (int i = 0; i < 200; ++i) {
        TTreeItem* leaf = base.ItemAt(random() % base.Count());
        while (leaf->HasChildren()) leaf = leaf->Children().back();
        leaves.push_back(leaf);
      }
      workedOut = nav.PositionsWorkedOut();
      for (size_t i = 0; i + 2 < leaves.size(); i += 3) {
        TTreeItem* doomed = leaves[i];
        TTreeItem* moved = leaves[i + 1];
        TTreeItem* kept = leaves[i + 2];
        if (gone.count(doomed) || gone.count(moved) || gone.count(kept) || doomed == kept ||
            moved == kept || moved == doomed)
          continue;
        project->DeleteItems({doomed});
        gone.insert(doomed);
        const TTraceFileLine& line = *kept->Line();
        switch (i / 3 % 3) {
          case 0:
            nextAfterDelete.Time([&] { nav.GotoNextOpcode(line); });
            break;
          case 1:
            previousAfterDelete.Time([&] { nav.GotoPreviousOpcode(line.Offset()); });
            break;
          default:
            targetAfterDelete.Time([&] { nav.TargetNode(line); });
        }
        project->Tree().MoveBefore({moved}, kept);
        nextAfterMove.Time([&] { nav.GotoNextOpcode(*moved->Line()); });
        nav.OffsetSearch = {false, true};
        nav.SearchPos = static_cast<int32_t>(random() % (n / 2));
        offsetNextAfterChange.Time([&] { nav.GotoOffset(line.Offset()); });
        nav.OffsetSearch = {};
      }
      nextAfterDelete.Put(v, "goto_next_after_delete");
      previousAfterDelete.Put(v, "goto_previous_after_delete");
      targetAfterDelete.Put(v, "goto_target_after_delete");
      nextAfterMove.Put(v, "goto_next_after_move");
      offsetNextAfterChange.Put(v, "offset_find_next_after_change");
      v["after_change_positions_worked_out"] =
          static_cast<double>(nav.PositionsWorkedOut() - workedOut);

      // A deletion in the middle, then a find-next goto from far down.
      project->DeleteItems({project->Tree().TopLevel()[project->Tree().TopLevel().size() / 2]});
      start = Now();
      cpu = CpuNow();
      nav.SearchPos = static_cast<int32_t>(project->Tree().Count() - 3);
      nav.OffsetSearch = {false, true};
      nav.GotoOffset(project->Tree().LastInOrder()->Line()->Offset());
      v["first_goto_after_delete_s"] = Now() - start;
      v["first_goto_after_delete_cpu_s"] = CpuNow() - cpu;
      // The searches count in positions of the tree as it stands: the first after a change
      // works them out again.
      nav.SearchPos = 0;
      start = Now();
      nav.SearchText("no such text anywhere", 1);
      v["first_search_after_change_s"] = Now() - start;
      v["positions_worked_out_total"] = static_cast<double>(nav.PositionsWorkedOut());
      v["seconds"] = v["text_whole_tree_s"];
    });
    if (!Report(state, report, "seconds")) return;
  }
}

void BM_Navigation_1M(benchmark::State& state) {
  Navigate(state, GeneratedLog("first-1M", Shape(1'000'000, 20'000)));
}

void BM_Navigation_10M(benchmark::State& state) {
  Navigate(state, GeneratedLog("first-10M", Shape(10'000'000, 200'000)));
}

}  // namespace

BENCHMARK(BM_Navigation_1M)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Navigation_10M)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace orvanel::bench

ORVANEL_BENCHMARK_MAIN()
