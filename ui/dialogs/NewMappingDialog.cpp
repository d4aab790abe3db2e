#include "dialogs/NewMappingDialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "base/UserInterface.h"
#include "dialogs/DialogParts.h"

namespace orvanel::ui {

TformNewMapping::TformNewMapping(const TMappingDialogSetup& setup, TUserInterface& ui,
                                 QWidget* parent)
    : QDialog(parent), ui_(ui) {
  setObjectName(QStringLiteral("formNewMapping"));
  setWindowTitle(QString::fromStdString(setup.Caption));
  auto* column = new QVBoxLayout(this);
  column->setSizeConstraint(QLayout::SetFixedSize);

  PScope = new QWidget(this);
  PScope->setObjectName(QStringLiteral("PScope"));
  auto* scopeRow = new QHBoxLayout(PScope);
  CBScope = new QCheckBox(QStringLiteral("Limited Scope"), PScope);
  CBScope->setObjectName(QStringLiteral("CBScope"));
  CBScopes = new QComboBox(PScope);
  CBScopes->setObjectName(QStringLiteral("CBScopes"));
  CBScopes->setEditable(true);
  CBScopes->setMinimumWidth(150);
  scopeRow->addWidget(CBScope);
  scopeRow->addWidget(CBScopes, 1);
  column->addWidget(PScope);

  PGeneral = new QWidget(this);
  PGeneral->setObjectName(QStringLiteral("PGeneral"));
  auto* general = new QVBoxLayout(PGeneral);
  LEMapOffset = AddLabeledEdit(PGeneral, general, "LEMapOffset", QStringLiteral("Mapping Offset"));
  LEMappingName =
      AddLabeledEdit(PGeneral, general, "LEMappingName", QStringLiteral("Mapping Name"));
  LEMappingName->setMaxLength(static_cast<int>(setup.NameLimit));
  RadioGroup1 = new TRadioGroup(QStringLiteral("Addres Format"),
                                {QStringLiteral("Hex"), QStringLiteral("Decimal")}, 2, PGeneral);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  RadioGroup1->SetItemIndex(0);
  general->addWidget(RadioGroup1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  OKBtn = new QPushButton(QStringLiteral("OK"), PGeneral);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), PGeneral);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  general->addLayout(buttons);
  column->addWidget(PGeneral);

  setTabOrder(CBScope, CBScopes);
  setTabOrder(CBScopes, LEMapOffset);
  setTabOrder(LEMapOffset, LEMappingName);
  setTabOrder(LEMappingName, RadioGroup1->Button(0));
  setTabOrder(RadioGroup1->Button(0), OKBtn);
  setTabOrder(OKBtn, CancelBtn);

  connect(CBScope, &QCheckBox::clicked, this, &TformNewMapping::CBScopeClick);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  // The preparation of the manager that made the dialog.
  PScope->setVisible(setup.ShowScopePanel);
  for (const std::string& name : setup.ScopeNames) CBScopes->addItem(QString::fromStdString(name));
  CBScopes->setEditText(QString::fromStdString(setup.ScopeText));
  CBScope->setChecked(setup.LimitedScopeChecked);
  CBScope->setEnabled(setup.LimitedScopeEnabled);
  CBScopes->setEnabled(setup.ScopesEnabled);
  UpdateScopes = setup.UpdateScopesOnClick;
  SetTextKeepingLimit(LEMapOffset, QString::fromStdString(setup.OffsetText),
                      static_cast<int>(setup.OffsetLimit));
  LEMapOffset->setEnabled(setup.OffsetEnabled);
}

void TformNewMapping::showEvent(QShowEvent* event) {
  if (UpdateScopes) CBScopes->setEnabled(CBScope->isChecked());
  QDialog::showEvent(event);
}

void TformNewMapping::CBScopeClick() {
  if (UpdateScopes) CBScopes->setEnabled(CBScope->isChecked());
}

void TformNewMapping::OKBtnClick() {
  if (RadioGroup1->ItemIndex() != 1 && !LEMapOffset->text().contains(QLatin1Char('$')))
    SetTextKeepingLimit(LEMapOffset, QStringLiteral("$") + LEMapOffset->text(),
                        static_cast<int>(kOffsetFieldLimit));
}

void TformNewMapping::done(int result) {
  if (result == QDialog::Accepted) {
    OKBtnClick();
    const TAddressFormat format =
        RadioGroup1->ItemIndex() == 1 ? TAddressFormat::Decimal : TAddressFormat::Hex;
    if (!CheckMappingOffset(LEMapOffset->text().toStdString(), format).MayClose) {
      ui_.ShowMessage(kIncorrectInputMessage);
      return;  // stays open with the text as it now stands
    }
  }
  QDialog::done(result);
}

}  // namespace orvanel::ui
