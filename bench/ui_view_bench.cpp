// The code tree view with real widgets (offscreen), each measurement in a child process of its
// own with its own QApplication:
//  - a project of a generated log (a million lines; ten million with --benchmark_filter=10M):
//    the first screen once the project is in memory, the view's heap per row shown and per
//    item of the tree, expanding and collapsing the widest branch, selecting a line, scrolling
//    a page, making the deepest line visible, an accessibility client walking the rows shown;
//  - the same on a log whose tree is about 4,000 levels deep;
//  - deleting 100,000 selected items of a million with the view attached and shown;
//  - recolouring every line as "Options" does when it is confirmed, with the repaint.
// Times are wall-clock seconds measured in the child (manual time); every step ends with a
// synchronous repaint, so it includes the drawing of what the step shows.
#include <benchmark/benchmark.h>

#include <QAbstractSlider>
#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/TextUtils.h"
#include "bench_report.h"
#include "logic/Recolouring.h"
#include "project/ProjectSession.h"
#include "trees/CodeTreeModel.h"
#include "trees/CodeTreeView.h"

namespace orvanel::bench {
namespace {

constexpr int kWidth = 1000, kHeight = 700;

// A QApplication for the child process that measures.
struct TChildApp {
  int argc = 1;
  char name[16] = "ui_view_bench";
  char* argv[2] = {name, nullptr};
  QApplication app{argc, argv};
};

// Says Yes to the delete question; everything else as the silent interface.
class TYesUserInterface : public TSilentUserInterface {
 public:
  TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Yes; }
};

std::unique_ptr<TSNESProject> Converted(TUserInterface& ui, const TGeneratedLog& log) {
  auto project = CreateProject(1, ui, RunFolder());
  project->ScopeManager()->GetScope("Global", true);
  project->TraceLogDialog.FileName = log.Path;
  project->ImportLog();
  return project;
}

TTreeItem* DeepestItem(const TCodeTree& tree) {
  TTreeItem* deepest = nullptr;
  int best = -1;
  std::vector<std::pair<TTreeItem*, int>> todo;
  for (TTreeItem* top : tree.TopLevel()) todo.push_back({top, 0});
  while (!todo.empty()) {
    auto [item, level] = todo.back();
    todo.pop_back();
    if (level > best) best = level, deepest = item;
    for (TTreeItem* child : item->Children()) todo.push_back({child, level + 1});
  }
  return deepest;
}

void Paint(ui::TCodeTreeView& view) {
  QApplication::processEvents();
  view.viewport()->repaint();
}

double Ms(double seconds) {
  return seconds * 1000.0;
}

// Everything the view does on one project; the figures go into v.
void MeasureView(const TGeneratedLog& log, std::map<std::string, double>& v) {
  TChildApp app;
  TNullUserInterface ui;
  auto project = Converted(ui, log);
  TCodeTree& tree = project->Tree();
  v["items"] = static_cast<double>(tree.Count());
  v["top_level_items"] = static_cast<double>(tree.TopLevel().size());

  // The first screen, once the project is in memory.
  const int64_t heapBefore = HeapInUseBytes();
  double t = Now();
  ui::TCodeTreeView view;
  view.resize(kWidth, kHeight);
  view.SetProject(project.get());
  view.show();
  Paint(view);
  v["first_screen_s"] = Now() - t;
  const double viewHeap = static_cast<double>(HeapInUseBytes() - heapBefore);
  v["view_heap_kb"] = viewHeap / 1024.0;
  // Mostly the window's backing store: the same for any size of tree.

  // The widest branch of the tree (its calling lines opened first, not timed): expanded, then
  // closed again.
  TTreeItem* widest = nullptr;
  tree.ForEach([&](TTreeItem* item) {
    if (!widest || item->Children().size() > widest->Children().size()) widest = item;
  });
  view.SelectNode(widest);
  const QModelIndex widestIndex = view.IndexOf(widest);
  view.scrollTo(widestIndex, QAbstractItemView::PositionAtTop);
  Paint(view);
  v["widest_level"] = widest->Level();
  const int64_t heapCollapsed = HeapInUseBytes();
  t = Now();
  view.expand(widestIndex);
  const int64_t heapLaidOut = HeapInUseBytes();  // the rows' records, before any drawing
  Paint(view);
  v["expand_ms"] = Ms(Now() - t);
  const double rowsOpened = std::max<double>(1.0, static_cast<double>(widest->Children().size()));
  v["expanded_rows"] = rowsOpened;
  v["heap_per_expanded_row"] = static_cast<double>(heapLaidOut - heapCollapsed) / rowsOpened;
  // Once the rows settle (the view cuts back its row list's spare room) and are drawn.
  v["heap_per_expanded_row_drawn"] =
      static_cast<double>(HeapInUseBytes() - heapCollapsed) / rowsOpened;
  const auto [rows, room] = view.RowRoom();
  v["row_list_room_per_row"] = rows ? static_cast<double>(room) / static_cast<double>(rows) : 0;
  t = Now();
  view.collapse(widestIndex);
  Paint(view);
  v["collapse_ms"] = Ms(Now() - t);
  v["heap_kept_after_collapse"] = static_cast<double>(HeapInUseBytes() - heapCollapsed);
  v["row_list_room_after_collapse"] = static_cast<double>(view.RowRoom().second);
  // Opened a second time, the view reuses the room it made the first time.
  const int64_t heapAgain = HeapInUseBytes();
  view.expand(widestIndex);
  Paint(view);
  v["heap_per_expanded_row_again"] = static_cast<double>(HeapInUseBytes() - heapAgain) / rowsOpened;
  view.collapse(widestIndex);
  Paint(view);

  // Selecting a shown line, scrolling page by page.
  TTreeItem* shown = tree.TopLevel()[std::min<size_t>(5, tree.TopLevel().size() - 1)];
  t = Now();
  view.SelectNode(shown);
  Paint(view);
  v["select_ms"] = Ms(Now() - t);
  double worstPage = 0;
  for (int page = 0; page < 20; ++page) {
    t = Now();
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    Paint(view);
    worstPage = std::max(worstPage, Now() - t);
  }
  v["scroll_page_worst_ms"] = Ms(worstPage);

  // Making the deepest line visible: every ancestor opened, the line selected and shown.
  TTreeItem* deepest = DeepestItem(tree);
  v["deepest_level"] = deepest->Level();
  double rowsShown = static_cast<double>(tree.TopLevel().size());
  for (TTreeItem* p = deepest->Parent(); p; p = p->Parent())
    rowsShown += static_cast<double>(p->Children().size());
  v["rows_shown_after_make_visible"] = rowsShown;
  t = Now();
  view.SelectNode(deepest);
  Paint(view);
  v["make_visible_deepest_ms"] = Ms(Now() - t);
  v["deepest_text_left_px"] = view.TextRect(deepest).left();
  v["viewport_width_px"] = view.viewport()->width();
  v["horizontal_scroll_px"] = view.horizontalScrollBar()->maximum();
  // What an accessibility client pays to walk every row shown, asking each for its text,
  // state and description (which holds its level).
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
  t = Now();
  const int accessibleRows = accessible->childCount();
  size_t spoken = 0;
  for (int row = 0; row < accessibleRows; ++row) {
    QAccessibleInterface* cell = accessible->child(row);
    spoken += static_cast<size_t>(cell->text(QAccessible::Name).size());
    spoken += static_cast<size_t>(cell->text(QAccessible::Description).size());
    spoken += cell->state().selected ? 1 : 0;
  }
  v["accessible_walk_ms"] = Ms(Now() - t);
  v["accessible_rows"] = accessibleRows;
  benchmark::DoNotOptimize(spoken);

  // And after it, what a page of scrolling costs with thousands of levels open.
  t = Now();
  view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
  Paint(view);
  v["scroll_page_after_deep_ms"] = Ms(Now() - t);

  // "Options" confirmed with every role in a new colour: each line recoloured, the tree
  // repainted.
  TRoleColours colours = RoleColours(project->Palette);
  for (TColor& c : colours) c = (c ^ 0x00123456) & 0x00FFFFFF;
  t = Now();
  ApplyRoleColours(*project, colours);
  view.RepaintNodes();
  Paint(view);
  v["recolour_ms"] = Ms(Now() - t);
}

TLogShape Shape(int64_t lines, int64_t addresses, int64_t deep) {
  TLogShape shape;
  shape.Lines = lines;
  shape.Addresses = addresses;
  shape.DeepRecursion = deep;
  return shape;
}

void RunView(benchmark::State& state, const TGeneratedLog& log) {
  for (auto _ : state) {
    TChildReport report =
        RunInChild([&](std::map<std::string, double>& v) { MeasureView(log, v); });
    if (!Report(state, report, "first_screen_s")) return;
  }
}

void BM_View_1M(benchmark::State& state) {
  RunView(state, GeneratedLog("first-1M", Shape(1'000'000, 20'000, 0)));
}

void BM_View_10M(benchmark::State& state) {
  RunView(state, GeneratedLog("first-10M", Shape(10'000'000, 200'000, 0)));
}

void BM_View_Deep4000(benchmark::State& state) {
  RunView(state, GeneratedLog("deep-4000", Shape(300'000, 20'000, 4'000)));
}

// A line of the first dialect, column for column (plain data reads).
std::string LineText(int64_t offset) {
  std::string s = "$" + IntToHex((offset >> 16) & 0xFF, 2) + "/" + IntToHex(offset & 0xFFFF, 4);
  s += "  AD 00 21";
  s.resize(23, ' ');
  s += "LDA $2100 [$00:2100]";
  s.resize(44, ' ');
  return s + " A:0000 X:0000 Y:0000 D:0000 DB:00 S:01FF P:envMXdizc HC:1234 VC:0120 FC:00";
}

// A million top-level items showing 20,000 records, every tenth selected and deleted while
// the view shows the tree.
void BM_View_Delete100kOf1M(benchmark::State& state) {
  for (auto _ : state) {
    TChildReport report = RunInChild([&](std::map<std::string, double>& v) {
      TChildApp app;
      TYesUserInterface ui;
      auto project = CreateProject(1, ui, "");
      TSNESProject& p = *project;
      std::vector<TTraceFileLine*> lines;
      for (int r = 0; r < 20'000; ++r)
        lines.push_back(p.RegisterInIndex(p.Adopt(
            p.CreateLine(LineText(0x808000 + 3 * static_cast<int64_t>(r)), false, nullptr))));
      {
        TTreeRebuild rebuild(p.Tree());
        for (int i = 0; i < 1'000'000; ++i) p.Tree().AddChild(nullptr, lines[i % lines.size()]);
      }
      ui::TCodeTreeView view;
      view.resize(kWidth, kHeight);
      view.SetProject(&p);
      view.show();
      Paint(view);
      view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
      Paint(view);
      const std::vector<TTreeItem*> top = p.Tree().TopLevel();
      for (size_t i = 0; i < top.size(); i += 10) p.Tree().Select(top[i], true);
      v["selected"] = static_cast<double>(p.Tree().Selection().size());
      const double t = Now();
      p.DeleteSelection();
      Paint(view);
      v["delete_s"] = Now() - t;
      v["items_left"] = static_cast<double>(p.Tree().Count());
      v["rows_in_view"] = view.model()->rowCount({});
    });
    if (!Report(state, report, "delete_s")) return;
  }
}

BENCHMARK(BM_View_1M)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View_Deep4000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View_Delete100kOf1M)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_View_10M)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvanel::bench

// Qt draws offscreen; the allocator is set up as the program sets it up.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  orvanel::TuneAllocatorForLargeTraces();
  ::benchmark::Initialize(&argc, argv);
  if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
