// The scope and label trees follow their managers: scopes and mappings added, deleted,
// cleared, and the manager destroyed, with Qt's model tester checking each signal.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>

#include "../support/FakeUserInterface.h"
#include "project/ProjectSession.h"
#include "scopes/SnesScopeManager.h"
#include "trees/ScopeTreeModel.h"
#include "trees/ScopeTreeView.h"

namespace orvanel::test {
namespace {

using Tester = QAbstractItemModelTester;

TEST(TreesScope, TheScopeTreeShowsScopesWithTheirMappingsAndFollowsEdits) {
  TFakeUserInterface ui;
  auto project = CreateProject(1, ui, "");
  TSNESScopeManager& manager = *project->ScopeManager();
  TScopeNode* global = manager.GetScope("Global", true);
  manager.AddMapping(global, "PlayerX", "$7E0010");
  ui::TScopeTreeView view;
  view.SetManager(&manager);
  view.show();
  Tester tester(view.model(), Tester::FailureReportingMode::Fatal);
  QAbstractItemModel& model = *view.model();
  ASSERT_EQ(model.rowCount({}), 1);
  const QModelIndex globalIndex = model.index(0, 0, {});
  EXPECT_EQ(model.data(globalIndex).toString(), "Global");
  ASSERT_EQ(model.rowCount(globalIndex), 1);
  EXPECT_EQ(model.data(model.index(0, 0, globalIndex)).toString(), "PlayerX=$7E0010");
  EXPECT_TRUE(model.flags(model.index(0, 0, globalIndex)) & Qt::ItemNeverHasChildren);

  TScopeNode* bank = manager.GetScope("Bank1", false);
  TMappingNode* mode = manager.AddMapping(bank, "MODE", "#$12");
  manager.AddMapping(bank, "Timer", "$7E0020");
  view.expandAll();
  ASSERT_EQ(model.rowCount({}), 2);
  EXPECT_EQ(model.rowCount(model.index(1, 0, {})), 2);
  QSignalSpy selection(&view, &ui::TScopeManagerView::SelectionChanged);
  view.SelectNode(mode);
  EXPECT_EQ(view.SelectedMapping(), mode);
  EXPECT_EQ(view.SelectedScope(), bank);
  EXPECT_EQ(selection.size(), 1);

  manager.DeleteMapping(mode);
  EXPECT_EQ(model.rowCount(model.index(1, 0, {})), 1);
  EXPECT_NE(view.SelectedMapping(), mode);
  view.SelectNode(bank);
  EXPECT_EQ(view.SelectedMapping(), nullptr);
  EXPECT_EQ(view.SelectedScope(), bank);
  view.viewport()->repaint();

  manager.Clear();
  EXPECT_EQ(model.rowCount({}), 0);
  EXPECT_EQ(view.SelectedScope(), nullptr);
  manager.GetScope("Global", true);
  EXPECT_EQ(model.rowCount({}), 1);
  project.reset();  // the manager goes with its project
  EXPECT_EQ(view.Manager(), nullptr);
  EXPECT_EQ(model.rowCount({}), 0);
}

TEST(TreesScope, TheLabelTreeShowsLabelsUnderTheGlobalRoot) {
  TFakeUserInterface ui;
  auto project = CreateProject(1, ui, "");
  TSNESLabelManager& labels = *project->LabelManager();
  ui::TLabelTreeView view;
  view.SetManager(&labels);
  view.show();
  Tester tester(view.model(), Tester::FailureReportingMode::Fatal);
  TMappingNode* reset = labels.AddLabel("$008000", "Reset");  // makes the Global root
  labels.AddLabel("$008100", "Main");
  QAbstractItemModel& model = *view.model();
  ASSERT_EQ(model.rowCount({}), 1);
  EXPECT_EQ(model.rowCount(model.index(0, 0, {})), 2);
  view.SelectNode(reset);
  EXPECT_EQ(view.SelectedLabel(), reset);
  labels.DeleteMapping(reset);
  EXPECT_EQ(model.rowCount(model.index(0, 0, {})), 1);
  EXPECT_EQ(model.data(model.index(0, 0, model.index(0, 0, {}))).toString(), "Main=$008100");
}

}  // namespace
}  // namespace orvanel::test
