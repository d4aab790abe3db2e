#include "dialogs/MessagesDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvanel::ui {

TMessagesDialog::TMessagesDialog(const std::vector<std::string>& texts, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("MessagesDialog"));
  setWindowTitle(QApplication::applicationDisplayName());
  summary_ = texts.size() == 1 ? QStringLiteral("1 message:")
                               : QStringLiteral("%1 messages:").arg(texts.size());
  auto* label = new QLabel(summary_, this);
  label->setObjectName(QStringLiteral("MessagesSummary"));

  list_ = new QPlainTextEdit(this);
  list_->setObjectName(QStringLiteral("MessagesList"));
  list_->setReadOnly(true);
  list_->setLineWrapMode(QPlainTextEdit::NoWrap);
  list_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  list_->setAccessibleName(QStringLiteral("Messages"));
  label->setBuddy(list_);
  // One block per message, appended without building one huge string first.
  list_->setUndoRedoEnabled(false);
  for (const std::string& text : texts) list_->appendPlainText(QString::fromStdString(text));
  list_->moveCursor(QTextCursor::Start);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  auto* copy = buttons->addButton(QStringLiteral("Copy All"), QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(copy, &QPushButton::clicked, this, [this] {
    list_->selectAll();
    list_->copy();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(560, 360);
}

QString TMessagesDialog::Summary() const {
  return summary_;
}

QString TMessagesDialog::ListText() const {
  return list_->toPlainText();
}

}  // namespace orvanel::ui
