#include "dialogs/DialogParts.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>

namespace orvanel::ui {

QLineEdit* AddLabeledEdit(QWidget* parent, QBoxLayout* layout, const char* name,
                          const QString& caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  label->setBuddy(edit);
  layout->addWidget(label);
  layout->addWidget(edit);
  return edit;
}

void SetTextKeepingLimit(QLineEdit* edit, const QString& text, int limit) {
  edit->setMaxLength(std::max(limit, static_cast<int>(text.size())));
  edit->setText(text);
  if (edit->property("typedLimit").isValid()) return;
  edit->setProperty("typedLimit", limit);
  // Once the user has shortened the text to the limit, the limit holds again.
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, limit](const QString& now) {
    if (now.size() <= limit) edit->setMaxLength(limit);
  });
}

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent) {
  auto* grid = new QGridLayout(this);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    grid->addWidget(button, i / columns, i % columns);
    buttons_.push_back(button);
  }
}

int TRadioGroup::ItemIndex() const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i]->isChecked()) return static_cast<int>(i);
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  if (index >= 0 && static_cast<size_t>(index) < buttons_.size())
    buttons_[static_cast<size_t>(index)]->setChecked(true);
}

}  // namespace orvanel::ui
