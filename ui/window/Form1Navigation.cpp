// Navigation, search, line comments, the scope, mapping and label commands and the CPU
// status of the main window.
#include "window/MainWindow.h"

namespace orvanel::ui {

void TForm1::NavigationProjectOpened() {}
void TForm1::NavigationProjectClosing() {}

void TForm1::CodeTreeChange(orvanel::TTreeItem*) {}
void TForm1::ShowQuickTargetList() {}
void TForm1::LBQuickTargetNavClick() {}
void TForm1::LBQuickTargetNavKeyDown(int) {}
void TForm1::TBBackwardClick() {}
void TForm1::TBForwardClick() {}
void TForm1::FindStartNode1Click() {}
void TForm1::FindTargetNode1Click() {}
void TForm1::GotopreviousOpcode1Click() {}
void TForm1::GotoNextOpCode1Click() {}
void TForm1::PopupMenuCodeTreePopup() {}
void TForm1::Add1Click() {}
void TForm1::AddAtLine1Click() {}
void TForm1::ByOffset1Click() {}
void TForm1::ext1Click() {}
void TForm1::Register1Click() {}
void TForm1::TBSaveCommentClick() {}
void TForm1::CreateOffsetLabelatLine1Click() {}
void TForm1::ForTargetOffset1Click() {}
void TForm1::SetLineScope1Click() {}
void TForm1::CBSetScopeChange(int) {}
void TForm1::AddMapping1Click() {}
void TForm1::MappingtoScope1Click() {}
void TForm1::StartOffset1Click() {}
void TForm1::EndOffset1Click() {}
void TForm1::PopMappingsPopup() {}
void TForm1::TBNewScopeClick() {}
void TForm1::TBNewMappingClick() {}
void TForm1::TBDeleteScopeMappingClick() {}
void TForm1::TBLabelAddClick() {}
void TForm1::TBDeleteScopeMappinh() {}

}  // namespace orvanel::ui
