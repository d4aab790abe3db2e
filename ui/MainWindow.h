#pragma once
// The main window of the desktop program.
#include <QMainWindow>

namespace orvanel::ui {

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
  static QString CaptionText() { return QStringLiteral("Velkor Ver1.0 Beta - Orvanel"); }
};

}  // namespace orvanel::ui
