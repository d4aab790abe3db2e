// Cut, copy and paste of code tree nodes, the project settings and the about box.
#include "dialogs/AboutBox.h"
#include "dialogs/OptionsDialog.h"
#include "logic/Recolouring.h"
#include "project/SnesProject.h"
#include "trees/CodeTreeView.h"
#include "window/MainWindow.h"

namespace orvanel::ui {

void TForm1::Cut1Click() {
  if (!project_) return;
  clipboard_.Cut(*project_);
  codeTree_->RepaintNodes();
}

void TForm1::Copy1Click() {
  if (!project_) return;
  clipboard_.Copy(*project_);
  codeTree_->RepaintNodes();  // the marks of an earlier cut are gone
}

void TForm1::Paste1Click() {
  if (!project_) return;
  clipboard_.Paste(*project_);
  codeTree_->RepaintNodes();
}

void TForm1::PasteAsChildrenOfselectednode1Click() {
  if (!project_) return;
  TCodeTreeView* tree = PopupTree();
  if (TProject* target = tree->Project()) clipboard_.PasteAsSubnodes(*target);
  codeTree_->RepaintNodes();
  if (tree != codeTree_) tree->RepaintNodes();
}

void TForm1::Options1Click() {
  if (!project_) return;
  TformOption dialog(RoleColours(project_->Palette), QString::fromStdString(project_->ProjectName),
                     ui_, this);
  if (ui_.ExecDialog(dialog) != QDialog::Accepted) return;
  TBusyScope busy(ui_);
  ApplyRoleColours(*project_, dialog.Colours());
  const std::string name = dialog.ProjectName().toStdString();
  if (name != project_->ProjectName) project_->SetSavedFlag(false);  // the project file holds it
  project_->ProjectName = name;
  codeTree_->RepaintNodes();
}

void TForm1::About1Click() {
  ui_.ExecDialog(*aboutBox_);
}

}  // namespace orvanel::ui
