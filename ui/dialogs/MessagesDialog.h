#pragma once
// The messages one conversion or file read collected, shown once: their count and the whole
// list, which can be scrolled, selected and copied.
#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace orvanel::ui {

class TMessagesDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TMessagesDialog(const std::vector<std::string>& texts, QWidget* parent = nullptr);
  QString Summary() const;
  QString ListText() const;

 private:
  QString summary_;
  QPlainTextEdit* list_ = nullptr;
};

}  // namespace orvanel::ui
