#include "MainWindow.h"

namespace orvanel::ui {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(CaptionText());
  resize(1000, 700);
}

}  // namespace orvanel::ui
