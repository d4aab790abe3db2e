#include "dialogs/MessagesDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <algorithm>

namespace orvanel::ui {

TMessagesDialog::TMessagesDialog(const std::vector<std::string>& texts, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("MessagesDialog"));
  setWindowTitle(QApplication::applicationDisplayName());
  summary_ = texts.size() == 1 ? QStringLiteral("1 message:")
                               : QStringLiteral("%1 messages:").arg(texts.size());
  auto* label = new QLabel(summary_, this);
  label->setObjectName(QStringLiteral("MessagesSummary"));

  QStringList lines;
  lines.reserve(static_cast<qsizetype>(texts.size()));
  for (const std::string& text : texts) lines << QString::fromStdString(text);
  model_ = new QStringListModel(lines, this);
  list_ = new QListView(this);
  list_->setObjectName(QStringLiteral("MessagesList"));
  list_->setAccessibleName(QStringLiteral("Messages"));
  list_->setModel(model_);
  list_->setUniformItemSizes(true);  // rows are laid out only when shown
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  label->setBuddy(list_);
  auto* copyKeys = new QAction(list_);
  copyKeys->setShortcut(QKeySequence::Copy);
  copyKeys->setShortcutContext(Qt::WidgetShortcut);
  list_->addAction(copyKeys);
  connect(copyKeys, &QAction::triggered, this, &TMessagesDialog::CopySelected);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  auto* copy = buttons->addButton(QStringLiteral("Copy All"), QDialogButtonBox::ActionRole);
  copy->setObjectName(QStringLiteral("CopyAll"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(ListText()); });

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
  return model_->stringList().join(QLatin1Char('\n'));
}

QString TMessagesDialog::SelectedText() const {
  QModelIndexList rows = list_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return ListText();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  for (const QModelIndex& row : rows) lines << row.data().toString();
  return lines.join(QLatin1Char('\n'));
}

void TMessagesDialog::CopySelected() const {
  QApplication::clipboard()->setText(SelectedText());
}

}  // namespace orvanel::ui
