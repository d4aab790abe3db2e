// The desktop program: the application title, the main window, the message loop.
#include <QApplication>

#include "MainWindow.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Orvanel"));
  QApplication::setApplicationDisplayName(QStringLiteral("Orvanel"));
  orvanel::ui::TForm1 window;
  window.show();
  return QApplication::exec();
}
