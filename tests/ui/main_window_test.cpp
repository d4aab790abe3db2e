#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <stdexcept>

#include "base/SilentUserInterface.h"
#include "project/ProjectSession.h"
#include "trees/CodeTreeModel.h"
#include "window/MainWindow.h"

namespace {

using orvanel::TSilentUserInterface;

// Converts a real trace into a saved project in the folder and returns its project file.
QString MakeProject(const QTemporaryDir& dir) {
  TSilentUserInterface ui;
  auto project = orvanel::CreateProject(1, ui, "");
  const std::string log =
      std::string(ORVANEL_TRACES_DIR) + "/undisbeliever-wrmpyb-in-flight-snes9x.log";
  if (!QFileInfo(QString::fromStdString(log)).isReadable())
    throw std::runtime_error("test data file missing or unreadable: " + log);
  project->TraceLogDialog.FileName = log;
  std::string base = dir.filePath("wrm").toStdString();
  project->ScopeManager()->FileDialog().FileName = base + ".tfm";
  project->LabelManager()->FileDialog().FileName = base + ".tlm";
  orvanel::StartNewProject(*project);
  project->TraceDataDialog.FileName = base + ".tfd";
  project->ProjectFileName = base + ".tfp";
  EXPECT_TRUE(project->Save());
  return QString::fromStdString(base + ".tfp");
}

TEST(MainWindow, ShowsTheProgramCaption) {
  orvanel::ui::TForm1 window;
  window.show();
  EXPECT_EQ(window.windowTitle().toStdString(), "Velkor Ver1.0 Beta - Orvanel");
}

TEST(MainWindow, OpensAProjectAndShowsItsCodeTree) {
  QTemporaryDir dir;
  QString file = MakeProject(dir);
  orvanel::ui::TForm1 window;
  window.show();
  ASSERT_TRUE(window.OpenProjectFile(file));
  QTreeView* view = window.CodeTree();
  EXPECT_TRUE(view->uniformRowHeights());
  QAbstractItemModel* model = view->model();
  ASSERT_GT(model->rowCount(QModelIndex()), 0);
  QModelIndex first = model->index(0, 0, QModelIndex());
  EXPECT_EQ(model->data(first).toString(), "Upstep");
  // Walk down the first branch: every child's parent is the item it came from.
  QModelIndex at = first;
  while (model->rowCount(at) > 0) {
    QModelIndex child = model->index(0, 0, at);
    ASSERT_EQ(model->parent(child), at);
    at = child;
  }
  EXPECT_TRUE(model->data(at).toString().startsWith("Global.$"));
}

TEST(MainWindow, RefusesAFileThatIsNoProject) {
  QTemporaryDir dir;
  QString bad = dir.filePath("bad.tfp");
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("<project projecttype=\"7\"/>");
  f.close();
  orvanel::ui::TForm1 window;
  // The message box is modal; close it as soon as it shows.
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->inherits("QMessageBox")) w->close();
  });
  EXPECT_FALSE(window.OpenProjectFile(bad));
  EXPECT_EQ(window.CurrentProject(), nullptr);
}

TEST(CodeTreeColours, ToolkitColoursBecomeQtColours) {
  EXPECT_EQ(orvanel::ui::TCodeTreeModel::ToQColor(0x000000FF), QColor(255, 0, 0));
  EXPECT_EQ(orvanel::ui::TCodeTreeModel::ToQColor(0x00008080), QColor(128, 128, 0));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvanel"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
