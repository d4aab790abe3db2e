// The lazy adapter of the code tree: what Qt sees is the model's tree, before and after every
// kind of edit, with Qt's model tester checking each signal.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>

#include "../support/TestData.h"
#include "TreesTestSupport.h"
#include "editing/Clipboard.h"
#include "project/ProjectSession.h"
#include "project/SnesProject.h"

namespace orvanel::test {
namespace {

using Tester = QAbstractItemModelTester;

struct ShownProject {
  explicit ShownProject(const std::string& log) : project(ConvertedProject(ui, log)) {
    view = ShownView(project.get());
    tester = std::make_unique<Tester>(view->model(), Tester::FailureReportingMode::Fatal);
    view->expandAll();
    QApplication::processEvents();
  }
  TCodeTree& Tree() { return project->Tree(); }
  void Check() {
    ExpectSameAsTree(*view->model(), Tree());
    view->viewport()->repaint();  // every shown row is drawn from live items
  }
  TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  std::unique_ptr<ui::TCodeTreeView> view;
  std::unique_ptr<Tester> tester;
};

TEST(TreesModel, RowsParentsAndIndexesAreTheTreesOwn) {
  ShownProject shown(NestedLog(6, 3));
  ASSERT_GT(shown.Tree().Count(), 40u);
  shown.Check();
  // Leaves say they never have children; items with children do not.
  TTreeItem* first = shown.Tree().TopLevel()[1];  // the first call
  ASSERT_TRUE(first->HasChildren());
  const QModelIndex top = shown.view->IndexOf(first);
  EXPECT_FALSE(shown.view->model()->flags(top) & Qt::ItemNeverHasChildren);
  TTreeItem* leaf = first;
  while (leaf->HasChildren()) leaf = leaf->Children().back();
  EXPECT_TRUE(shown.view->model()->flags(shown.view->IndexOf(leaf)) & Qt::ItemNeverHasChildren);
  EXPECT_EQ(shown.view->NodeAt(shown.view->IndexOf(leaf)), leaf);
}

TEST(TreesModel, ARealTraceIsShownAsItsTree) {
  TFakeUserInterface ui;
  auto project = orvanel::CreateProject(1, ui, "");
  project->ScopeManager()->GetScope("Global", true);
  project->LogLines() = TLogLines::FromFile(TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log"));
  auto view = ShownView(project.get());
  Tester tester(view->model(), Tester::FailureReportingMode::Fatal);
  project->ImportLog();  // one reset while the view is attached
  ASSERT_GT(project->Tree().Count(), 100u);
  ExpectSameAsTree(*view->model(), project->Tree());
}

TEST(TreesModel, DeletingScatteredAndNestedNodesKeepsTheViewInStep) {
  ShownProject shown(NestedLog(8, 4));
  TCodeTree& tree = shown.Tree();
  // Every other top-level node: runs of one row each.
  const std::vector<TTreeItem*> top = tree.TopLevel();
  for (size_t i = 0; i < top.size(); i += 2) tree.Select(top[i], true);
  shown.view->SelectNode(top[1]->HasChildren() ? top[1]->Children().back() : top[1]);
  shown.project->DeleteSelection();  // the fake interface answers Yes
  ASSERT_EQ(shown.ui.Questions.back(), "Would you like to delete the selected nodes?");
  shown.Check();
  // A node with one of its descendants given too, and a deep child of another parent.
  std::vector<TTreeItem*> nested;
  for (TTreeItem* t : tree.TopLevel())
    if (t->HasChildren()) nested.push_back(t);
  ASSERT_GE(nested.size(), 2u);
  TTreeItem* deep = nested[1]->Children().front();
  shown.project->DeleteItems({nested[0]->Children().back(), nested[0], deep});
  shown.Check();
  EXPECT_FALSE(shown.view->currentIndex().isValid() &&
               shown.view->NodeAt(shown.view->currentIndex()) == nullptr);
}

TEST(TreesModel, MovesPastesAndDropsKeepTheViewInStep) {
  ShownProject shown(NestedLog(8, 4));
  TCodeTree& tree = shown.Tree();
  std::vector<TTreeItem*> top = tree.TopLevel();
  // One run moves as one: the open branches stay open.
  ASSERT_TRUE(top[1]->HasChildren());
  ASSERT_TRUE(shown.view->isExpanded(shown.view->IndexOf(top[1])));
  tree.MoveBefore({top[1], top[2]}, top[6]);
  shown.Check();
  EXPECT_TRUE(shown.view->isExpanded(shown.view->IndexOf(top[1])));
  // Scattered nodes leave run by run and come back as one run, under another parent, with
  // their open branches open again.
  ASSERT_TRUE(top[3]->HasChildren());
  tree.MoveAsLastChildren({top[7], top[3], top[9]}, top[5]->Children().front());
  shown.Check();
  EXPECT_TRUE(shown.view->isExpanded(shown.view->IndexOf(top[5]->Children().front())));
  EXPECT_TRUE(shown.view->isExpanded(shown.view->IndexOf(top[3])));
  TTreeItem* inner = top[3]->Children()[top[3]->Children().size() - 2];
  ASSERT_TRUE(inner->HasChildren());
  EXPECT_TRUE(shown.view->isExpanded(shown.view->IndexOf(inner)));
  // Downward in one parent, and upward.
  top = tree.TopLevel();
  tree.MoveBefore({top[0]}, top.back());
  tree.MoveBefore({top.back()}, top[0]);
  shown.Check();
  // Paste of cut nodes (reverse order before the selected node).
  TClipboard clipboard;
  tree.Select(top[2], false);
  tree.Select(top[4], true);
  clipboard.Cut(*shown.project);
  tree.Select(top[8], false);
  clipboard.Paste(*shown.project);
  shown.Check();
  // A drop with Ctrl held makes the nodes the last children of the target.
  tree.Select(tree.TopLevel()[0], false);
  auto dragged = shown.project->StartDrag();
  shown.project->ControlDown = true;
  shown.project->CodeDragDrop(dragged.get(), tree.TopLevel()[3]);
  shown.project->ControlDown = false;
  shown.Check();
}

TEST(TreesModel, DropsOntoTheCodeCacheAndClosingTheLogFollowTheTree) {
  ShownProject shown(NestedLog(5, 3));
  TSNESCodeCache& cache = *shown.project->CodeCache();
  auto cacheView = ShownView(&cache);
  Tester cacheTester(cacheView->model(), Tester::FailureReportingMode::Fatal);
  TCodeTree& tree = shown.Tree();
  tree.Select(tree.TopLevel()[1], false);
  tree.Select(tree.TopLevel()[3], true);
  ui::TCodeTreeModel& source = *shown.view->CodeModel();
  std::unique_ptr<QMimeData> mime(source.mimeData({}));
  ASSERT_TRUE(mime);
  ui::TCodeTreeModel& target = *cacheView->CodeModel();
  ASSERT_TRUE(target.canDropMimeData(mime.get(), Qt::CopyAction, -1, 0, {}));
  ASSERT_TRUE(target.dropMimeData(mime.get(), Qt::CopyAction, -1, 0, {}));
  ExpectSameAsTree(*cacheView->model(), cache.Tree());
  EXPECT_EQ(cache.Tree().TopLevel().size(), 2u);
  // Each view refuses the other tree's nodes.
  EXPECT_FALSE(shown.view->IndexOf(cache.Tree().First()).isValid());
  shown.view->SelectNode(cache.Tree().First());
  EXPECT_FALSE(cache.Tree().First()->Selected);
  EXPECT_GT(cache.Tree().Count(), 2u);  // with their subtrees
  // A drag whose nodes are deleted meanwhile carries none of them.
  tree.Select(tree.TopLevel()[0], false);
  std::unique_ptr<QMimeData> stale(source.mimeData({}));
  shown.project->DeleteSelection();
  shown.Check();
  const auto* code = qobject_cast<const ui::TCodeMimeData*>(stale.get());
  ASSERT_TRUE(code);
  EXPECT_TRUE(code->Dragged()->Nodes().empty());

  ASSERT_TRUE(tree.TopLevel()[0]->HasChildren());
  shown.view->SelectNode(tree.TopLevel()[0]->Children().front());
  QSignalSpy changes(shown.view.get(), &ui::TCodeTreeView::SelectedNodeChanged);
  shown.project->CloseLog();
  shown.Check();
  EXPECT_EQ(shown.view->model()->rowCount({}), 0);
  ASSERT_EQ(changes.size(), 1);
  EXPECT_EQ(changes[0][0].value<TTreeItem*>(), nullptr);
}

TEST(TreesModel, AProjectDestroyedUnderTheViewLeavesItEmpty) {
  ShownProject shown(NestedLog(3, 2));
  shown.project.reset();
  EXPECT_EQ(shown.view->Project(), nullptr);
  EXPECT_EQ(shown.view->model()->rowCount({}), 0);
  shown.view->viewport()->repaint();
}

}  // namespace
}  // namespace orvanel::test
