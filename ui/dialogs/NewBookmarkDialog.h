#pragma once
// "Create New Bookmark": a name and a ROM offset, the offset checked before the dialog closes
// with OK.
#include "dialogs/OKRightDlg.h"
#include "scopes/AddressChecks.h"

class QLineEdit;

namespace orvanel {
class TUserInterface;
}

namespace orvanel::ui {

class TRadioGroup;

class TDlgNewBookmark : public TOKRightDlg {
  Q_OBJECT
 public:
  // `ui` shows the message of a rejected offset.
  TDlgNewBookmark(const TBookmarkDialogSetup& setup, TUserInterface& ui, QWidget* parent = nullptr);

  QLineEdit* LEBookmarkName = nullptr;
  QLineEdit* LEROMOffset = nullptr;
  TRadioGroup* RGAddType = nullptr;

  void done(int result) override;  // the closing check

 private:
  TUserInterface& ui_;
};

}  // namespace orvanel::ui
