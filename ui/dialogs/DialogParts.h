#pragma once
// Small parts the address entry dialogs share: a text box with its caption above it, and a
// group of radio buttons that answers with the index of the chosen one.
#include <QGroupBox>
#include <QString>
#include <QStringList>
#include <vector>

class QBoxLayout;
class QLineEdit;
class QRadioButton;

namespace orvanel::ui {

// A text box named `name` with a caption above it, added to the layout.
QLineEdit* AddLabeledEdit(QWidget* parent, QBoxLayout* layout, const char* name,
                          const QString& caption);

// Keeps the typed text within `limit` characters while a text set by the program may be
// longer (the box's own limit would cut it).
void SetTextKeepingLimit(QLineEdit* edit, const QString& text, int limit);

class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Button(int index) const { return buttons_[static_cast<size_t>(index)]; }

 private:
  std::vector<QRadioButton*> buttons_;
};

}  // namespace orvanel::ui
