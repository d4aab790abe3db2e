// The desktop program: the application title, the main window, the message loop. A project
// file given on the command line is opened at start; `--screenshot FILE` writes a picture of
// the window with a line selected and ends.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "base/AllocatorTuning.h"
#include "project/SnesProject.h"
#include "trees/CodeTreeView.h"
#include "window/MainWindow.h"

namespace {

// A line inside a called routine that touches a named hardware register (or, without the
// register file, one that refers to an address): something worth showing.
orvanel::TTreeItem* LineToShow(orvanel::TProject& project) {
  orvanel::TCodeTree& tree = project.Tree();
  orvanel::TTreeItem* withTarget = nullptr;
  int targets = 0;
  for (orvanel::TTreeItem* item = tree.First(); item; item = tree.NextInOrder(item)) {
    const orvanel::TTraceFileLine* line = item->Line();
    if (item->Level() < 2 || !line || line->IsComment() || !line->HasTarget()) continue;
    if (!line->RegisterName().empty()) return item;
    if (++targets == 3) withTarget = item;
  }
  return withTarget ? withTarget : tree.First();
}

}  // namespace

int main(int argc, char* argv[]) {
  orvanel::TuneAllocatorForLargeTraces();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvanel"));
  QApplication::setApplicationDisplayName(QStringLiteral("Orvanel"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Reads SNES9x trace logs into a code tree."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("project"), QStringLiteral("A project file (.tfp)."),
                               QStringLiteral("[PROJECT.tfp]"));
  QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                QStringLiteral("Save a picture of the window and quit."),
                                QStringLiteral("FILE"));
  parser.addOption(screenshot);
  parser.process(app);

  orvanel::ui::TForm1 window;  // the main form; it owns the about box
  window.show();
  const QStringList args = parser.positionalArguments();
  if (!args.isEmpty()) window.OpenProjectFile(args.first());
  if (!parser.isSet(screenshot)) return QApplication::exec();

  if (orvanel::TSNESProject* project = window.CurrentProject()) {
    window.CodeTree()->setFocus();
    orvanel::TTreeItem* line = LineToShow(*project);
    window.CodeTree()->SelectNode(line);
    window.CodeTree()->scrollTo(window.CodeTree()->IndexOf(line),
                                QAbstractItemView::PositionAtCenter);
  }
  const QString file = parser.value(screenshot);
  int result = 1;
  QTimer::singleShot(300, [&] {
    result = window.grab().save(file) ? 0 : 1;
    QApplication::quit();
  });
  QApplication::exec();
  return result;
}
