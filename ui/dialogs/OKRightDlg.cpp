#include "dialogs/OKRightDlg.h"

#include <QBoxLayout>
#include <QFrame>
#include <QPushButton>

namespace orvanel::ui {

TOKRightDlg::TOKRightDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OKRightDlg"));
  setWindowTitle(QStringLiteral("Dialog"));
  auto* row = new QHBoxLayout(this);
  row->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog border
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setMinimumSize(281, 161);
  row->addWidget(Bevel1);
  auto* buttons = new QVBoxLayout;
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  buttons->addStretch();
  row->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);  // Escape does the same
}

}  // namespace orvanel::ui
