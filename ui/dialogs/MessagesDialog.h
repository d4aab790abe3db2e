#pragma once
// The messages one conversion or file read collected, shown once: their count and the whole
// list, which can be scrolled, selected and copied. The list is a view over the messages, so a
// million of them open at once.
#include <QDialog>
#include <string>
#include <vector>

class QListView;
class QStringListModel;

namespace orvanel::ui {

class TMessagesDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TMessagesDialog(const std::vector<std::string>& texts, QWidget* parent = nullptr);
  QString Summary() const;
  QString ListText() const;
  // The selected messages, one a line, in list order (all of them when none is selected).
  QString SelectedText() const;
  void CopySelected() const;

 private:
  QString summary_;
  QStringListModel* model_ = nullptr;
  QListView* list_ = nullptr;
};

}  // namespace orvanel::ui
