#include "dialogs/NewBookmarkDialog.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "base/UserInterface.h"
#include "dialogs/DialogParts.h"

namespace orvanel::ui {

TDlgNewBookmark::TDlgNewBookmark(const TBookmarkDialogSetup& setup, TUserInterface& ui,
                                 QWidget* parent)
    : TOKRightDlg(parent), ui_(ui) {
  setObjectName(QStringLiteral("DlgNewBookmark"));
  setWindowTitle(QString::fromStdString(setup.Caption));
  auto* column = new QVBoxLayout(Bevel1);
  LEBookmarkName =
      AddLabeledEdit(Bevel1, column, "LEBookmarkName", QStringLiteral("Bookmark Name"));
  LEROMOffset = AddLabeledEdit(Bevel1, column, "LEROMOffset", QStringLiteral("ROM Offset"));
  RGAddType = new TRadioGroup(QStringLiteral("Addres Format"),
                              {QStringLiteral("Hex"), QStringLiteral("Decimal")}, 2, Bevel1);
  RGAddType->setObjectName(QStringLiteral("RGAddType"));
  RGAddType->SetItemIndex(0);
  column->addWidget(RGAddType);

  SetTextKeepingLimit(LEROMOffset, QString::fromStdString(setup.OffsetText),
                      static_cast<int>(setup.OffsetLimit));
  LEROMOffset->setEnabled(setup.OffsetEnabled);
  RGAddType->setEnabled(setup.FormatEnabled);

  setTabOrder(LEBookmarkName, OKBtn);
  setTabOrder(OKBtn, CancelBtn);
  setTabOrder(CancelBtn, LEROMOffset);
  setTabOrder(LEROMOffset, RGAddType->Button(0));
  LEBookmarkName->setFocus();
}

void TDlgNewBookmark::done(int result) {
  if (result == QDialog::Accepted) {
    const TAddressFormat format =
        RGAddType->ItemIndex() == 1 ? TAddressFormat::Decimal : TAddressFormat::Hex;
    TOffsetCheck check = CheckBookmarkOffset(LEROMOffset->text().toStdString(), format);
    SetTextKeepingLimit(LEROMOffset, QString::fromStdString(check.Text),
                        static_cast<int>(kOffsetFieldLimit));
    if (!check.MayClose) {
      ui_.ShowMessage(kIncorrectInputMessage);
      return;  // stays open with the text as it now stands
    }
  }
  TOKRightDlg::done(result);
}

}  // namespace orvanel::ui
