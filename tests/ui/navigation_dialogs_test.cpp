// The address entry dialogs and the find dialog on their own: captions, controls, tab order,
// limits, preparation for each source, and the checks that keep a dialog open.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "dialogs/DialogParts.h"
#include "dialogs/FindDialog.h"
#include "dialogs/NewBookmarkDialog.h"
#include "dialogs/NewMappingDialog.h"
#include "dialogs/NewScopeDialog.h"
#include "dialogs/OKRightDlg.h"
#include "project/SnesProject.h"
#include "records/Scope.h"

namespace orvanel::ui {
namespace {

// The names of the focusable controls in the order Tab visits them, from `first`.
std::vector<std::string> TabOrder(QWidget* first, size_t count) {
  std::vector<std::string> names;
  QWidget* w = first;
  for (size_t guard = 0; w && names.size() < count && guard < 200; ++guard) {
    if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty())
      names.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
  }
  return names;
}

// Presses OK on a dialog that is not run modally; true when the dialog accepted.
bool PressOk(QDialog& dialog, QPushButton* ok) {
  dialog.setResult(QDialog::Rejected);
  ok->click();
  return dialog.result() == QDialog::Accepted;
}

class MappingDialog : public ::testing::Test {
 protected:
  // A new mapping dialog with no source, offset typed in the format (0 hex, 1 decimal).
  bool Confirm(const QString& typed, int format = 0) {
    TformNewMapping dialog(NewMappingSetup(scopes()), ui);
    dialog.LEMapOffset->setText(typed);
    dialog.RadioGroup1->SetItemIndex(format);
    accepted = PressOk(dialog, dialog.OKBtn);
    text = dialog.LEMapOffset->text();
    return accepted;
  }
  const TScopeManager& scopes() {
    if (!project) {
      test::TLogBuilder log;
      log.Nop(0x8000).Nop(0x8001);
      project = test::ConvertedProject(ui, log.Text());
    }
    return *project->ScopeManager();
  }
  test::TFakeUserInterface ui;
  std::unique_ptr<TSNESProject> project;
  bool accepted = false;
  QString text;
};

TEST_F(MappingDialog, ControlsTabOrderAndLimits) {
  TformNewMapping dialog(NewMappingSetup(scopes()), ui);
  EXPECT_EQ(dialog.windowTitle(), "Define new Mapping");
  EXPECT_EQ(dialog.CBScope->text(), "Limited Scope");
  EXPECT_TRUE(dialog.CBScopes->isEditable());
  EXPECT_EQ(dialog.findChild<QLabel*>("LEMapOffsetLabel")->text(), "Mapping Offset");
  EXPECT_EQ(dialog.findChild<QLabel*>("LEMappingNameLabel")->text(), "Mapping Name");
  EXPECT_EQ(dialog.RadioGroup1->title(), "Addres Format");
  EXPECT_EQ(dialog.RadioGroup1->ItemIndex(), 0) << "Hex at start";
  EXPECT_EQ(dialog.LEMapOffset->maxLength(), 7);
  EXPECT_EQ(dialog.LEMappingName->maxLength(), 150);
  EXPECT_TRUE(dialog.OKBtn->isDefault());
  auto order = TabOrder(dialog.CBScope, 20);
  auto at = [&](const char* name) {
    return std::find(order.begin(), order.end(), name) - order.begin();
  };
  EXPECT_LT(at("CBScope"), at("CBScopes"));
  EXPECT_LT(at("CBScopes"), at("LEMapOffset"));
  EXPECT_LT(at("LEMapOffset"), at("LEMappingName"));
  EXPECT_LT(at("LEMappingName"), at("OKBtn"));
  EXPECT_LT(at("OKBtn"), at("CancelBtn"));
}

TEST_F(MappingDialog, HexOffsetsGetADollarAndAreChecked) {
  EXPECT_TRUE(Confirm("8000"));
  EXPECT_EQ(text, "$8000");
  EXPECT_FALSE(Confirm("1")) << "$1 is too short";
  EXPECT_EQ(text, "$1") << "the dialog stays open with the text as it now stands";
  EXPECT_TRUE(Confirm("#$12"));
  EXPECT_EQ(text, "#$12");
  EXPECT_FALSE(Confirm("#12"));
  EXPECT_EQ(text, "$#12");
  EXPECT_TRUE(Confirm("##$12"));
  EXPECT_FALSE(Confirm("$12G"));
  EXPECT_FALSE(Confirm("$1G2"));
  EXPECT_FALSE(Confirm(""));
  EXPECT_EQ(ui.Messages.back(), "There's an incorrect Input somewhere!");
  // Seven typed characters with a "$" added are kept whole.
  EXPECT_TRUE(Confirm("1234567"));
  EXPECT_EQ(text, "$1234567");
}

TEST_F(MappingDialog, DecimalOffsetsAreTakenAsTheyStand) {
  EXPECT_FALSE(Confirm("12a", 1));
  EXPECT_FALSE(Confirm("1a", 1));
  EXPECT_TRUE(Confirm("32768", 1));
  EXPECT_EQ(text, "32768");
  EXPECT_FALSE(Confirm("$8000", 1));
  EXPECT_EQ(ui.Messages.size(), 3u) << "one message per rejected entry";
}

TEST_F(MappingDialog, CancelClosesWithoutAnyCheck) {
  TformNewMapping dialog(NewMappingSetup(scopes()), ui);
  dialog.LEMapOffset->setText("bad!");
  dialog.setResult(QDialog::Accepted);
  dialog.CancelBtn->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.LEMapOffset->text(), "bad!");
  EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(MappingDialog, LimitedScopeEnablesTheScopeBoxOnlyWithTheUpdateFlag) {
  scopes();
  ASSERT_EQ(project->Tree().Count(), 2u);
  project->ScopeManager()->GetScope("Zone", false);
  ASSERT_EQ(project->Tree().Count(), 2u);
  TformNewMapping dialog(NewMappingSetup(*project->ScopeManager()), ui);
  ASSERT_EQ(dialog.CBScopes->count(), 1) << "every scope but Global";
  EXPECT_EQ(dialog.CBScopes->itemText(0), "Zone");
  dialog.show();
  EXPECT_FALSE(dialog.CBScope->isChecked());
  EXPECT_FALSE(dialog.CBScopes->isEnabled());
  dialog.CBScope->click();
  EXPECT_TRUE(dialog.CBScopes->isEnabled());
  dialog.CBScope->click();
  EXPECT_FALSE(dialog.CBScopes->isEnabled());
  // Checked with an empty scope name, the dialog closes.
  dialog.CBScope->click();
  dialog.LEMapOffset->setText("$7E0010");
  EXPECT_TRUE(PressOk(dialog, dialog.OKBtn));

  // At a line: the line's scope is fixed, the update flag off.
  ASSERT_EQ(project->Tree().Count(), 2u);
  TTraceFileLine* line = project->Tree().First()->Line();
  TformNewMapping atLine(MappingAtLineSetup(*project->ScopeManager(), *line), ui);
  atLine.show();
  EXPECT_TRUE(atLine.CBScope->isChecked());
  EXPECT_FALSE(atLine.CBScope->isEnabled());
  EXPECT_FALSE(atLine.CBScopes->isEnabled()) << "showing the form does not enable it";
  EXPECT_FALSE(atLine.UpdateScopes);
  EXPECT_EQ(atLine.CBScopes->currentText(), "Global");
  EXPECT_TRUE(atLine.LEMapOffset->text().isEmpty());
}

TEST_F(MappingDialog, LabelDialogsHideTheScopePanel) {
  TformNewMapping fresh(NewLabelSetup(), ui);
  EXPECT_TRUE(fresh.PScope->isHidden());
  EXPECT_EQ(fresh.windowTitle(), "Insert name and offset for a new label definition");
  scopes();
  TformNewMapping atLine(LabelAtLineSetup(*project->Tree().First()->Line()), ui);
  EXPECT_EQ(atLine.windowTitle(), "Insert Label name for offset $008000");
  EXPECT_EQ(atLine.LEMapOffset->text(), "$008000");
  EXPECT_FALSE(atLine.LEMapOffset->isEnabled());
  EXPECT_TRUE(PressOk(atLine, atLine.OKBtn));
}

TEST(BookmarkDialog, ForALineAndWithout) {
  test::TFakeUserInterface ui;
  test::TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001);
  auto project = test::ConvertedProject(ui, log.Text());
  TDlgNewBookmark atLine(BookmarkSetup(project->Tree().First()->Line()), ui);
  EXPECT_EQ(atLine.windowTitle(), "Create New Bookmark");
  EXPECT_EQ(atLine.LEROMOffset->text(), "$008000");
  EXPECT_FALSE(atLine.LEROMOffset->isEnabled());
  EXPECT_FALSE(atLine.RGAddType->isEnabled());
  EXPECT_EQ(atLine.findChild<QLabel*>("LEBookmarkNameLabel")->text(), "Bookmark Name");
  EXPECT_EQ(atLine.findChild<QLabel*>("LEROMOffsetLabel")->text(), "ROM Offset");
  ASSERT_NE(atLine.Bevel1, nullptr);
  auto order = TabOrder(atLine.LEBookmarkName, 5);
  ASSERT_GE(order.size(), 4u);
  EXPECT_EQ(order[0], "LEBookmarkName");
  EXPECT_EQ(order[1], "OKBtn");
  EXPECT_EQ(order[2], "CancelBtn");
  EXPECT_EQ(order[3], "LEROMOffset");

  TDlgNewBookmark free(BookmarkSetup(nullptr), ui);
  EXPECT_EQ(free.LEROMOffset->maxLength(), 7);
  free.LEROMOffset->setText("C000");
  EXPECT_TRUE(PressOk(free, free.OKBtn));
  EXPECT_EQ(free.LEROMOffset->text(), "$C000");
  free.LEROMOffset->setText("C0G0");
  EXPECT_FALSE(PressOk(free, free.OKBtn));
  EXPECT_EQ(ui.Messages.back(), "There's an incorrect Input somewhere!");
  free.RGAddType->SetItemIndex(1);
  free.LEROMOffset->setText("49152");
  EXPECT_TRUE(PressOk(free, free.OKBtn));
}

TEST(ScopeDialogs, CaptionsAndButtons) {
  TDlgScopeName scope;
  EXPECT_EQ(scope.windowTitle(), "Define New Scope");
  EXPECT_EQ(scope.findChild<QLabel*>("LEScopeNameLabel")->text(), "Scope Name");
  EXPECT_TRUE(scope.OKBtn->isDefault());
  auto order = TabOrder(scope.LEScopeName, 3);
  EXPECT_EQ(order, (std::vector<std::string>{"LEScopeName", "OKBtn", "CancelBtn"}));
  TOKRightDlg plain;
  EXPECT_EQ(plain.windowTitle(), "Dialog");
  EXPECT_EQ(plain.OKBtn->text(), "OK");
  EXPECT_EQ(plain.CancelBtn->text(), "Cancel");
}

TEST(FindDialog, FindNextStateLastsUntilTheDialogCloses) {
  TFindDialog find(QStringLiteral("Find"));
  EXPECT_TRUE(find.CBMatchCase->isHidden());
  EXPECT_TRUE(find.CBWholeWord->isHidden());
  EXPECT_EQ(find.SearchStep(), 1) << "down at start";
  int presses = 0;
  QObject::connect(&find, &TFindDialog::Find, [&] { ++presses; });
  find.show();
  EXPECT_FALSE(find.FindNextOn());
  find.BtnFindNext->click();
  EXPECT_EQ(presses, 1);
  EXPECT_TRUE(find.FindNextOn());
  find.SetUp(true);
  EXPECT_EQ(find.SearchStep(), -1);
  find.BtnCancel->click();
  EXPECT_FALSE(find.FindNextOn());
  EXPECT_TRUE(find.Up()) << "the direction outlives the dialog's closing";
}

}  // namespace
}  // namespace orvanel::ui
