// Navigation, search, line comments, the scope, mapping and label commands and the CPU
// status of the main window. The decisions are made by nav::TNavigationState and the plain
// functions of ui/logic; this file binds them to the window's controls.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "base/TextUtils.h"
#include "dialogs/FindDialog.h"
#include "dialogs/NewBookmarkDialog.h"
#include "dialogs/NewMappingDialog.h"
#include "dialogs/NewScopeDialog.h"
#include "logic/Placement.h"
#include "logic/StatusTexts.h"
#include "logic/TreePositions.h"
#include "project/Interrupts.h"
#include "project/SnesProject.h"
#include "records/ItemRegisters.h"
#include "records/Scope.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"
#include "window/Form1NavigationPanels.h"

namespace orvanel::ui {

namespace {

nav::TRect ToRect(const QRect& r) {
  return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

TTraceFileLine* LineOf(TTreeItem* node) {
  return node ? node->Line() : nullptr;
}

}  // namespace

TCloseOnEmptyClick::TCloseOnEmptyClick(QListWidget* list, std::function<void()> close)
    : QObject(list), list_(list), viewport_(list->viewport()), close_(std::move(close)) {
  viewport_->installEventFilter(this);
}

bool TCloseOnEmptyClick::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease && watched == viewport_ &&
      !list_->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
    close_();
  return QObject::eventFilter(watched, event);
}

void TForm1::TNavigationPanelsDeleter::operator()(TNavigationPanels* panels) const {
  delete panels;
}

TForm1::TNavigationPanels& TForm1::NavigationPanels() {
  if (!navigationPanels_) {
    navigationPanels_.reset(new TNavigationPanels);
    new TCloseOnEmptyClick(LBQuickTargetNav, [this] { HideBesideLine(LBQuickTargetNav); });
  }
  return *navigationPanels_;
}

// --- the project's life ------------------------------------------------------------------------

void TForm1::NavigationProjectOpened() {
  nav::TNavigationState& state = NavigationPanels().State;
  if (!project_) return;
  state.Open(*project_);
  state.ListsChanged = [this] {
    nav::TNavigationState& s = NavigationPanels().State;
    HideBesideLine(LBQuickTargetNav);  // its lines may be gone
    if (s.ScopeLines().empty()) HideBesideLine(CBSetScope);
    UpdateHistoryButtons();
  };
  UpdateHistoryButtons();
}

void TForm1::NavigationProjectClosing() {
  NavigationPanels().State.Close();
  HideBesideLine(LBQuickTargetNav);
  LBQuickTargetNav->clear();
  HideBesideLine(CBSetScope);
  UpdateHistoryButtons();
}

// --- selection change, history -----------------------------------------------------------------

void TForm1::UpdateHistoryButtons() {
  const nav::TVisitHistory& history = NavigationPanels().State.History();
  TBBackward->setEnabled(history.CanGoBack());
  TBForward->setEnabled(history.CanGoForward());
}

void TForm1::CodeTreeChange(orvanel::TTreeItem* node) {
  if (!node) return;
  nav::TNavigationState& state = NavigationPanels().State;
  const auto effects = state.SelectionChanged(node);
  if (effects.HideScopeBox) HideBesideLine(CBSetScope);
  HideBesideLine(LBQuickTargetNav);
  UpdateHistoryButtons();
  if (const TTraceFileLine* line = node->Line())
    codeTree_->setToolTip(QString::fromStdString(line->RegisterInfo()));
  const std::string interrupt = EnclosingInterrupt(node);
  SetStatusText(1, interrupt.empty()
                       ? QString()
                       : QStringLiteral("In %1").arg(QString::fromStdString(interrupt)));
  if (effects.UpdatePanels) ShowLineStatus(node);
}

void TForm1::ShowLineStatus(TTreeItem* node) {
  // The item's own execution: a loop's third turn shows the third turn's registers.
  const TItemRegisters* registers = node->Registers();
  if (!registers || !node->Line()) return;  // a comment line: the panels keep what they show
  const TTraceFileLine& line = *node->Line();
  SetStatusText(0, QString::fromStdString(OffsetStatusText(line)));
  const TStatusTexts t = StatusTexts(*registers);
  LabelA->setText(QString::fromStdString(t.A));
  LabelX->setText(QString::fromStdString(t.X));
  LabelY->setText(QString::fromStdString(t.Y));
  LabelD->setText(QString::fromStdString(t.D));
  LabelDB->setText(QString::fromStdString(t.DB));
  LabelS->setText(QString::fromStdString(t.S));
  LabelPS->setText(QString::fromStdString(t.PS));
  LabelHC->setText(QString::fromStdString(t.HC));
  LabelVC->setText(QString::fromStdString(t.VC));
  MemoLineComment->setPlainText(QString::fromStdString(nav::CommentToMemo(line.Comment())));
}

void TForm1::TBBackwardClick() {
  nav::TVisitHistory& history = NavigationPanels().State.History();
  TTreeItem* node = history.Back();
  if (!node) return;
  codeTree_->SelectNode(nullptr);
  codeTree_->SelectNode(node);
  history.EndNavigation();
  UpdateHistoryButtons();
}

void TForm1::TBForwardClick() {
  nav::TVisitHistory& history = NavigationPanels().State.History();
  TTreeItem* node = history.Forward();
  if (!node) return;
  codeTree_->SelectNode(nullptr);
  codeTree_->SelectNode(node);
  history.EndNavigation();
  UpdateHistoryButtons();
}

// --- gotos -------------------------------------------------------------------------------------

void TForm1::SelectFoundNode(TTreeItem* node, bool focus) {
  codeTree_->SelectNode(nullptr);
  if (focus) codeTree_->setFocus();
  codeTree_->SelectNode(node);
}

void TForm1::GotoOffset(qint64 offset) {
  TNavigationPanels& panels = NavigationPanels();
  // The gotos borrow the offset search's direction and find-next state.
  if (panels.FDOffset) {
    panels.State.OffsetSearch.Up = panels.FDOffset->Up();
    panels.State.OffsetSearch.FindNextOn = panels.FDOffset->FindNextOn();
  }
  nav::TGotoOutcome outcome;
  {
    TBusyScope busy(ui_);
    outcome = panels.State.GotoOffset(offset);
  }
  if (outcome.Item)
    SelectFoundNode(outcome.Item, true);
  else if (!outcome.Message.empty())
    ui_.ShowMessage(outcome.Message);
}

void TForm1::GotoNextOpCode1Click() {
  if (const TTraceFileLine* line = LineOf(codeTree_->SelectedNode()))
    GotoOffset(line->Offset() + static_cast<qint64>(line->OpcodeLen()));
}

void TForm1::GotopreviousOpcode1Click() {
  const TTraceFileLine* line = LineOf(codeTree_->SelectedNode());
  if (!line || !project_ || project_->Tree().Empty()) return;
  std::optional<int64_t> previous;
  {
    TBusyScope busy(ui_);
    previous = NavigationPanels().State.PreviousOpcodeOffset(line->Offset());
  }
  if (previous)
    GotoOffset(*previous);
  else
    ui_.ShowMessage(nav::NoPreviousOpcodeMessage(line->Offset()));
}

void TForm1::FindStartNode1Click() {
  if (!project_ || project_->Tree().Empty()) return;
  TBusyScope busy(ui_);
  TTreeItem* node = NavigationPanels().State.StartNode();
  codeTree_->SelectNode(nullptr);
  if (node) codeTree_->SelectNode(node);
}

void TForm1::FindTargetNode1Click() {
  const TTraceFileLine* line = LineOf(codeTree_->SelectedNode());
  if (!line) return;
  nav::TGotoOutcome outcome = NavigationPanels().State.TargetNode(*line);
  if (outcome.Item)
    codeTree_->SelectNode(outcome.Item);  // made visible when an ancestor is collapsed
  else
    ui_.ShowMessage(outcome.Message);
}

void TForm1::PopupMenuCodeTreePopup() {
  const TTraceFileLine* line = LineOf(codeTree_->SelectedNode());
  if (line && project_)
    FindTargetNode1->setVisible(nav::OffersGotoTarget(*line, project_->Palette));
}

// --- quick target list -------------------------------------------------------------------------

void TForm1::ShowQuickTargetList() {
  TTreeItem* node = codeTree_->SelectedNode();
  nav::TNavigationState& state = NavigationPanels().State;
  if (!state.FillQuickTargets(LineOf(node))) return;
  LBQuickTargetNav->clear();
  for (const TTraceFileLine* line : state.QuickTargets())
    LBQuickTargetNav->addItem(QString::fromStdString(line->DisplayText()));
  ShowBesideLine(LBQuickTargetNav, node);
}

void TForm1::ShowBesideLine(QWidget* popup, TTreeItem* node) {
  QWidget* area = codeTree_->viewport();
  if (popup->parentWidget() != area) popup->setParent(area);
  codeTree_->scrollTo(codeTree_->IndexOf(node));
  const QRect text = codeTree_->TextExtent(node);
  const nav::TRect line = ToRect(text);
  const nav::TRect bounds = ToRect(area->rect());
  const nav::TPoint place =
      popup == LBQuickTargetNav
          ? nav::QuickTargetListPlace(line, bounds, popup->width(), popup->height())
          : nav::ScopeBoxPlace(line, bounds, popup->width(), popup->height());
  popup->move(place.X, place.Y);
  popup->show();
  popup->raise();
  popup->setFocus(Qt::PopupFocusReason);
}

void TForm1::HideBesideLine(QWidget* popup) {
  if (popup->isHidden()) return;
  QWidget* focus = QApplication::focusWidget();
  const bool hadFocus = focus && (focus == popup || popup->isAncestorOf(focus));
  popup->hide();
  // The keys go back to the tree the box or list stood on.
  if (hadFocus) codeTree_->setFocus(Qt::OtherFocusReason);
}

void TForm1::LBQuickTargetNavClick() {
  const std::vector<TTraceFileLine*>& lines = NavigationPanels().State.QuickTargets();
  const int row = LBQuickTargetNav->currentRow();
  HideBesideLine(LBQuickTargetNav);
  if (row < 0 || static_cast<size_t>(row) >= lines.size()) return;
  GotoOffset(lines[static_cast<size_t>(row)]->Offset());
}

void TForm1::LBQuickTargetNavKeyDown(int key) {
  if (key == Qt::Key_Escape) HideBesideLine(LBQuickTargetNav);
}

// --- bookmarks ---------------------------------------------------------------------------------

void TForm1::Add1Click() {
  NewBookmark(nullptr);
}

void TForm1::AddAtLine1Click() {
  NewBookmark(codeTree_->SelectedNode());
}

void TForm1::NewBookmark(TTreeItem* node) {
  if (!project_) return;
  TDlgNewBookmark dialog(BookmarkSetup(LineOf(node)), ui_, this);
  const int result = ui_.ExecDialog(dialog);
  const std::string name = dialog.LEBookmarkName->text().toStdString();
  const std::string offset = dialog.LEROMOffset->text().toStdString();
  if (result != QDialog::Accepted) return;
  if (project_->NewBookmark(offset, name)) {
    if (const auto* entry = project_->BookmarkList().Find(offset))
      AddBookmarkItem(entry->MenuEntry.get());
    codeTree_->RepaintNodes();  // the line's bookmark mark
  }
}

// --- search ------------------------------------------------------------------------------------

void TForm1::ByOffset1Click() {
  TNavigationPanels& panels = NavigationPanels();
  if (!panels.FDOffset) {
    panels.FDOffset = new TFindDialog(QStringLiteral("Find"), this);
    panels.FDOffset->setObjectName(QStringLiteral("FDOffset"));
    panels.FDOffset->CBMatchCase->setEnabled(false);
    connect(panels.FDOffset, &TFindDialog::Find, this,
            [this] { RunCommand([this] { FDOffsetFind(); }); });
  }
  panels.FDOffset->show();
  panels.FDOffset->raise();
  panels.FDOffset->activateWindow();
}

void TForm1::ext1Click() {
  TNavigationPanels& panels = NavigationPanels();
  if (!panels.FDText) {
    panels.FDText = new TFindDialog(QStringLiteral("Find"), this);
    panels.FDText->setObjectName(QStringLiteral("FDText"));
    connect(panels.FDText, &TFindDialog::Find, this,
            [this] { RunCommand([this] { FDTextFind(); }); });
  }
  panels.FDText->show();
  panels.FDText->raise();
  panels.FDText->activateWindow();
}

void TForm1::Register1Click() {
  TNavigationPanels& panels = NavigationPanels();
  if (!panels.FDFindTarget) {
    panels.FDFindTarget = new TFindDialog(QStringLiteral("Find"), this);
    panels.FDFindTarget->setObjectName(QStringLiteral("FDFindTarget"));
    panels.FDFindTarget->SetFindNextOn(true);
    connect(panels.FDFindTarget, &TFindDialog::Find, this,
            [this] { RunCommand([this] { FDFindTargetFind(); }); });
  }
  panels.FDFindTarget->show();
  panels.FDFindTarget->raise();
  panels.FDFindTarget->activateWindow();
}

void TForm1::FDOffsetFind() {
  const int64_t value = StrToInt(NavigationPanels().FDOffset->FindText().toStdString());
  GotoOffset(value);
}

void TForm1::FDTextFind() {
  TNavigationPanels& panels = NavigationPanels();
  nav::TSearchOutcome outcome;
  {
    TBusyScope busy(ui_);
    outcome = panels.State.SearchText(panels.FDText->FindText().toStdString(),
                                      panels.FDText->SearchStep());
  }
  if (outcome.Item) SelectFoundNode(outcome.Item, true);
  if (!outcome.Message.empty()) ui_.ShowMessage(outcome.Message);
}

void TForm1::FDFindTargetFind() {
  TNavigationPanels& panels = NavigationPanels();
  nav::TSearchOutcome outcome;
  {
    TBusyScope busy(ui_);
    outcome = panels.State.SearchTarget(panels.FDFindTarget->FindText().toStdString(),
                                        panels.FDFindTarget->SearchStep());
  }
  if (outcome.Item) SelectFoundNode(outcome.Item, true);
  if (!outcome.Message.empty()) ui_.ShowMessage(outcome.Message);
}

// --- line comment ------------------------------------------------------------------------------

void TForm1::TBSaveCommentClick() {
  TTraceFileLine* line = LineOf(codeTree_->SelectedNode());
  if (!line || !project_) return;
  line->SetComment(nav::MemoToComment(MemoLineComment->toPlainText().toStdString()));
  project_->SetSaved(false);
  project_->MarkLogChanged();
  codeTree_->RepaintNodes();
}

// --- scopes, mappings, labels ------------------------------------------------------------------

void TForm1::TBNewScopeClick() {
  if (!project_) return;
  TDlgScopeName dialog(this);
  if (ui_.ExecDialog(dialog) != QDialog::Accepted) return;
  const std::string name = dialog.LEScopeName->text().toStdString();
  TSNESScopeManager* scopes = project_->ScopeManager();
  if (scopes->FindScopeByName(name)) {
    ui_.ShowMessage("Scope \"" + name + "\" already defined!");
    return;
  }
  scopes->GetScope(name, false);
  project_->SetSavedFlag(false);  // the map file holds the scopes
}

void TForm1::NewMapping(TProject& project, TTreeItem* node) {
  TSNESScopeManager* scopes = project_->ScopeManager();
  const TTraceFileLine* line = LineOf(node);
  TformNewMapping dialog(line ? MappingAtLineSetup(*scopes, *line) : NewMappingSetup(*scopes), ui_,
                         this);
  const int result = ui_.ExecDialog(dialog) == QDialog::Accepted ? 1 : 0;
  project.CreateMapping(dialog.LEMapOffset->text().toStdString(),
                        dialog.LEMappingName->text().toStdString(), !dialog.CBScope->isChecked(),
                        result, dialog.CBScopes->currentText().toStdString());
  codeTree_->RepaintNodes();
  codeCacheTree_->RepaintNodes();
}

void TForm1::TBNewMappingClick() {
  if (project_) NewMapping(*project_, nullptr);
}

void TForm1::AddMapping1Click() {
  if (project_) NewMapping(*project_, nullptr);
}

void TForm1::MappingtoScope1Click() {
  if (!project_) return;
  TScopeNode* scope = scopeTree_->SelectedScope();
  if (!scope || scopeTree_->SelectedMapping()) return;  // a scope, not a mapping below one
  TformNewMapping dialog(MappingToScopeSetup(*scope), ui_, this);
  const int result = ui_.ExecDialog(dialog) == QDialog::Accepted ? 1 : 0;
  project_->CreateMapping(dialog.LEMapOffset->text().toStdString(),
                          dialog.LEMappingName->text().toStdString(), !dialog.CBScope->isChecked(),
                          result, dialog.CBScopes->currentText().toStdString());
  codeTree_->RepaintNodes();
  codeCacheTree_->RepaintNodes();
}

void TForm1::ForTargetOffset1Click() {
  if (!project_) return;
  // The context menu serves both trees: the one with the focus, else the code cache's.
  TCodeTreeView* tree = codeTree_->hasFocus() ? codeTree_ : codeCacheTree_;
  TTreeItem* node = tree->SelectedNode();
  if (!LineOf(node) || !tree->Project()) return;
  NewMapping(*tree->Project(), node);
}

void TForm1::TBDeleteScopeMappingClick() {
  if (!project_) return;
  TMappingNode* mapping = scopeTree_->SelectedMapping();
  if (!mapping) return;  // a scope is not deleted here
  project_->ScopeManager()->DeleteMapping(mapping);
  project_->SetSavedFlag(false);
  codeTree_->RepaintNodes();
  codeCacheTree_->RepaintNodes();
}

void TForm1::PopMappingsPopup() {
  TScopeNode* scope = scopeTree_->SelectedScope();
  const bool enabled = scope && !scopeTree_->SelectedMapping() && !scope->IsGlobal();
  Goto1->setEnabled(enabled);
  Goto1->menuAction()->setEnabled(enabled);
}

void TForm1::GotoScopeLine(bool start) {
  TScopeNode* scope = scopeTree_->SelectedScope();
  if (!project_ || !scope || scopeTree_->SelectedMapping()) return;
  codeTree_->SelectNode(nullptr);
  const TTraceFileLine* line = start ? scope->StartLine() : scope->EndLine();
  if (!line) return;
  if (TTreeItem* found = NavigationPanels().State.FirstWithOffset(line->Offset()))
    codeTree_->SelectNode(found);
}

void TForm1::StartOffset1Click() {
  GotoScopeLine(true);
}

void TForm1::EndOffset1Click() {
  GotoScopeLine(false);
}

void TForm1::NewLabel(TTreeItem* node) {
  if (!project_) return;
  const TTraceFileLine* line = LineOf(node);
  TformNewMapping dialog(line ? LabelAtLineSetup(*line) : NewLabelSetup(), ui_, this);
  if (ui_.ExecDialog(dialog) != QDialog::Accepted) return;
  project_->CreateLabel(dialog.LEMapOffset->text().toStdString(),
                        dialog.LEMappingName->text().toStdString());
  codeTree_->RepaintNodes();
  codeCacheTree_->RepaintNodes();
}

void TForm1::TBLabelAddClick() {
  NewLabel(nullptr);
}

void TForm1::CreateOffsetLabelatLine1Click() {
  // The code tree's line, also when the menu was opened over the code cache.
  if (TTreeItem* node = codeTree_->SelectedNode(); LineOf(node)) NewLabel(node);
}

void TForm1::TBDeleteScopeMappinh() {
  if (!project_) return;
  TMappingNode* label = labelTree_->SelectedLabel();
  if (!label) return;
  project_->RemoveLabel(label);
  codeTree_->RepaintNodes();
  codeCacheTree_->RepaintNodes();
}

void TForm1::SetLineScope1Click() {
  if (!project_) return;
  std::vector<TTreeItem*> nodes = codeTree_->SelectedNodes();
  if (nodes.empty()) return;
  nav::TNavigationState& state = NavigationPanels().State;
  TTreeItem* shown = codeTree_->SelectedNode();
  state.SetScopeLines(std::move(nodes));
  CBSetScope->clear();
  for (const auto& scope : project_->ScopeManager()->Scopes())
    CBSetScope->addItem(QString::fromStdString(scope->ScopeName()));
  CBSetScope->resize(CBSetScope->width(), CBSetScope->sizeHint().height());
  ShowBesideLine(CBSetScope, shown ? shown : state.ScopeLines().back());
}

void TForm1::CBSetScopeChange(int index) {
  nav::TNavigationState& state = NavigationPanels().State;
  if (project_ && !state.ScopeLines().empty() && index >= 0) {
    const auto& scopes = project_->ScopeManager()->Scopes();
    if (static_cast<size_t>(index) < scopes.size())
      state.ApplyScope(scopes[static_cast<size_t>(index)].get());
  }
  HideBesideLine(CBSetScope);
  codeTree_->RepaintNodes();
}

void TForm1::CloseScopeBox() {
  NavigationPanels().State.ForgetScopeLines();
  HideBesideLine(CBSetScope);
}

}  // namespace orvanel::ui
