#pragma once
// The main window: the open project's three trees, the command table and its enabling, the
// project, log and edit commands. Navigation, search, comments, the scope, mapping and label
// commands and the CPU status live in Form1Navigation.cpp (the block marked below).
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "editing/Clipboard.h"
#include "window/QtUserInterface.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolBar;

namespace orvanel {
class TMenuEntry;
class TProject;
class TSNESProject;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::ui {

class TAboutBox;
class TBreadcrumbBar;
class TCodeTreeView;
class TLabelTreeView;
class TScopeTreeView;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;
  static QString CaptionText() { return QStringLiteral("Velkor Ver1.0 Beta - Orvanel"); }

  // Opens a project file as "Open Project" does after its dialog (the command line's
  // project); false, with a message, when it cannot.
  bool OpenProjectFile(const QString& fileName);

  TSNESProject* CurrentProject() const { return project_.get(); }
  bool ProjectOpen() const { return projectOpen_; }
  TCodeTreeView* CodeTree() const { return codeTree_; }
  TCodeTreeView* CodeCacheTree() const { return codeCacheTree_; }
  TScopeTreeView* ScopeTree() const { return scopeTree_; }
  TLabelTreeView* LabelTree() const { return labelTree_; }
  // The model's user interface; tests script its messages, questions and dialogs.
  TQtUserInterface& Ui() { return ui_; }
  TClipboard& Clipboard() { return clipboard_; }

  // Runs a command: whatever the model throws is shown in a message box and goes no further
  // (an exception never crosses the event loop). False when the command failed.
  bool RunCommand(const std::function<void()>& command);

  // The three text panels of the status bar (only the first is written).
  QString StatusText(int panel) const;
  void SetStatusText(int panel, const QString& text);

  // A bookmark's menu entry becomes an entry of the "Bookmarks" submenu that selects its line.
  void AddBookmarkItem(TMenuEntry* entry);
  // Takes every bookmark entry of the open project out of the "Bookmarks" submenu.
  void RemoveBookmarkItems();

  // The tree on which the code tree context menu was opened last (the code tree before).
  TCodeTreeView* PopupTree() const;

  // --- controls, by their names ---------------------------------------------------------
  QToolBar* ToolBar3 = nullptr;
  QAction* TBOpenProject = nullptr;
  QAction* TBCloseProject = nullptr;
  QAction* TBSaveProject = nullptr;
  QAction* TBBackward = nullptr;
  QAction* TBForward = nullptr;

  QWidget* Panel1 = nullptr;  // the code tree area
  QLabel* Panel1Caption = nullptr;
  TBreadcrumbBar* Breadcrumb = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QComboBox* CBSetScope = nullptr;
  QListWidget* LBQuickTargetNav = nullptr;

  QSplitter* Splitter1 = nullptr;
  QWidget* Panel2 = nullptr;
  QWidget* PanelCPUGroup = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* LabelA = nullptr;
  QLabel* LabelX = nullptr;
  QLabel* LabelY = nullptr;
  QLabel* LabelD = nullptr;
  QLabel* LabelDB = nullptr;
  QLabel* LabelS = nullptr;
  QLabel* LabelPS = nullptr;
  QLabel* LabelHC = nullptr;
  QLabel* LabelVC = nullptr;
  QWidget* PanelMappings = nullptr;
  QSplitter* Splitter2 = nullptr;
  QTabWidget* PCProjectOverview = nullptr;
  QWidget* TSMappings = nullptr;
  QWidget* TSLabels = nullptr;
  QWidget* TSCodeCache = nullptr;
  QToolBar* ToolBar2 = nullptr;
  QAction* TBNewScope = nullptr;
  QAction* TBNewMapping = nullptr;
  QAction* TBDeleteScopeMapping = nullptr;
  QToolBar* TBLabels = nullptr;
  QAction* TBLabelAdd = nullptr;
  QAction* TBDeleteLabel = nullptr;
  QWidget* PanelComments = nullptr;
  QGroupBox* GroupBoxComments = nullptr;
  QPlainTextEdit* MemoLineComment = nullptr;  // at most 200 characters
  QToolBar* ToolBar1 = nullptr;
  QAction* TBSaveComment = nullptr;

  // The window's own file dialogs.
  TFileDialog ODProjectFile;
  TFileDialog SDProjectFile;
  TFileDialog ODConvLog;

  // --- main menu --------------------------------------------------------------------------
  QMenu* File1 = nullptr;
  QMenu* New1 = nullptr;
  QMenu* SNES1 = nullptr;
  QAction* SNESProjectFile1 = nullptr;
  QAction* DraviksSNES9xdebuggerLogProject1 = nullptr;
  QAction* AnyEmulatorLogProject1 = nullptr;
  QAction* OpenProjectFile1 = nullptr;
  QAction* OpenLogFile1 = nullptr;
  QAction* ImportLogFile1 = nullptr;
  QAction* CloseLogfile1 = nullptr;
  QAction* CloseProject1 = nullptr;
  QAction* SaveProjectAs1 = nullptr;
  QAction* SaveProjectFile1 = nullptr;
  QAction* SaveLogFile1 = nullptr;
  QAction* SaveLogFileAs1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Edit1 = nullptr;
  QAction* Cut1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Paste1 = nullptr;
  QMenu* Actions1 = nullptr;
  QMenu* Search1 = nullptr;
  QAction* ByOffset1 = nullptr;
  QAction* ext1 = nullptr;
  QAction* Register1 = nullptr;
  QMenu* Bookmarks1 = nullptr;
  QAction* Add1 = nullptr;
  QAction* AddAtLine1 = nullptr;
  QAction* BookmarksSeparator = nullptr;
  QMenu* Export1 = nullptr;
  QAction* LogFile1 = nullptr;  // the listing of the code tree
  QAction* MapFile1 = nullptr;  // the labels and mappings as a symbol file
  QAction* ImportSymbols1 = nullptr;
  QAction* Options1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* About1 = nullptr;

  // --- code tree context menu (also over the code cache tree) -----------------------------
  QMenu* PopupMenuCodeTree = nullptr;
  QAction* CreateOffsetLabelatLine1 = nullptr;
  QAction* ForTargetOffset1 = nullptr;
  QAction* SetLineScope1 = nullptr;
  QMenu* Edit2 = nullptr;
  QAction* Cut2 = nullptr;
  QAction* Copy2 = nullptr;
  QAction* Paste2 = nullptr;
  QAction* PasteAsChildrenOfselectednode1 = nullptr;
  QAction* FindStartNode1 = nullptr;
  QAction* FindTargetNode1 = nullptr;
  QAction* GotopreviousOpcode1 = nullptr;
  QAction* GotoNextOpCode1 = nullptr;

  // --- mappings context menu -------------------------------------------------------------
  QMenu* PopMappings = nullptr;
  QMenu* AddNew1 = nullptr;
  QAction* AddMapping1 = nullptr;
  QAction* MappingtoScope1 = nullptr;
  QAction* Delete1 = nullptr;  // carries no action
  QAction* Modify1 = nullptr;  // carries no action
  QMenu* Goto1 = nullptr;
  QAction* StartOffset1 = nullptr;
  QAction* EndOffset1 = nullptr;

  // Gives the enabled and visible state of the project-bound commands and panels.
  void EnableProjectCommands(bool enabled);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  // --- project, log and edit commands -----------------------------------------------------
  void SNESProjectFile1Click();
  void DraviksSNES9xdebuggerLogProject1Click();
  void AnyEmulatorLogProject1Click();
  void OpenProjectFile1Click();
  void OpenLogFile1Click();
  void ImportLogFile1Click();
  void CloseLogfile1Click();
  void BtnCloseClick();
  void SaveProjectAs1Click();
  void SaveProjectFile1Click();
  void SaveLogFile1Click();
  void SaveLogFileAs1Click();
  void Exit1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  void PasteAsChildrenOfselectednode1Click();
  void Options1Click();
  // Symbol files and listings (MainWindowSymbols.cpp).
  void ImportSymbols1Click();
  void LogFile1Click();
  void MapFile1Click();
  void About1Click();

 private:
  void CreateLayout();
  void CreateRightPanels();
  void CreateMenus();
  void CreateCodeTreePopup();
  void CreateMappingsPopup();
  QAction* NewAction(const char* name, const QString& caption, void (TForm1::*handler)());
  void ShowCodeTreePopup(TCodeTreeView* tree, const QPoint& pos);

  // A new project of the type (1 or 2), wired into the window; not yet shown.
  std::unique_ptr<TSNESProject> CreateSNESProject(int projectType);
  void SetUpProject(TSNESProject* project);
  // The dialogs and the import of "New"; false (and no project) when a dialog was cancelled.
  bool StartNewProject(std::unique_ptr<TSNESProject> project);
  // The status bar's count of the interrupts the conversion gave a level (empty when off).
  void ShowInterruptCounts();
  // Makes the project the open one: the trees show it, the commands are enabled.
  void ShowProject(std::unique_ptr<TSNESProject> project);
  // Frees the open project; the trees and lists forget it first.
  void FreeProject();
  // Saves the open project without asking and frees it; false (it stays open) when the save
  // stopped at a cancelled dialog.
  bool SaveAndFreeProject();
  // The save before the project is left (Open Project, New: `always`; Close Project: when
  // modified). A project read with errors is saved over its files only after the user's yes,
  // and not at all when unchanged. False when the project stays open.
  bool SaveBeforeLeaving(bool always);
  // Save, then the project's files hold what it shows; false when it stopped.
  bool SaveProjectFiles();
  // True unless the project was read with errors and the user does not want its files
  // written over; the same for the log's own file.
  bool MaySaveOverOwnFiles();
  bool MaySaveLogOverItsFile();
  // The caption names a project read with errors.
  void UpdateCaption();
  // "Open Project" after its dialog: reads the file; none is left open when that fails.
  bool ReadProjectFile(const std::string& fileName);
  void NewProjectCommand(int projectType);
  // "Close Log file"; false when the question was cancelled.
  bool CloseLogFile();
  // The close question; true when the window may close.
  bool FormCloseQuery();
  QAction* ContextShortcutFor(const QKeySequence& keys) const;

  TQtUserInterface ui_{this};
  std::unique_ptr<TSNESProject> project_;
  bool projectOpen_ = false;
  // The last choice of interrupt levels per project type, offered at the next "New".
  std::map<int, bool> interruptLevelsChoice_;
  std::optional<bool> anyLayoutInterruptLevels_;  // the same for a log of any layout
  TClipboard clipboard_;
  TCodeTreeView* codeTree_ = nullptr;
  TCodeTreeView* codeCacheTree_ = nullptr;
  TScopeTreeView* scopeTree_ = nullptr;
  TLabelTreeView* labelTree_ = nullptr;
  QPointer<TCodeTreeView> popupTree_;
  QLabel* statusPanels_[3] = {nullptr, nullptr, nullptr};
  std::map<const TMenuEntry*, QAction*> bookmarkItems_;
  TAboutBox* aboutBox_ = nullptr;

  // --- navigation, search, comments, scopes, CPU status (Form1Navigation.cpp) ---
 public:
  // Called once a project is open and shown, and before the open project is freed.
  void NavigationProjectOpened();
  void NavigationProjectClosing();
  // The navigation's state and find dialogs (Form1NavigationPanels.h).
  struct TNavigationPanels;
  TNavigationPanels& NavigationPanels();

 private slots:
  void CodeTreeChange(orvanel::TTreeItem* node);
  void ShowQuickTargetList();
  void LBQuickTargetNavClick();
  void LBQuickTargetNavKeyDown(int key);
  void TBBackwardClick();
  void TBForwardClick();
  void FindStartNode1Click();
  void FindTargetNode1Click();
  void GotopreviousOpcode1Click();
  void GotoNextOpCode1Click();
  void PopupMenuCodeTreePopup();
  void Add1Click();
  void AddAtLine1Click();
  void ByOffset1Click();
  void ext1Click();
  void Register1Click();
  void TBSaveCommentClick();
  void CreateOffsetLabelatLine1Click();
  void ForTargetOffset1Click();
  void SetLineScope1Click();
  void CBSetScopeChange(int index);
  void AddMapping1Click();
  void MappingtoScope1Click();
  void StartOffset1Click();
  void EndOffset1Click();
  void PopMappingsPopup();
  void TBNewScopeClick();
  void TBNewMappingClick();
  void TBDeleteScopeMappingClick();
  void TBLabelAddClick();
  void TBDeleteScopeMappinh();

 private:
  struct TNavigationPanelsDeleter {
    void operator()(TNavigationPanels* panels) const;
  };
  std::unique_ptr<TNavigationPanels, TNavigationPanelsDeleter> navigationPanels_;
  void UpdateHistoryButtons();
  void ShowLineStatus(TTreeItem* node);
  // Selects a found node in the code tree, with the focus when `focus`.
  void SelectFoundNode(TTreeItem* node, bool focus);
  void GotoOffset(qint64 offset);
  // The quick target list or the scope box: shown beside the line's text inside the tree's
  // area with the focus; hidden with the focus given back to the tree when it had it.
  void ShowBesideLine(QWidget* popup, TTreeItem* node);
  void HideBesideLine(QWidget* popup);
  // Escape or a click elsewhere: the scope box closes and no line takes a scope.
  void CloseScopeBox();
  void NewBookmark(TTreeItem* node);
  // The mapping dialog for the line (none: "Add New Mapping"), then CreateMapping of the project.
  void NewMapping(TProject& project, TTreeItem* line);
  void NewLabel(TTreeItem* node);
  void GotoScopeLine(bool start);
  void FDOffsetFind();
  void FDTextFind();
  void FDFindTargetFind();
  // --- end navigation ---
};

}  // namespace orvanel::ui
