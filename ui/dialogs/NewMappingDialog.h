#pragma once
// "Define new Mapping": an offset and a name, optionally limited to a scope; with its scope
// panel hidden it also asks for new labels. The offset is checked before the dialog closes
// with OK.
#include <QDialog>

#include "scopes/AddressChecks.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace orvanel {
class TUserInterface;
}

namespace orvanel::ui {

class TRadioGroup;

class TformNewMapping : public QDialog {
  Q_OBJECT
 public:
  // `ui` shows the message of a rejected offset.
  TformNewMapping(const TMappingDialogSetup& setup, TUserInterface& ui, QWidget* parent = nullptr);

  QWidget* PScope = nullptr;
  QCheckBox* CBScope = nullptr;
  QComboBox* CBScopes = nullptr;
  QWidget* PGeneral = nullptr;
  QLineEdit* LEMapOffset = nullptr;
  QLineEdit* LEMappingName = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Whether showing the form and clicking "Limited Scope" enable the scope box.
  bool UpdateScopes = true;

  void done(int result) override;  // OKBtnClick, then the closing check

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CBScopeClick();
  void OKBtnClick();
  TUserInterface& ui_;
};

}  // namespace orvanel::ui
