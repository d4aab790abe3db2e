// The project and log file commands of the main window, and closing the window.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedLayout>
#include <algorithm>

#include "project/ProjectSession.h"
#include "project/SnesProject.h"
#include "trees/Breadcrumb.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"
#include "window/MainWindow.h"

namespace orvanel::ui {

namespace {

// The program's folder with a trailing separator: where "Mappings.xml" may lie.
std::string ProgramDir() {
  return QCoreApplication::applicationDirPath().toStdString() + "/";
}

// Puts the file name back when what it was changed for (a save, a read) did not happen, also
// when that ended in an error.
class TRestoreUnlessDone {
 public:
  explicit TRestoreUnlessDone(std::string& name) : name_(name), old_(name) {}
  ~TRestoreUnlessDone() {
    if (!done_) name_ = old_;
  }
  TRestoreUnlessDone(const TRestoreUnlessDone&) = delete;
  TRestoreUnlessDone& operator=(const TRestoreUnlessDone&) = delete;
  void Done() { done_ = true; }

 private:
  std::string& name_;
  std::string old_;
  bool done_ = false;
};

constexpr const char* kOverwriteQuestion =
    "Some files of this project were read with errors: what could not be read is not in the "
    "project, and saving writes over those files, so it would be lost for good.\n"
    "Save over the project's files anyway? (\"Save Project As\" keeps them.)";

constexpr const char* kLeaveQuestion =
    "Some files of this project were read with errors, and it has unsaved changes. Saving "
    "writes over those files, so what could not be read would be lost for good.\n"
    "Yes saves over them, No closes the project without saving, Cancel keeps it open (for "
    "\"Save Project As\").";

}  // namespace

// --- the project's life ---------------------------------------------------------------------

std::unique_ptr<TSNESProject> TForm1::CreateSNESProject(int projectType) {
  return CreateProject(projectType, ui_, ProgramDir());
}

void TForm1::SetUpProject(TSNESProject* project) {
  codeTree_->SetProject(project);
  codeCacheTree_->SetProject(project ? project->CodeCache() : nullptr);
  scopeTree_->SetManager(project ? project->ScopeManager() : nullptr);
  labelTree_->SetManager(project ? project->LabelManager() : nullptr);
  codeTree_->setToolTip(QString());
}

void TForm1::ShowProject(std::unique_ptr<TSNESProject> project) {
  MemoLineComment->clear();  // a comment of another project must not be saved into this one
  project_ = std::move(project);
  SetUpProject(project_.get());
  projectOpen_ = true;
  EnableProjectCommands(true);
  static_cast<QStackedLayout*>(codeTree_->parentWidget()->layout())->setCurrentWidget(codeTree_);
  codeTree_->show();
  NavigationProjectOpened();
  UpdateCaption();
}

void TForm1::FreeProject() {
  if (!project_) return;
  RunCommand([this] { NavigationProjectClosing(); });  // the project goes whatever happens
  RemoveBookmarkItems();
  clipboard_.Clear();
  popupTree_ = nullptr;
  Breadcrumb->SetNode(nullptr);
  SetUpProject(nullptr);
  project_.reset();
  projectOpen_ = false;
  MemoLineComment->clear();
  EnableProjectCommands(false);
  static_cast<QStackedLayout*>(codeTree_->parentWidget()->layout())
      ->setCurrentWidget(Panel1Caption);
  UpdateCaption();
}

bool TForm1::StartNewProject(std::unique_ptr<TSNESProject> project) {
  // The choice of interrupt levels goes with the log; the last one made for the layout is
  // offered again.
  TFileDialog& logDialog = project->TraceLogDialog;
  const auto chosen = interruptLevelsChoice_.find(project->ProjectType);
  logDialog.Option = kInterruptLevelsOption;
  logDialog.OptionChecked =
      chosen != interruptLevelsChoice_.end() ? chosen->second : project->InterruptLevelsByDefault();
  if (!ui_.ExecuteFileDialog(logDialog)) return false;
  interruptLevelsChoice_[project->ProjectType] = logDialog.OptionChecked;
  project->InterruptLevels = logDialog.OptionChecked;
  if (!ui_.ExecuteFileDialog(project->ScopeManager()->FileDialog())) return false;
  {
    TBusyScope busy(ui_);
    orvanel::StartNewProject(*project);  // an error frees the half-made project
  }
  ShowProject(std::move(project));
  ShowInterruptCounts();
  return true;
}

// --- saving over the project's own files -----------------------------------------------------

void TForm1::UpdateCaption() {
  QString title = CaptionText();
  if (project_ && project_->ReadWithErrors()) title += QStringLiteral(" - read with errors");
  if (windowTitle() != title) setWindowTitle(title);
}

bool TForm1::MaySaveOverOwnFiles() {
  return !project_->ReadWithErrors() || ui_.AskYesNo(kOverwriteQuestion);
}

bool TForm1::SaveProjectFiles() {
  TBusyScope busy(ui_);
  if (!project_->Save()) return false;
  project_->SetReadWithErrors(false);  // the files now hold what the project shows
  return true;
}

bool TForm1::SaveBeforeLeaving(bool always) {
  if (!project_->ReadWithErrors()) return (!always && project_->IsSaved()) || SaveProjectFiles();
  // Unchanged, the files stay as they were read: saving could only lose what was skipped.
  if (project_->IsSaved() && project_->LogSaved) return true;
  switch (ui_.AskYesNoCancel(kLeaveQuestion)) {
    case TAnswer::Cancel:
      return false;
    case TAnswer::No:
      return true;
    case TAnswer::Yes:
      break;
  }
  return SaveProjectFiles();
}

void TForm1::ShowInterruptCounts() {
  if (!project_ || !project_->InterruptLevels) {
    SetStatusText(2, QString());
    return;
  }
  SetStatusText(2, QStringLiteral("Interrupts: %1, undecided: %2")
                       .arg(project_->InterruptCounts.Entered)
                       .arg(project_->InterruptCounts.Undecided));
}

// Saves the open project and frees it; false (the project stays) when the save stopped.
bool TForm1::SaveAndFreeProject() {
  if (!project_) return true;
  if (!SaveBeforeLeaving(true)) return false;
  FreeProject();
  return true;
}

void TForm1::NewProjectCommand(int projectType) {
  if (!SaveAndFreeProject()) return;
  StartNewProject(CreateSNESProject(projectType));
}

void TForm1::SNESProjectFile1Click() {
  NewProjectCommand(1);
}

void TForm1::DraviksSNES9xdebuggerLogProject1Click() {
  NewProjectCommand(2);
}

void TForm1::AnyEmulatorLogProject1Click() {
  if (!SaveAndFreeProject()) return;
  // The log's layout decides the project; a log of none throws, and no project is made.
  if (auto project = NewProjectOfAnyLayout(ui_, ProgramDir(), anyLayoutInterruptLevels_)) {
    ShowProject(std::move(project));
    ShowInterruptCounts();
  }
}

void TForm1::OpenProjectFile1Click() {
  if (!SaveAndFreeProject()) return;
  if (!ui_.ExecuteFileDialog(ODProjectFile)) return;
  ReadProjectFile(ODProjectFile.FileName);
}

bool TForm1::ReadProjectFile(const std::string& fileName) {
  TBusyScope busy(ui_);
  Panel1Caption->setText(QStringLiteral("Loading Trace File..."));
  // Said only while it is so: a read that fails leaves the empty window without it.
  struct TClearCaption {
    QLabel* Caption;
    ~TClearCaption() { Caption->clear(); }
  } clearCaption{Panel1Caption};
  // Reading throws on a broken file; the half-read project goes with the exception.
  ShowProject(OpenProject(fileName, ui_, ProgramDir()));
  for (TMenuEntry* entry : project_->FillBookmarkMenu()) AddBookmarkItem(entry);
  return true;
}

bool TForm1::OpenProjectFile(const QString& fileName) {
  bool ok = false;
  RunCommand([&] { ok = SaveAndFreeProject() && ReadProjectFile(fileName.toStdString()); });
  return ok;
}

void TForm1::SaveProjectFile1Click() {
  if (!project_ || !MaySaveOverOwnFiles()) return;
  SaveProjectFiles();
}

void TForm1::SaveProjectAs1Click() {
  if (!project_) return;
  SDProjectFile.FileName = project_->ProjectFileName;
  if (!ui_.ExecuteFileDialog(SDProjectFile)) return;
  if (!project_->ReadWithErrors()) {
    TBusyScope busy(ui_);
    project_->ProjectFileName = SDProjectFile.FileName;
    project_->Save();
    return;
  }
  // Files read with errors are kept: every file gets a name after the new project file, and
  // only a name that is one of the files read needs the user's yes.
  const std::vector<std::string> readFrom = SavedFiles(*project_);
  TRestoreUnlessDone restoreProject(project_->ProjectFileName);
  TRestoreUnlessDone restoreLog(project_->TraceDataDialog.FileName);
  TRestoreUnlessDone restoreMap(project_->ScopeManager()->FileDialog().FileName);
  TRestoreUnlessDone restoreLabels(project_->LabelManager()->FileDialog().FileName);
  NameFilesAfter(*project_, SDProjectFile.FileName);
  const std::vector<std::string> writeTo = SavedFiles(*project_);
  const bool overwrites = std::any_of(writeTo.begin(), writeTo.end(), [&](const std::string& f) {
    return std::find(readFrom.begin(), readFrom.end(), f) != readFrom.end();
  });
  if (overwrites && !ui_.AskYesNo(kOverwriteQuestion)) return;
  if (!SaveProjectFiles()) return;  // the project keeps the names it had
  for (TRestoreUnlessDone* r : {&restoreProject, &restoreLog, &restoreMap, &restoreLabels})
    r->Done();
}

void TForm1::BtnCloseClick() {
  if (!project_) return;
  if (!SaveBeforeLeaving(false)) return;  // a cancelled save keeps it open
  FreeProject();
}

// --- closing the window ----------------------------------------------------------------------

void TForm1::Exit1Click() {
  close();
}

bool TForm1::FormCloseQuery() {
  if (!project_ || (project_->IsSaved() && project_->LogSaved)) return true;
  switch (ui_.AskYesNoCancel("Project modified. Save Changes?")) {
    case TAnswer::Cancel:
      return false;
    case TAnswer::No:
      return true;
    case TAnswer::Yes:
      break;
  }
  // A save that failed, whose dialog was cancelled or that the user would not let write over
  // files read with errors keeps the window open: nothing is lost.
  bool saved = false;
  RunCommand([&] { saved = MaySaveOverOwnFiles() && SaveProjectFiles(); });
  return saved;
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The window repaints while a conversion runs; a close request then waits for its end.
  if (!ui_.ProgressRunning() && FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// --- the log ----------------------------------------------------------------------------------

bool TForm1::CloseLogFile() {
  if (!project_) return false;
  TBusyScope busy(ui_);
  if (!project_->LogSaved) {
    switch (ui_.AskYesNoCancel("Log File modified. Save Changes?")) {
      case TAnswer::Cancel:
        return false;
      case TAnswer::Yes:
        // A cancelled save keeps the log: closing it would lose the edits.
        if (!MaySaveLogOverItsFile() || !project_->SaveTraceData()) return false;
        break;
      case TAnswer::No:
        break;
    }
  }
  project_->CloseLog();
  project_->SetSaved(false);
  project_->LogSaved = true;
  return true;
}

void TForm1::CloseLogfile1Click() {
  CloseLogFile();
}

void TForm1::OpenLogFile1Click() {
  if (!project_) return;
  if (project_->LogLoaded && !CloseLogFile()) return;
  if (!ui_.ExecuteFileDialog(ODConvLog)) return;
  TBusyScope busy(ui_);
  // A file that could not be read does not become the log's file: the next save would
  // write over it.
  TRestoreUnlessDone restore(project_->TraceDataDialog.FileName);
  project_->TraceDataDialog.FileName = ODConvLog.FileName;
  project_->LoadTraceData();
  restore.Done();
  project_->SetSaved(false);
}

void TForm1::ImportLogFile1Click() {
  if (!project_) return;
  TBusyScope busy(ui_);
  if (project_->LogLoaded) CloseLogFile();
  if (!project_ || project_->LogLoaded) return;  // the question was cancelled
  if (!ui_.ExecuteFileDialog(project_->TraceLogDialog)) return;
  project_->ImportLog();
}

bool TForm1::MaySaveLogOverItsFile() {
  return project_->TraceDataDialog.FileName.empty() || MaySaveOverOwnFiles();
}

void TForm1::SaveLogFile1Click() {
  if (!project_ || !MaySaveLogOverItsFile()) return;
  TBusyScope busy(ui_);
  project_->SaveTraceData();
}

void TForm1::SaveLogFileAs1Click() {
  if (!project_) return;
  TRestoreUnlessDone restore(project_->TraceDataDialog.FileName);
  project_->TraceDataDialog.FileName.clear();
  TBusyScope busy(ui_);
  if (project_->SaveTraceData()) restore.Done();
}

}  // namespace orvanel::ui
