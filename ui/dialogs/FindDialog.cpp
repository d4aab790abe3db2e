#include "dialogs/FindDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace orvanel::ui {

TFindDialog::TFindDialog(const QString& caption, QWidget* parent) : QDialog(parent) {
  setWindowTitle(caption);
  setModal(false);
  auto* row = new QHBoxLayout(this);
  row->setSizeConstraint(QLayout::SetFixedSize);
  auto* left = new QVBoxLayout;
  auto* textRow = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
  EditFind = new QLineEdit(this);
  EditFind->setObjectName(QStringLiteral("EditFind"));
  EditFind->setMinimumWidth(200);
  label->setBuddy(EditFind);
  textRow->addWidget(label);
  textRow->addWidget(EditFind);
  left->addLayout(textRow);
  auto* options = new QHBoxLayout;
  auto* boxes = new QVBoxLayout;
  CBWholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
  CBWholeWord->setObjectName(QStringLiteral("CBWholeWord"));
  CBMatchCase = new QCheckBox(QStringLiteral("Match &case"), this);
  CBMatchCase->setObjectName(QStringLiteral("CBMatchCase"));
  // The searches know neither option: both boxes are hidden.
  CBWholeWord->hide();
  CBMatchCase->hide();
  boxes->addWidget(CBWholeWord);
  boxes->addWidget(CBMatchCase);
  options->addLayout(boxes);
  auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
  auto* directionRow = new QHBoxLayout(direction);
  RBUp = new QRadioButton(QStringLiteral("&Up"), direction);
  RBUp->setObjectName(QStringLiteral("RBUp"));
  RBDown = new QRadioButton(QStringLiteral("&Down"), direction);
  RBDown->setObjectName(QStringLiteral("RBDown"));
  RBDown->setChecked(true);
  directionRow->addWidget(RBUp);
  directionRow->addWidget(RBDown);
  options->addWidget(direction);
  left->addLayout(options);
  row->addLayout(left);
  auto* buttons = new QVBoxLayout;
  BtnFindNext = new QPushButton(QStringLiteral("&Find Next"), this);
  BtnFindNext->setObjectName(QStringLiteral("BtnFindNext"));
  BtnFindNext->setDefault(true);
  BtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  buttons->addWidget(BtnFindNext);
  buttons->addWidget(BtnCancel);
  buttons->addStretch();
  row->addLayout(buttons);
  connect(BtnFindNext, &QPushButton::clicked, this, [this] {
    findNextOn_ = true;
    emit Find();
  });
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const {
  return EditFind->text();
}
void TFindDialog::SetFindText(const QString& text) {
  EditFind->setText(text);
}
bool TFindDialog::Up() const {
  return RBUp->isChecked();
}
void TFindDialog::SetUp(bool up) {
  (up ? RBUp : RBDown)->setChecked(true);
}

void TFindDialog::hideEvent(QHideEvent* event) {
  findNextOn_ = false;  // closed: the find-next state ends
  QDialog::hideEvent(event);
}

}  // namespace orvanel::ui
