// Trees thousands of levels deep stay readable: every line's text starts in the left third
// of the view, deep lines carry their depth, and the path of calling lines is shown above.
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "TreesTestSupport.h"
#include "trees/Breadcrumb.h"

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

}  // namespace
}  // namespace orvanel::test
