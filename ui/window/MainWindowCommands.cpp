// The main window's command table: main menu, context menus, tool buttons, their shortcuts,
// the enabling rule, and the precedence of the code trees' shortcuts over the main menu's.
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "project/Bookmarks.h"
#include "project/SnesProject.h"
#include "trees/CodeTreeView.h"
#include "window/MainWindow.h"

namespace orvanel::ui {

namespace {

QAction* ToolAction(QAction* action, QToolBar* bar, const QIcon& icon, const QString& hint) {
  action->setIcon(icon);
  action->setToolTip(hint);
  action->setStatusTip(hint);
  bar->addAction(action);
  // The button is what the user and the screen reader meet: it carries the name as well.
  if (QWidget* button = bar->widgetForAction(action)) {
    button->setObjectName(action->objectName() + QStringLiteral("Button"));
    button->setAccessibleName(action->text());
  }
  return action;
}

QMenu* NewMenu(QWidget* parent, const char* name, const QString& title) {
  auto* menu = new QMenu(title, parent);
  menu->setObjectName(QString::fromLatin1(name));
  menu->menuAction()->setObjectName(QString::fromLatin1(name));
  return menu;
}

}  // namespace

bool TForm1::RunCommand(const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const std::exception& e) {
    ui_.ShowMessage(e.what());
  } catch (...) {
    ui_.ShowMessage("An unknown error ended the command.");
  }
  return false;
}

QAction* TForm1::NewAction(const char* name, const QString& caption, void (TForm1::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  if (handler)
    connect(action, &QAction::triggered, this,
            [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
  return action;
}

void TForm1::CreateMenus() {
  QStyle* s = style();

  // File
  File1 = NewMenu(this, "File1", QStringLiteral("&File"));
  New1 = NewMenu(File1, "New1", QStringLiteral("New"));
  SNES1 = NewMenu(New1, "SNES1", QStringLiteral("SNES"));
  SNESProjectFile1 =
      NewAction("SNESProjectFile1", QStringLiteral("Marro's SNES9x SNES Log file Project"),
                &TForm1::SNESProjectFile1Click);
  DraviksSNES9xdebuggerLogProject1 = NewAction(
      "DraviksSNES9xdebuggerLogProject1", QStringLiteral("Dravik's SNES9x debugger Log Project"),
      &TForm1::DraviksSNES9xdebuggerLogProject1Click);
  SNES1->addAction(SNESProjectFile1);
  SNES1->addAction(DraviksSNES9xdebuggerLogProject1);
  AnyEmulatorLogProject1 =
      NewAction("AnyEmulatorLogProject1", QStringLiteral("Trace Log Project (any emulator)..."),
                &TForm1::AnyEmulatorLogProject1Click);
  SNES1->addAction(AnyEmulatorLogProject1);
  New1->addMenu(SNES1);
  File1->addMenu(New1);
  OpenProjectFile1 =
      NewAction("OpenProjectFile1", QStringLiteral("Open Project"), &TForm1::OpenProjectFile1Click);
  OpenLogFile1 =
      NewAction("OpenLogFile1", QStringLiteral("Open Log File"), &TForm1::OpenLogFile1Click);
  ImportLogFile1 =
      NewAction("ImportLogFile1", QStringLiteral("Import Log File"), &TForm1::ImportLogFile1Click);
  CloseLogfile1 =
      NewAction("CloseLogfile1", QStringLiteral("Close Log file"), &TForm1::CloseLogfile1Click);
  CloseProject1 =
      NewAction("CloseProject1", QStringLiteral("Close Project"), &TForm1::BtnCloseClick);
  SaveProjectAs1 = NewAction("SaveProjectAs1", QStringLiteral("Save Project As..."),
                             &TForm1::SaveProjectAs1Click);
  SaveProjectFile1 =
      NewAction("SaveProjectFile1", QStringLiteral("Save Project"), &TForm1::SaveProjectFile1Click);
  SaveLogFile1 =
      NewAction("SaveLogFile1", QStringLiteral("Save Log File"), &TForm1::SaveLogFile1Click);
  SaveLogFileAs1 =
      NewAction("SaveLogFileAs1", QStringLiteral("Save Log File As"), &TForm1::SaveLogFileAs1Click);
  Exit1 = NewAction("Exit1", QStringLiteral("Exit"), &TForm1::Exit1Click);
  Exit1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
  File1->addActions({OpenProjectFile1, OpenLogFile1, ImportLogFile1, CloseLogfile1, CloseProject1});
  File1->addSeparator();
  File1->addActions({SaveProjectAs1, SaveProjectFile1, SaveLogFile1, SaveLogFileAs1});
  File1->addSeparator();
  File1->addAction(Exit1);

  // Edit
  Edit1 = NewMenu(this, "Edit1", QStringLiteral("&Edit"));
  Cut1 = NewAction("Cut1", QStringLiteral("Cut"), &TForm1::Cut1Click);
  Cut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  Copy1 = NewAction("Copy1", QStringLiteral("Copy"), &TForm1::Copy1Click);
  Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste1 = NewAction("Paste1", QStringLiteral("Paste"), &TForm1::Paste1Click);
  Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  Edit1->addActions({Cut1, Copy1, Paste1});

  // Actions
  Actions1 = NewMenu(this, "Actions1", QStringLiteral("&Actions"));
  Search1 = NewMenu(Actions1, "Search1", QStringLiteral("Search"));
  ByOffset1 = NewAction("ByOffset1", QStringLiteral("By Offset"), &TForm1::ByOffset1Click);
  ByOffset1->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_O));
  ext1 = NewAction("ext1", QStringLiteral("Simple Text"), &TForm1::ext1Click);
  ext1->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E));
  Register1 = NewAction("Register1", QStringLiteral("Target Addres"), &TForm1::Register1Click);
  Register1->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T));
  Search1->addActions({ByOffset1, ext1, Register1});
  Actions1->addMenu(Search1);
  Actions1->addSeparator();
  Bookmarks1 = NewMenu(Actions1, "Bookmarks1", QStringLiteral("Bookmarks"));
  Add1 = NewAction("Add1", QStringLiteral("Add New"), &TForm1::Add1Click);
  Add1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  AddAtLine1 = NewAction("AddAtLine1", QStringLiteral("Add At Line"), &TForm1::AddAtLine1Click);
  AddAtLine1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  Bookmarks1->addActions({Add1, AddAtLine1});
  BookmarksSeparator = Bookmarks1->addSeparator();
  Actions1->addMenu(Bookmarks1);
  Export1 = NewMenu(Actions1, "Export1", QStringLiteral("Export"));
  LogFile1 = NewAction("LogFile1", QStringLiteral("Log File"), &TForm1::LogFile1Click);
  MapFile1 = NewAction("MapFile1", QStringLiteral("Map File"), &TForm1::MapFile1Click);
  Export1->addActions({LogFile1, MapFile1});
  Actions1->addMenu(Export1);
  ImportSymbols1 = NewAction("ImportSymbols1", QStringLiteral("Import Symbols..."),
                             &TForm1::ImportSymbols1Click);
  Actions1->addAction(ImportSymbols1);
  Actions1->addSeparator();
  Options1 = NewAction("Options1", QStringLiteral("Options"), &TForm1::Options1Click);
  Actions1->addAction(Options1);

  // Help
  Help1 = NewMenu(this, "Help1", QStringLiteral("&Help"));
  About1 = NewAction("About1", QStringLiteral("About"), &TForm1::About1Click);
  Help1->addAction(About1);

  menuBar()->setObjectName(QStringLiteral("MainMenu1"));
  for (QMenu* menu : {File1, Edit1, Actions1, Help1}) menuBar()->addMenu(menu);
  // Window-wide shortcuts work while any of the window's widgets has the focus.
  addActions({Exit1, Cut1, Copy1, Paste1, ByOffset1, ext1, Register1, Add1, AddAtLine1});

  // Tool buttons.
  TBOpenProject = ToolAction(
      NewAction("TBOpenProject", QStringLiteral("Open Project"), &TForm1::OpenProjectFile1Click),
      ToolBar3, s->standardIcon(QStyle::SP_DialogOpenButton), QStringLiteral("Open Project"));
  TBCloseProject = ToolAction(
      NewAction("TBCloseProject", QStringLiteral("Close Project"), &TForm1::BtnCloseClick),
      ToolBar3, s->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Close Project"));
  TBSaveProject = ToolAction(
      NewAction("TBSaveProject", QStringLiteral("Save Project"), &TForm1::SaveProjectFile1Click),
      ToolBar3, s->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save Project"));
  // Back and forward have no hint; their names are for screen readers.
  TBBackward = ToolAction(NewAction("TBBackward", QStringLiteral("Back"), &TForm1::TBBackwardClick),
                          ToolBar3, s->standardIcon(QStyle::SP_ArrowBack), QString());
  TBForward = ToolAction(NewAction("TBForward", QStringLiteral("Forward"), &TForm1::TBForwardClick),
                         ToolBar3, s->standardIcon(QStyle::SP_ArrowForward), QString());
  TBBackward->setEnabled(false);
  TBForward->setEnabled(false);

  TBNewScope = ToolAction(
      NewAction("TBNewScope", QStringLiteral("Create New Scope"), &TForm1::TBNewScopeClick),
      ToolBar2, s->standardIcon(QStyle::SP_FileDialogNewFolder),
      QStringLiteral("Create New Scope"));
  TBNewMapping = ToolAction(
      NewAction("TBNewMapping", QStringLiteral("Add New Mapping"), &TForm1::TBNewMappingClick),
      ToolBar2, s->standardIcon(QStyle::SP_FileIcon), QStringLiteral("Add New Mapping"));
  TBDeleteScopeMapping =
      ToolAction(NewAction("TBDeleteScopeMapping", QStringLiteral("Delete Mapping"),
                           &TForm1::TBDeleteScopeMappingClick),
                 ToolBar2, s->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Delete Mapping"));
  TBLabelAdd =
      ToolAction(NewAction("TBLabelAdd", QStringLiteral("Add New Label"), &TForm1::TBLabelAddClick),
                 TBLabels, s->standardIcon(QStyle::SP_FileIcon), QStringLiteral("Add New Label"));
  TBDeleteLabel = ToolAction(
      NewAction("TBDeleteLabel", QStringLiteral("Delete Label"), &TForm1::TBDeleteScopeMappinh),
      TBLabels, s->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Delete Label"));
  TBSaveComment = ToolAction(
      NewAction("TBSaveComment", QStringLiteral("Save Changes"), &TForm1::TBSaveCommentClick),
      ToolBar1, s->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("Save Changes"));
}

void TForm1::CreateCodeTreePopup() {
  PopupMenuCodeTree = NewMenu(this, "PopupMenuCodeTree", QString());
  auto shortcut = [](QAction* action, QKeySequence keys) {
    // Shown in the menu; the code trees dispatch it themselves (see eventFilter), so it never
    // competes with the main menu's entry of the same keys.
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetShortcut);
    return action;
  };
  CreateOffsetLabelatLine1 =
      shortcut(NewAction("CreateOffsetLabelatLine1", QStringLiteral("Create Offset Label at Line"),
                         &TForm1::CreateOffsetLabelatLine1Click),
               QKeySequence(Qt::CTRL | Qt::Key_L));
  ForTargetOffset1 =
      shortcut(NewAction("ForTargetOffset1", QStringLiteral("Create Mapping at line"),
                         &TForm1::ForTargetOffset1Click),
               QKeySequence(Qt::CTRL | Qt::Key_M));
  SetLineScope1 = shortcut(
      NewAction("SetLineScope1", QStringLiteral("Set Line Scope"), &TForm1::SetLineScope1Click),
      QKeySequence(Qt::CTRL | Qt::Key_F1));
  PopupMenuCodeTree->addActions({CreateOffsetLabelatLine1, ForTargetOffset1, SetLineScope1});
  PopupMenuCodeTree->addSeparator();
  Edit2 = NewMenu(PopupMenuCodeTree, "Edit2", QStringLiteral("Edit"));
  Cut2 = shortcut(NewAction("Cut2", QStringLiteral("Cut"), &TForm1::Cut1Click),
                  QKeySequence(Qt::CTRL | Qt::Key_X));
  Copy2 = shortcut(NewAction("Copy2", QStringLiteral("Copy"), &TForm1::Copy1Click),
                   QKeySequence(Qt::CTRL | Qt::Key_C));
  Paste2 = shortcut(NewAction("Paste2", QStringLiteral("Paste"), &TForm1::Paste1Click),
                    QKeySequence(Qt::CTRL | Qt::Key_V));
  PasteAsChildrenOfselectednode1 =
      shortcut(NewAction("PasteAsChildrenOfselectednode1", QStringLiteral("Paste As Subnodes"),
                         &TForm1::PasteAsChildrenOfselectednode1Click),
               QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
  Edit2->addActions({Cut2, Copy2, Paste2, PasteAsChildrenOfselectednode1});
  PopupMenuCodeTree->addMenu(Edit2);
  PopupMenuCodeTree->addSeparator();
  FindStartNode1 = shortcut(
      NewAction("FindStartNode1", QStringLiteral("Goto Start Node"), &TForm1::FindStartNode1Click),
      QKeySequence(Qt::CTRL | Qt::Key_S));
  FindTargetNode1 = shortcut(NewAction("FindTargetNode1", QStringLiteral("Goto Target Node"),
                                       &TForm1::FindTargetNode1Click),
                             QKeySequence(Qt::CTRL | Qt::Key_T));
  PopupMenuCodeTree->addActions({FindStartNode1, FindTargetNode1});
  PopupMenuCodeTree->addSeparator();
  GotopreviousOpcode1 =
      shortcut(NewAction("GotopreviousOpcode1", QStringLiteral("Goto previous Opcode"),
                         &TForm1::GotopreviousOpcode1Click),
               QKeySequence(Qt::CTRL | Qt::Key_P));
  GotoNextOpCode1 = shortcut(NewAction("GotoNextOpCode1", QStringLiteral("Goto Next OpCode"),
                                       &TForm1::GotoNextOpCode1Click),
                             QKeySequence(Qt::CTRL | Qt::Key_N));
  PopupMenuCodeTree->addActions({GotopreviousOpcode1, GotoNextOpCode1});
}

void TForm1::CreateMappingsPopup() {
  PopMappings = NewMenu(this, "PopMappings", QString());
  AddNew1 = NewMenu(PopMappings, "AddNew1", QStringLiteral("Add New"));
  AddMapping1 = NewAction("AddMapping1", QStringLiteral("Mapping"), &TForm1::AddMapping1Click);
  MappingtoScope1 = NewAction("MappingtoScope1", QStringLiteral("Mapping to Scope"),
                              &TForm1::MappingtoScope1Click);
  AddNew1->addActions({AddMapping1, MappingtoScope1});
  PopMappings->addMenu(AddNew1);
  Delete1 = NewAction("Delete1", QStringLiteral("Delete"), nullptr);
  Modify1 = NewAction("Modify1", QStringLiteral("Modify"), nullptr);
  PopMappings->addActions({Delete1, Modify1});
  Goto1 = NewMenu(PopMappings, "Goto1", QStringLiteral("Goto"));
  StartOffset1 =
      NewAction("StartOffset1", QStringLiteral("Start Offset"), &TForm1::StartOffset1Click);
  EndOffset1 = NewAction("EndOffset1", QStringLiteral("End Offset"), &TForm1::EndOffset1Click);
  Goto1->addActions({StartOffset1, EndOffset1});
  PopMappings->addMenu(Goto1);
}

void TForm1::EnableProjectCommands(bool enabled) {
  for (QAction* action : {SaveProjectAs1, SaveProjectFile1, SaveLogFile1, SaveLogFileAs1,
                          Export1->menuAction(), Cut1, Copy1, Paste1})
    action->setEnabled(enabled);
  for (QWidget* widget :
       {PanelCPUGroup, PanelMappings, PanelComments, static_cast<QWidget*>(GroupBoxComments),
        static_cast<QWidget*>(GroupBox1)})
    widget->setVisible(enabled);
  for (QAction* action :
       {TBCloseProject, TBSaveProject, Search1->menuAction(), Bookmarks1->menuAction(),
        CloseLogfile1, CloseProject1, OpenLogFile1, ImportLogFile1, Options1, ImportSymbols1})
    action->setEnabled(enabled);
  // The entries of a disabled submenu would still answer their shortcuts.
  for (QAction* action : {ByOffset1, ext1, Register1, Add1, AddAtLine1})
    action->setEnabled(enabled);
}

// --- shortcut precedence ---------------------------------------------------------------------

QAction* TForm1::ContextShortcutFor(const QKeySequence& keys) const {
  for (QAction* action : {CreateOffsetLabelatLine1, ForTargetOffset1, SetLineScope1, Cut2, Copy2,
                          Paste2, PasteAsChildrenOfselectednode1, FindStartNode1, FindTargetNode1,
                          GotopreviousOpcode1, GotoNextOpCode1})
    if (action->isEnabled() && action->shortcut() == keys) return action;
  return nullptr;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  bool onTree = project_ && (watched == codeTree_ || watched == codeCacheTree_);
  if (onTree && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
    // A code tree with the focus tries its context menu's shortcuts first: claiming the key in
    // the override keeps the main menu's entry of the same keys from firing.
    auto* key = static_cast<QKeyEvent*>(event);
    QKeySequence keys(key->keyCombination().key() |
                      (key->modifiers() & ~Qt::KeypadModifier & Qt::KeyboardModifierMask));
    if (QAction* action = ContextShortcutFor(keys)) {
      if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
      }
      action->trigger();
      return true;
    }
  }
  if (watched == LBQuickTargetNav && event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    RunCommand([this, key] { LBQuickTargetNavKeyDown(key); });
    return key == Qt::Key_Escape;
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- bookmarks ---------------------------------------------------------------------------------

void TForm1::AddBookmarkItem(TMenuEntry* entry) {
  if (!entry || bookmarkItems_.count(entry)) return;
  auto* action = new QAction(QString::fromStdString(entry->Caption), Bookmarks1);
  action->setToolTip(QString::fromStdString(entry->Hint));
  action->setObjectName(QStringLiteral("Bookmark_%1").arg(entry->Tag));
  connect(action, &QAction::triggered, this, [this, entry] {
    RunCommand([this, entry] {
      if (!project_) return;
      if (TTreeItem* node = project_->BookmarkClick(*entry)) {
        codeTree_->setFocus();
        codeTree_->SelectNode(node);
      }
    });
  });
  Bookmarks1->addAction(action);
  bookmarkItems_[entry] = action;
}

void TForm1::RemoveBookmarkItems() {
  for (auto& [entry, action] : bookmarkItems_) {
    Bookmarks1->removeAction(action);
    delete action;
  }
  bookmarkItems_.clear();
}

}  // namespace orvanel::ui
