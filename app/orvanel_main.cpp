// The desktop program: the application title, the main window, the message loop. A project
// file given on the command line is opened at start.
#include <QApplication>
#include <QStringList>

#include "base/AllocatorTuning.h"
#include "window/MainWindow.h"

int main(int argc, char* argv[]) {
  orvanel::TuneAllocatorForLargeTraces();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvanel"));
  QApplication::setApplicationDisplayName(QStringLiteral("Orvanel"));
  orvanel::ui::TForm1 window;  // the main form; it owns the about box
  window.show();
  QStringList args = QApplication::arguments();
  if (args.size() > 1) window.OpenProjectFile(args.at(1));
  return QApplication::exec();
}
