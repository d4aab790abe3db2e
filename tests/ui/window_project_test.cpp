// The main window's project and log commands, the enabling rule and the close question.
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include "WindowFixture.h"
#include "project/Interrupts.h"
#include "project/ProjectSession.h"
#include "records/TraceLayouts.h"
#include "trees/CodeTreeModel.h"
#include "trees/CodeTreeView.h"

namespace orvanel::test {
namespace {

const char* const kProjectCommands[] = {"SaveProjectAs1", "SaveProjectFile1", "SaveLogFile1",
                                        "SaveLogFileAs1", "Export1",          "Cut1",
                                        "Copy1",          "Paste1",           "TBCloseProject",
                                        "TBSaveProject",  "Search1",          "Bookmarks1",
                                        "CloseLogfile1",  "CloseProject1",    "OpenLogFile1",
                                        "ImportLogFile1", "Options1",         "ByOffset1",
                                        "AddAtLine1"};
const char* const kAlwaysEnabled[] = {"SNESProjectFile1", "DraviksSNES9xdebuggerLogProject1",
                                      "OpenProjectFile1", "Exit1",
                                      "About1",           "TBOpenProject"};
const char* const kPanels[] = {"PanelCPUGroup", "PanelMappings", "PanelComments",
                               "GroupBoxComments", "GroupBox1"};

bool PanelShown(const ui::TForm1& window, const char* name) {
  QWidget* panel = window.findChild<QWidget*>(QString::fromLatin1(name));
  return panel && !panel->isHidden();
}

// Asks the window to close as the window manager would; true when it accepted.
bool Close(ui::TForm1& window) {
  QCloseEvent event;
  QApplication::sendEvent(&window, &event);
  return event.isAccepted();
}

TEST_F(WindowTest, StartsWithoutProjectPanelsOrProjectCommands) {
  EXPECT_EQ(window->windowTitle(), "Velkor Ver1.0 Beta - Orvanel");
  for (const char* name : kProjectCommands) EXPECT_FALSE(Enabled(name)) << name;
  for (const char* name : kAlwaysEnabled) EXPECT_TRUE(Enabled(name)) << name;
  for (const char* name : kPanels) EXPECT_FALSE(PanelShown(*window, name)) << name;
  EXPECT_FALSE(Enabled("TBBackward"));
  EXPECT_FALSE(Enabled("TBForward"));
  // The start captions of the CPU status and the tabs at the bottom.
  EXPECT_EQ(window->LabelDB->text(), "DB :");
  EXPECT_EQ(window->LabelVC->text(), "VC :");
  EXPECT_EQ(window->PCProjectOverview->tabText(2), "Code Cache");
  EXPECT_EQ(window->PCProjectOverview->tabPosition(), QTabWidget::South);
  EXPECT_TRUE(window->CBSetScope->isHidden());
  EXPECT_TRUE(window->LBQuickTargetNav->isHidden());
  EXPECT_EQ(Action("TBSaveComment")->toolTip(), "Save Changes");
  // "Export" holds two entries that do nothing.
  EXPECT_EQ(window->Export1->actions().size(), 2);
}

TEST_F(WindowTest, NewProjectShowsPanelsEnablesCommandsAndAsksOnClose) {
  EXPECT_TRUE(Close(*window));  // no project: nothing asked
  EXPECT_TRUE(fake.Questions.empty());

  NewProject();
  EXPECT_EQ(fake.DialogTitles.size(), 2u);
  for (const char* name : kProjectCommands) EXPECT_TRUE(Enabled(name)) << name;
  for (const char* name : kPanels) EXPECT_TRUE(PanelShown(*window, name)) << name;
  EXPECT_TRUE(Project()->LogLoaded);
  EXPECT_GT(Project()->Tree().Count(), 1000u);
  EXPECT_EQ(window->CodeTree()->Project(), Project());
  EXPECT_EQ(fake.BusyDepth, 0);

  // Right after the import the close asks; Cancel keeps the window open.
  fake.Answers = {TAnswer::Cancel};
  EXPECT_FALSE(Close(*window));
  ASSERT_EQ(fake.Questions.size(), 1u);
  EXPECT_EQ(fake.Questions[0], "Project modified. Save Changes?");

  SaveProject();
  EXPECT_TRUE(Close(*window));
  EXPECT_EQ(fake.Questions.size(), 1u);  // after a whole save nothing is asked
}

TEST_F(WindowTest, CancellingEitherDialogOfNewLeavesNoProject) {
  for (int cancelled = 0; cancelled < 2; ++cancelled) {
    fake.DialogFiles = {TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log"), Path("p.tfm")};
    fake.DialogFiles[static_cast<size_t>(cancelled)] = "";
    Trigger("DraviksSNES9xdebuggerLogProject1");
    EXPECT_EQ(Project(), nullptr);
    EXPECT_FALSE(window->ProjectOpen());
    for (const char* name : kPanels) EXPECT_FALSE(PanelShown(*window, name)) << name;
    EXPECT_FALSE(Enabled("SaveProjectFile1"));
  }
}

TEST_F(WindowTest, CloseProjectSavesOnlyAModifiedProjectWithoutAsking) {
  NewProject();
  SaveProject();
  std::filesystem::remove(Path("p.tfp"));
  Trigger("CloseProject1");
  EXPECT_EQ(Project(), nullptr);
  EXPECT_FALSE(Exists(Path("p.tfp")));  // nothing to save
  for (const char* name : kProjectCommands) EXPECT_FALSE(Enabled(name)) << name;

  ASSERT_TRUE(window->OpenProjectFile(QString::fromStdString(Path("p.tfp.missing"))) == false);
  EXPECT_EQ(fake.Messages.size(), 1u);  // the missing file, as a message

  NewProject();
  SaveProject();
  ASSERT_TRUE(Project()->NewBookmark("$008000", "reset"));
  std::filesystem::remove(Path("p.tfp"));
  Trigger("TBCloseProject");
  EXPECT_EQ(Project(), nullptr);
  EXPECT_TRUE(Exists(Path("p.tfp")));
  EXPECT_TRUE(fake.Questions.empty());
}

TEST_F(WindowTest, OpenProjectSavesTheOpenProjectAndLeavesNoneWhenCancelled) {
  NewProject();
  SaveProject();
  std::filesystem::remove(Path("p.tfp"));
  fake.DialogFiles.clear();  // the open dialog is cancelled
  Trigger("OpenProjectFile1");
  EXPECT_TRUE(Exists(Path("p.tfp")));  // saved although nothing changed
  EXPECT_EQ(Project(), nullptr);
  EXPECT_FALSE(PanelShown(*window, "PanelMappings"));
  EXPECT_EQ(fake.DialogTitles.back(), "Open Project File");
}

TEST_F(WindowTest, OpenProjectReadsTheProjectAndItsBookmarksWhichLeaveWithIt) {
  NewProject();
  ASSERT_NE(Project()->FirstLine, nullptr);
  const int64_t offset = Project()->FirstLine->Offset();
  ASSERT_TRUE(Project()->NewBookmark(
      QString::asprintf("$%06llX", static_cast<long long>(offset)).toStdString(), "reset"));
  SaveProject();
  Trigger("CloseProject1");
  const int entriesWithout = static_cast<int>(window->Bookmarks1->actions().size());

  fake.DialogFiles = {Path("p.tfp")};
  Trigger("TBOpenProject");
  ASSERT_NE(Project(), nullptr);
  EXPECT_GT(Project()->Tree().Count(), 1000u);
  EXPECT_TRUE(PanelShown(*window, "PanelCPUGroup"));
  QList<QAction*> entries = window->Bookmarks1->actions();
  ASSERT_EQ(entries.size(), entriesWithout + 1);
  EXPECT_EQ(entries.back()->text(), "reset");
  EXPECT_TRUE(window->BookmarksSeparator->isSeparator());
  EXPECT_LT(entries.indexOf(window->BookmarksSeparator), entries.indexOf(entries.back()));

  // The entry selects the first line of its offset.
  entries.back()->trigger();
  TTreeItem* selected = window->CodeTree()->SelectedNode();
  ASSERT_NE(selected, nullptr);
  EXPECT_EQ(selected->Line()->Offset(), offset);

  Trigger("CloseProject1");
  EXPECT_EQ(window->Bookmarks1->actions().size(), entriesWithout);
}

TEST_F(WindowTest, OpenProjectOnABrokenFileShowsTheErrorAndLeavesNoProject) {
  WriteFile(Path("broken.tfp"), "this is not XML at all");
  WriteFile(Path("type7.tfp"), "<?xml version=\"1.0\"?><project projecttype=\"7\"/>");
  WriteFile(Path("typeX.tfp"), "<?xml version=\"1.0\"?><project projecttype=\"x1\"/>");
  for (const char* name : {"broken.tfp", "type7.tfp", "typeX.tfp"}) {
    fake.Messages.clear();
    fake.DialogFiles = {Path(name)};
    Trigger("OpenProjectFile1");
    EXPECT_EQ(Project(), nullptr) << name;
    EXPECT_FALSE(window->ProjectOpen());
    EXPECT_FALSE(Enabled("SaveProjectFile1"));
    ASSERT_EQ(fake.Messages.size(), 1u) << name;
    EXPECT_FALSE(fake.Messages[0].empty());
    EXPECT_EQ(fake.BusyDepth, 0);
  }
  EXPECT_NE(fake.Messages[0].find("x1"), std::string::npos) << fake.Messages[0];
  // The window is still usable.
  NewProject();
}

TEST_F(WindowTest, SaveLogFileAsKeepsTheOldNameWhenCancelled) {
  NewProject();
  SaveProject();
  const std::string old = Project()->TraceDataDialog.FileName;
  ASSERT_FALSE(old.empty());
  fake.DialogFiles.clear();
  const size_t asked = fake.DialogTitles.size();
  Trigger("SaveLogFileAs1");
  EXPECT_EQ(fake.DialogTitles.size(), asked + 1);  // asked for a new name
  EXPECT_EQ(Project()->TraceDataDialog.FileName, old);

  fake.DialogFiles = {Path("other.tfd")};
  Trigger("SaveLogFileAs1");
  EXPECT_EQ(Project()->TraceDataDialog.FileName, Path("other.tfd"));
  EXPECT_TRUE(Exists(Path("other.tfd")));
}

TEST_F(WindowTest, CloseLogAsksAndCancelKeepsTheLog) {
  NewProject();
  fake.Answers = {TAnswer::Cancel};
  Trigger("CloseLogfile1");
  EXPECT_EQ(fake.Questions.back(), "Log File modified. Save Changes?");
  EXPECT_TRUE(Project()->LogLoaded);

  // Yes, but the save dialog is cancelled: the log stays, nothing is lost.
  fake.Answers = {TAnswer::Yes};
  Trigger("CloseLogfile1");
  EXPECT_TRUE(Project()->LogLoaded);

  fake.Answers = {TAnswer::No};
  Trigger("CloseLogfile1");
  EXPECT_FALSE(Project()->LogLoaded);
  EXPECT_TRUE(Project()->LogSaved);
  EXPECT_TRUE(Project()->Tree().Empty());
  EXPECT_FALSE(Project()->IsSaved());

  // Import brings a log back in.
  fake.DialogFiles = {TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log")};
  Trigger("ImportLogFile1");
  EXPECT_TRUE(Project()->LogLoaded);
  EXPECT_GT(Project()->Tree().Count(), 1000u);
}

TEST_F(WindowTest, OpenLogFileReadsASavedTraceDataFile) {
  NewProject();
  SaveProject();
  const size_t count = Project()->Tree().Count();
  fake.DialogFiles = {Path("p.tfd")};
  Trigger("OpenLogFile1");  // the log is saved: closed without a question
  EXPECT_TRUE(fake.Questions.empty());
  EXPECT_EQ(Project()->Tree().Count(), count);
  EXPECT_FALSE(Project()->IsSaved());
  // Reading the file showed its progress to the end.
  EXPECT_GT(fake.ProgressMaximum, static_cast<int64_t>(count));
  EXPECT_EQ(fake.LastProgress, fake.ProgressMaximum);
  EXPECT_FALSE(fake.ProgressShown);
}

TEST_F(WindowTest, CloseWaitsWhileALongOperationRuns) {
  NewProject();
  fake.Answers = {TAnswer::No};
  window->Ui().ProgressStart(100);
  EXPECT_FALSE(Close(*window));
  EXPECT_TRUE(fake.Questions.empty());
  window->Ui().ProgressEnd();
  EXPECT_TRUE(Close(*window));
}

TEST_F(WindowTest, ASaveWhoseDialogIsCancelledKeepsWhatItWasToSave) {
  NewProject();
  // Closing: Yes, then the save dialog is cancelled: the window stays open.
  fake.Answers = {TAnswer::Yes};
  fake.DialogFiles.clear();
  EXPECT_FALSE(Close(*window));
  // Close Project, Open Project and New save first; cancelled, the project stays open.
  for (const char* command : {"CloseProject1", "OpenProjectFile1", "SNESProjectFile1"}) {
    fake.DialogFiles.clear();
    Trigger(command);
    EXPECT_NE(Project(), nullptr) << command;
    EXPECT_TRUE(Enabled("SaveProjectFile1")) << command;
  }
  // Yes with the names given saves and closes.
  fake.Answers = {TAnswer::Yes};
  fake.DialogFiles = {Path("p.tlm"), Path("p.tfd"), Path("p.tfp")};
  EXPECT_TRUE(Close(*window));
  EXPECT_TRUE(Exists(Path("p.tfp")));
  EXPECT_TRUE(Exists(Path("p.tfd")));
}

TEST_F(WindowTest, AFailingSaveShowsItsMessageAndKeepsTheProject) {
  NewProject();
  fake.DialogFiles = {Path("p.tlm"), Path("no/such/folder/p.tfd")};
  Trigger("SaveProjectFile1");
  ASSERT_EQ(fake.Messages.size(), 1u);
  EXPECT_NE(Project(), nullptr);
  EXPECT_FALSE(Project()->IsSaved());
  EXPECT_EQ(fake.BusyDepth, 0);
  // Exit asks, and Cancel keeps the window and the project.
  fake.Answers = {TAnswer::Cancel};
  Trigger("Exit1");
  EXPECT_TRUE(window->isVisible());
  EXPECT_NE(Project(), nullptr);
}

// The log dialog of "New" asks whether interrupts open their own level and offers the last
// choice again; the status bar names the interrupt a selected line runs in.
TEST_F(WindowTest, NewAsksForInterruptLevelsWithTheLogAndRemembersTheChoice) {
  fake.OptionsChosen = {true};
  NewProject();
  EXPECT_EQ(fake.OptionsOffered, std::vector<bool>{false});  // off for the dialects
  ASSERT_TRUE(Project()->InterruptLevels);
  EXPECT_EQ(window->StatusText(2).toStdString(), "Interrupts: 20, undecided: 0");
  TTreeItem* handlerLine = nullptr;
  Project()->Tree().ForEach([&](TTreeItem* it) {
    if (!handlerLine && IsInterruptItem(*it)) handlerLine = it->Children().front();
  });
  ASSERT_NE(handlerLine, nullptr);
  // The interrupt's item is drawn as a call line, not as a grey comment.
  TTreeItem* call = nullptr;
  Project()->Tree().ForEach([&](TTreeItem* it) {
    if (!call && !it->Line()->IsComment() &&
        it->Line()->TextColor() == Project()->Palette.CallColor)
      call = it;
  });
  ASSERT_NE(call, nullptr);
  const ui::TCodeTreeModel* model = window->CodeTree()->CodeModel();
  EXPECT_EQ(model->TextColor(handlerLine->Parent()), model->TextColor(call));
  window->CodeTree()->SelectNode(handlerLine);
  EXPECT_EQ(window->StatusText(1).toStdString(), "In Interrupt");
  window->CodeTree()->SelectNode(Project()->Tree().First());
  EXPECT_EQ(window->StatusText(1).toStdString(), "");

  fake.DialogFiles = {Path("p.tlm"), Path("p.tfd"), Path("p.tfp"),
                      TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log"), Path("q.tfm")};
  Trigger("SNESProjectFile1");
  EXPECT_EQ(fake.OptionsOffered, (std::vector<bool>{false, true}));
  EXPECT_TRUE(Project()->InterruptLevels);
}

TEST_F(WindowTest, UnscriptedMessagesGoThroughTheWindowsDialogs) {
  window->Ui().SetScript(nullptr);
  window->Ui().ShowMessages({"first bad line", "second bad line", "third bad line"});
  window->Ui().ShowMessage("one");
  EXPECT_EQ(window->Ui().AskYesNoCancel("Project modified. Save Changes?"), TAnswer::Cancel);
  ASSERT_EQ(dialogsShown.size(), 3u);
  EXPECT_EQ(dialogsShown[0], "MessagesDialog");  // the whole batch in one dialog
  EXPECT_NE(dialogsShown[1], "MessagesDialog");
}

TEST_F(WindowTest, AboutShowsTheBox) {
  Trigger("About1");
  ASSERT_EQ(dialogsShown.size(), 1u);
  EXPECT_EQ(dialogsShown[0], "AboutBox");
}

// "New" for any emulator's log: a log of no known layout gives one message that names the
// layouts and no project; a Mesen2 log gives a project of its layout, and the user is told.
TEST_F(WindowTest, NewForAnyEmulatorsLogTakesTheLayoutItFinds) {
  ASSERT_TRUE(Enabled("AnyEmulatorLogProject1"));
  WriteFile(Path("g.log"), "hello\nworld\n");
  fake.DialogFiles = {Path("g.log"), Path("p.tfm")};
  Trigger("AnyEmulatorLogProject1");
  EXPECT_EQ(Project(), nullptr);
  ASSERT_EQ(fake.Messages.size(), 1u);
  EXPECT_NE(fake.Messages[0].find("Mesen2 trace log"), std::string::npos) << fake.Messages[0];

  fake.Messages.clear();
  fake.DialogFiles = {TracePath("undisbeliever-wrmpyb-in-flight-mesen2-cpuonly-20k.log"),
                      Path("p.tfm")};
  Trigger("AnyEmulatorLogProject1");
  ASSERT_NE(Project(), nullptr);
  EXPECT_EQ(Project()->ProjectType, LayoutByOption("mesen2")->ProjectType);
  ASSERT_FALSE(fake.Messages.empty());
  EXPECT_EQ(fake.Messages[0], "The log is a Mesen2 trace log.");
  EXPECT_GT(Project()->Tree().Count(), 20000u);
}

}  // namespace
}  // namespace orvanel::test
