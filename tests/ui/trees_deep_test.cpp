// Trees thousands of levels deep stay readable: every line's text starts in the left third
// of the view, deep lines carry their depth, and the path of calling lines is shown above.
#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "TreesTestSupport.h"
#include "trees/Breadcrumb.h"
#include "trees/CodeTreeAccessible.h"

namespace orvanel::test {
namespace {

TTreeItem* Deepest(TCodeTree& tree) {
  TTreeItem* deepest = tree.TopLevel()[1];  // the first call
  while (deepest->HasChildren()) deepest = deepest->Children().front();
  return deepest;
}

struct DeepFixture {
  DeepFixture() : project(ConvertedProject(ui, DeepLog(4001))) {
    view = ShownView(project.get(), 900, 500);
    QApplication::processEvents();
  }
  TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  std::unique_ptr<ui::TCodeTreeView> view;
};

TEST(TreesDeep, TheDeepestLineIsReadableInTheLeftThirdWithoutScrollingSideways) {
  DeepFixture f;
  TTreeItem* deepest = Deepest(f.project->Tree());
  ASSERT_GE(deepest->Level(), 4000);
  f.view->SelectNode(deepest);
  QApplication::processEvents();
  const QRect viewport = f.view->viewport()->rect();
  const QRect text = f.view->TextRect(deepest);
  ASSERT_TRUE(text.isValid());
  EXPECT_LT(text.left(), viewport.width() / 3);
  EXPECT_GT(text.width(), viewport.width() / 2);  // room to be read
  EXPECT_TRUE(viewport.contains(text.topLeft()) && viewport.contains(text.bottomLeft()));
  EXPECT_EQ(f.view->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(f.view->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(f.view->SelectedNode(), deepest);
  // It stands at the cap with a badge of its depth; a shallow line at its own depth.
  const ui::TCodeRowLayout deep = f.view->RowLayout(deepest, f.view->NodeRect(deepest));
  EXPECT_TRUE(deep.Capped);
  EXPECT_EQ(deep.Level, deepest->Level());
  EXPECT_FALSE(deep.Badge.isEmpty());
  TTreeItem* shallow = f.project->Tree().TopLevel()[1]->Children().front();
  const ui::TCodeRowLayout near = f.view->RowLayout(shallow, f.view->NodeRect(shallow));
  EXPECT_FALSE(near.Capped);
  EXPECT_EQ(
      near.Arrow.left() -
          f.view->RowLayout(shallow->Parent(), f.view->NodeRect(shallow->Parent())).Arrow.left(),
      f.view->IndentStep());
  // A narrower view caps earlier and keeps the text in its left third.
  f.view->resize(600, 500);
  QApplication::processEvents();
  EXPECT_LT(f.view->TextRect(deepest).left(), f.view->viewport()->width() / 3);
}

TEST(TreesDeep, TheArrowOfACappedLineOpensAndClosesIt) {
  DeepFixture f;
  TTreeItem* deepest = Deepest(f.project->Tree());
  TTreeItem* call = deepest->Parent();
  f.view->SelectNode(deepest);
  QApplication::processEvents();
  const QModelIndex index = f.view->IndexOf(call);
  ASSERT_TRUE(f.view->isExpanded(index));
  const ui::TCodeRowLayout layout = f.view->RowLayout(call, f.view->NodeRect(call));
  ASSERT_TRUE(layout.Capped);
  QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, layout.Arrow.center());
  EXPECT_FALSE(f.view->isExpanded(index));
  EXPECT_FALSE(call->Expanded);
  EXPECT_EQ(f.view->SelectedNode(), deepest);  // the arrow does not select
  QApplication::processEvents();
  const QRect arrow = f.view->RowLayout(call, f.view->NodeRect(call)).Arrow;  // it may scroll
  QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, arrow.center());
  EXPECT_TRUE(f.view->isExpanded(index));
}

TEST(TreesDeep, TheBreadcrumbShowsTheCallingLinesElidedInTheMiddle) {
  DeepFixture f;
  ui::TBreadcrumbBar bar;
  bar.resize(1400, 24);
  bar.SetView(f.view.get());
  bar.show();
  TTreeItem* deepest = Deepest(f.project->Tree());
  f.view->SelectNode(deepest);
  const auto& parts = bar.Parts();
  ASSERT_GE(parts.size(), 3u);
  TTreeItem* top = deepest;
  while (top->Parent()) top = top->Parent();
  EXPECT_EQ(parts.front().Item, top);
  EXPECT_EQ(parts.back().Item, deepest);
  auto mark = std::find_if(parts.begin(), parts.end(), [](const auto& p) { return !p.Item; });
  ASSERT_NE(mark, parts.end());
  const size_t shown = parts.size() - 1;  // without the mark
  EXPECT_EQ(mark->Text, QStringLiteral("⋯%1").arg(deepest->Level() + 1 - shown));
  for (const auto& part : parts) EXPECT_LE(part.Rect.right(), bar.width());
  // A click on a calling line selects it in the view.
  const auto& caller = parts[parts.size() - 2];
  ASSERT_EQ(caller.Item, deepest->Parent());
  QTest::mouseClick(&bar, Qt::LeftButton, {}, caller.Rect.center());
  EXPECT_EQ(f.view->SelectedNode(), deepest->Parent());
  EXPECT_EQ(bar.Node(), deepest->Parent());
  // The selected line deleted: the bar no longer shows it.
  f.project->DeleteItems({top});
  EXPECT_EQ(bar.Node(), nullptr);
  EXPECT_TRUE(bar.Parts().empty());
}

// A screen reader is told each row's level, the depth of the rows drawn with a badge and
// which rows are selected (the model's selection, which Qt's selection model never holds).
TEST(TreesDeep, AccessibleRowsTellTheirLevelAndSelection) {
  DeepFixture f;
  TTreeItem* deepest = Deepest(f.project->Tree());
  f.view->SelectNode(deepest);
  QApplication::processEvents();
  QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(f.view.get());
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->role(), QAccessible::Tree);
  QAccessibleTableInterface* table = tree->tableInterface();
  ASSERT_NE(table, nullptr);
  const int rows = tree->childCount();
  ASSERT_GT(rows, deepest->Level());

  // Every row: its line's text, its level, the depth where a badge is drawn.
  std::vector<TTreeItem*> expected;  // the shown rows in order: open branches only
  const auto& topLevel = f.project->Tree().TopLevel();
  std::vector<TTreeItem*> stack(topLevel.rbegin(), topLevel.rend());
  while (!stack.empty()) {
    TTreeItem* it = stack.back();
    stack.pop_back();
    expected.push_back(it);
    if (it->HasChildren() && f.view->isExpanded(f.view->CodeModel()->IndexOf(it)))
      stack.insert(stack.end(), it->Children().rbegin(), it->Children().rend());
  }
  ASSERT_EQ(static_cast<size_t>(rows), expected.size());
  int selected = 0;
  for (int r = 0; r < rows; ++r) {
    QAccessibleInterface* row = tree->child(r);
    ASSERT_NE(row, nullptr) << r;
    TTreeItem* item = expected[static_cast<size_t>(r)];
    auto* cell = dynamic_cast<ui::TCodeRowAccessible*>(row);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->Level(), item->Level() + 1) << r;
    EXPECT_EQ(row->text(QAccessible::Name).toStdString(), item->Line()->DisplayText());
    EXPECT_EQ(row->tableCellInterface()->rowIndex(), r);
    EXPECT_EQ(tree->indexOfChild(row), r);
    const bool capped = f.view->RowLayout(item, f.view->NodeRect(item)).Capped;
    EXPECT_EQ(
        row->text(QAccessible::Description).contains(QStringLiteral("depth %1").arg(item->Level())),
        capped)
        << r;
    if (row->state().selected) ++selected;
  }
  EXPECT_EQ(selected, 1);
  const int deepestRow =
      static_cast<int>(std::find(expected.begin(), expected.end(), deepest) - expected.begin());
  EXPECT_EQ(table->selectedRows(), QList<int>{deepestRow});
  EXPECT_TRUE(tree->child(deepestRow)->state().selected);

  // Both top-level lines selected in the model: the first two rows are selected.
  const auto& top = f.project->Tree().TopLevel();
  ASSERT_EQ(top.size(), 2u);
  f.project->Tree().Select(top[1], false);
  f.project->Tree().Select(top[0], true);
  const QList<int> both = table->selectedRows();
  EXPECT_EQ(both, (QList<int>{0, 1}));
  for (int r : both) {
    EXPECT_TRUE(tree->child(r)->state().selected);
    EXPECT_TRUE(table->isRowSelected(r));
    EXPECT_TRUE(tree->child(r)->tableCellInterface()->isSelected());
  }
  EXPECT_EQ(table->selectedCellCount(), 2);
  EXPECT_FALSE(tree->child(deepestRow)->state().selected);
}

}  // namespace
}  // namespace orvanel::test
