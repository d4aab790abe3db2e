#pragma once
// The OK/Cancel dialog template: a framed area on the left, OK (default) and Cancel at the
// right. Dialogs built on it put their controls into Bevel1.
#include <QDialog>

class QFrame;
class QPushButton;

namespace orvanel::ui {

class TOKRightDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TOKRightDlg(QWidget* parent = nullptr);

  QFrame* Bevel1 = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
};

}  // namespace orvanel::ui
