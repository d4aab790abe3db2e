#pragma once
// The modeless find dialog of the three searches: a text, the direction, a find-next button
// and a close button. It stays open while the user presses find-next again and again; its
// find-next state is on from the first press until it is closed.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvanel::ui {

class TFindDialog : public QDialog {
  Q_OBJECT
 public:
  TFindDialog(const QString& caption, QWidget* parent = nullptr);

  QString FindText() const;
  void SetFindText(const QString& text);
  bool Up() const;
  void SetUp(bool up);
  // +1 down, -1 up.
  int SearchStep() const { return Up() ? -1 : 1; }
  bool FindNextOn() const { return findNextOn_; }
  void SetFindNextOn(bool on) { findNextOn_ = on; }

  QLineEdit* EditFind = nullptr;
  QCheckBox* CBWholeWord = nullptr;
  QCheckBox* CBMatchCase = nullptr;
  QRadioButton* RBUp = nullptr;
  QRadioButton* RBDown = nullptr;
  QPushButton* BtnFindNext = nullptr;
  QPushButton* BtnCancel = nullptr;

 signals:
  // A press of find-next (the state is on when this is sent).
  void Find();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  bool findNextOn_ = false;
};

}  // namespace orvanel::ui
