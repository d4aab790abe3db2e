#pragma once
// "Define New Scope": the name of a new scope. No check of its own; the window refuses a
// name already in use.
#include <QDialog>

class QLineEdit;
class QPushButton;

namespace orvanel::ui {

class TDlgScopeName : public QDialog {
  Q_OBJECT
 public:
  explicit TDlgScopeName(QWidget* parent = nullptr);

  QLineEdit* LEScopeName = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace orvanel::ui
