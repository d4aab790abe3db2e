#include "dialogs/NewScopeDialog.h"

#include <QBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/DialogParts.h"

namespace orvanel::ui {

TDlgScopeName::TDlgScopeName(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DlgScopeName"));
  setWindowTitle(QStringLiteral("Define New Scope"));
  auto* column = new QVBoxLayout(this);
  column->setSizeConstraint(QLayout::SetFixedSize);
  LEScopeName = AddLabeledEdit(this, column, "LEScopeName", QStringLiteral("Scope Name"));
  LEScopeName->setMinimumWidth(220);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  column->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  setTabOrder(LEScopeName, OKBtn);
  setTabOrder(OKBtn, CancelBtn);
}

}  // namespace orvanel::ui
