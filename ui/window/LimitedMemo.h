#pragma once
// A multi-line text box that takes at most a number of typed or pasted characters. Text set
// by the program is kept whole (a longer comment read from a file is never cut).
#include <QPlainTextEdit>

namespace orvanel::ui {

class TLimitedMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  TLimitedMemo(int maxLength, QWidget* parent = nullptr)
      : QPlainTextEdit(parent), maxLength_(maxLength) {}
  int MaxLength() const { return maxLength_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  // How many characters may still go in, counting the selection that the input replaces.
  int Room() const;
  int maxLength_;
};

}  // namespace orvanel::ui
