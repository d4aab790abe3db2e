// What the window keeps from being lost: changes mark the project modified, files that could
// not be read are never written over, the comment memo belongs to one project, and a missing
// code cache file costs only the code cache.
#include <QAbstractItemModel>
#include <QCloseEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <map>

#include "WindowFixture.h"
#include "project/SnesProject.h"
#include "trees/CodeTreeView.h"
#include "trees/ScopeTreeView.h"

namespace orvanel::test {
namespace {

namespace fs = std::filesystem;

bool Close(ui::TForm1& window) {
  QCloseEvent event;
  QApplication::sendEvent(&window, &event);
  return event.isAccepted();
}

class WindowKeepsWorkTest : public WindowTest {
 protected:
  // Every file of the scratch folder with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.is_regular_file())
        files[entry.path().filename().string()] = ReadFile(entry.path().string());
    return files;
  }
  // Six siblings of the converted trace.
  std::vector<TTreeItem*> Siblings() const {
    TCodeTree& tree = Project()->Tree();
    for (TTreeItem* item = tree.First(); item; item = tree.NextInOrder(item))
      if (item->Children().size() >= 6)
        return {item->Children().begin(), item->Children().begin() + 6};
    return {};
  }
  void SelectOnly(TTreeItem* item) { Project()->Tree().Select(item, false); }
  void MarkUnchanged() {
    Project()->SetSaved(true);
    Project()->LogSaved = true;
  }
};

TEST_F(WindowKeepsWorkTest, EveryCommandThatChangesTheProjectsFilesMarksItModified) {
  NewProject();
  SaveProject();
  const std::vector<TTreeItem*> c = Siblings();
  ASSERT_EQ(c.size(), 6u);
  ui::TCodeTreeView* tree = window->CodeTree();
  QAbstractItemModel* model = tree->model();

  struct TChange {
    const char* what;
    bool changesLog;  // the trace data file holds the change, not only the map or project file
    std::function<void()> run;
  };
  const TChange changes[] = {
      {"Cut, then Paste", true,
       [&] {
         SelectOnly(c[1]);
         Trigger("Cut1");
         EXPECT_TRUE(Project()->IsSaved()) << "a cut alone moves nothing";
         SelectOnly(c[4]);
         Trigger("Paste1");
       }},
      {"Copy, then Paste As Subnodes", true,
       [&] {
         SelectOnly(c[2]);
         Trigger("Copy1");
         SelectOnly(c[3]);
         Trigger("PasteAsChildrenOfselectednode1");
       }},
      {"a drag inside the code tree", true,
       [&] {
         SelectOnly(c[5]);
         std::unique_ptr<QMimeData> data(model->mimeData({}));
         ASSERT_NE(data, nullptr);
         ASSERT_TRUE(model->dropMimeData(data.get(), Qt::MoveAction, -1, 0, tree->IndexOf(c[0])));
       }},
      {"renaming a comment line", true,
       [&] {
         SelectOnly(c[0]);
         TTreeItem* comment = Project()->InsertComment();
         ASSERT_NE(comment, nullptr);
         MarkUnchanged();
         ASSERT_TRUE(model->setData(tree->IndexOf(comment), QStringLiteral("why"), Qt::EditRole));
       }},
      {"Save Changes of the line comment", true,
       [&] {
         tree->SelectNode(c[1]);
         window->MemoLineComment->setPlainText(QStringLiteral("a note"));
         Trigger("TBSaveComment");
       }},
      {"Create New Scope", false,
       [&] {
         AnswerDialog({{"LEScopeName", "Zone"}});
         Trigger("TBNewScope");
         ASSERT_NE(Project()->ScopeManager()->FindScopeByName("Zone"), nullptr);
       }},
      {"Delete Mapping", false,
       [&] {
         TMappingNode* mapping = Project()->CreateMapping("$7E0010", "Player", true, 1, "Global");
         ASSERT_NE(mapping, nullptr);
         MarkUnchanged();
         window->ScopeTree()->SelectNode(mapping);
         Trigger("TBDeleteScopeMapping");
       }},
      {"a new project name in the settings", false,
       [&] {
         AnswerDialog({{"LEProjectName", "Renamed"}});
         Trigger("Options1");
         ASSERT_EQ(Project()->ProjectName, "Renamed");
       }},
  };
  for (const TChange& change : changes) {
    MarkUnchanged();
    change.run();
    EXPECT_FALSE(Project()->IsSaved()) << change.what;
    EXPECT_EQ(Project()->LogSaved, !change.changesLog) << change.what;
    // Exit asks, so the change is not lost; Cancel keeps the window.
    fake.Questions.clear();
    fake.Answers = {TAnswer::Cancel};
    EXPECT_FALSE(Close(*window)) << change.what;
    EXPECT_EQ(fake.Questions.size(), 1u) << change.what;
    if (!change.changesLog) continue;
    // Nor is a changed log closed without the question.
    fake.Questions.clear();
    fake.Answers = {TAnswer::Cancel};
    Trigger("CloseLogfile1");
    EXPECT_EQ(fake.Questions, std::vector<std::string>{"Log File modified. Save Changes?"})
        << change.what;
    EXPECT_TRUE(Project()->LogLoaded) << change.what;
  }
}

TEST_F(WindowKeepsWorkTest, AFileThatCouldNotBeReadIsNeverWrittenOver) {
  NewProject();
  SaveProject();
  // Half a trace data file: well-formed up to where it breaks off.
  const std::string whole = ReadFile(Path("p.tfd"));
  ASSERT_GT(whole.size(), 10000u);
  const std::string damaged = whole.substr(0, whole.size() / 2);
  WriteFile(Path("damaged.tfd"), damaged);

  fake.DialogFiles = {Path("damaged.tfd")};
  Trigger("OpenLogFile1");
  ASSERT_EQ(fake.Messages.size(), 1u);
  EXPECT_NE(fake.Messages[0].find("damaged.tfd"), std::string::npos) << fake.Messages[0];
  EXPECT_NE(Project()->TraceDataDialog.FileName, Path("damaged.tfd"));

  // Every save asks for a new name (cancelled here) instead of taking the damaged file's.
  for (const char* command : {"SaveLogFile1", "SaveProjectFile1", "CloseLogfile1", "Exit1"}) {
    fake.DialogFiles.clear();
    fake.Answers = {TAnswer::Yes};
    Trigger(command);
    EXPECT_EQ(ReadFile(Path("damaged.tfd")), damaged) << command;
  }
}

TEST_F(WindowKeepsWorkTest, AProjectReadWithErrorsIsSavedOverItsFilesOnlyAfterAYes) {
  NewProject();
  SaveProject();
  Trigger("CloseProject1");
  const std::map<std::string, std::string> before = Files();
  auto openReadWithErrors = [&](bool changed) {
    ASSERT_TRUE(window->OpenProjectFile(QString::fromStdString(Path("p.tfp"))));
    Project()->SetReadWithErrors(true);
    if (changed) Project()->MarkLogChanged();
  };

  struct TCase {
    const char* command;
    bool changed;
    std::deque<TAnswer> answers;
    size_t questions;
    bool staysOpen;
  };
  const TCase cases[] = {
      {"SaveProjectFile1", false, {TAnswer::No}, 1, true},
      {"SaveLogFile1", true, {TAnswer::No}, 1, true},
      {"CloseProject1", true, {TAnswer::Cancel}, 1, true},
      {"CloseProject1", true, {TAnswer::No}, 1, false},
      {"CloseProject1", false, {}, 0, false},  // unchanged: nothing to save, nothing asked
      {"OpenProjectFile1", false, {}, 0, false},
      {"OpenProjectFile1", true, {TAnswer::No}, 1, false},
      {"SNESProjectFile1", true, {TAnswer::Cancel}, 1, true},
      {"Exit1", true, {TAnswer::Yes, TAnswer::No}, 2, true},  // save: yes; over its files: no
  };
  for (const TCase& c : cases) {
    openReadWithErrors(c.changed);
    fake.Questions.clear();
    fake.Answers = c.answers;
    fake.DialogFiles.clear();
    Trigger(c.command);
    EXPECT_EQ(fake.Questions.size(), c.questions) << c.command;
    EXPECT_EQ(Project() != nullptr, c.staysOpen) << c.command;
    EXPECT_TRUE(Files() == before) << c.command << ": a file read with errors was written";
    if (Project()) {
      EXPECT_TRUE(window->windowTitle().contains("read with errors")) << c.command;
      fake.Answers = {TAnswer::No};
      Trigger("CloseProject1");  // without saving
      ASSERT_EQ(Project(), nullptr);
    }
    EXPECT_EQ(window->windowTitle(), ui::TForm1::CaptionText());
  }

  // "Save Project As" asks nothing and writes every file under the new name.
  openReadWithErrors(true);
  fake.Questions.clear();
  fake.DialogFiles = {Path("copy.tfp")};
  Trigger("SaveProjectAs1");
  EXPECT_TRUE(fake.Questions.empty());
  for (const char* ext : {".tfp", ".tfd", ".tfm", ".tlm", ".tcc"})
    EXPECT_TRUE(Exists(Path(std::string("copy") + ext))) << ext;
  std::map<std::string, std::string> after = Files();
  for (const auto& [name, bytes] : before) EXPECT_EQ(after[name], bytes) << name;
  EXPECT_FALSE(Project()->ReadWithErrors());
  EXPECT_EQ(window->windowTitle(), ui::TForm1::CaptionText());

  // With the user's yes the project's own files are written.
  Trigger("CloseProject1");
  openReadWithErrors(true);
  fake.Answers = {TAnswer::Yes};
  fs::remove(Path("p.tfp"));
  Trigger("SaveProjectFile1");
  EXPECT_TRUE(Exists(Path("p.tfp")));
  EXPECT_FALSE(Project()->ReadWithErrors());
}

TEST_F(WindowKeepsWorkTest, TheCommentMemoForgetsTheLastProjectsComment) {
  NewProject();
  SaveProject();
  const std::string trace = TracePath("undisbeliever-wrmpyb-in-flight-snes9x.log");
  const std::pair<const char*, std::deque<std::string>> commands[] = {
      {"CloseProject1", {}},
      {"OpenProjectFile1", {Path("p.tfp")}},
      {"SNESProjectFile1", {trace, Path("p.tfm")}},
      {"OpenProjectFile1", {Path("p.tlm"), Path("p.tfd"), Path("p.tfp"), Path("p.tfp")}},
  };
  for (const auto& [command, files] : commands) {
    window->MemoLineComment->setPlainText(QStringLiteral("the last project's comment"));
    fake.DialogFiles = files;
    Trigger(command);
    EXPECT_TRUE(window->MemoLineComment->toPlainText().isEmpty()) << command;
  }
  ASSERT_NE(Project(), nullptr);
  // "Save Changes" on a line of this project writes nothing of the other.
  TTreeItem* line = Project()->Tree().First();
  window->CodeTree()->SelectNode(line);
  Trigger("TBSaveComment");
  EXPECT_EQ(line->Line()->Comment().find("last project"), std::string::npos);
}

TEST_F(WindowKeepsWorkTest, AMissingCodeCacheFileCostsOnlyTheCodeCache) {
  NewProject();
  SelectOnly(Project()->Tree().First());
  auto drag = Project()->StartDrag();
  Project()->CodeCache()->CodeDragDrop(drag.get(), nullptr);
  ASSERT_FALSE(Project()->CodeCache()->Tree().Empty());
  SaveProject();
  Trigger("CloseProject1");

  // A missing map or label file stands for an empty one (a new project names them before they
  // exist); a missing trace data file refuses the project.
  struct TMissing {
    const char* name;
    bool opens;
    size_t messages;
  };
  const TMissing missing[] = {
      {"p.tcc", true, 1}, {"p.tfd", false, 1}, {"p.tlm", true, 0}, {"p.tfm", true, 0}};
  for (const auto& [name, opens, messages] : missing) {
    fs::rename(Path(name), Path("away"));
    fake.Messages.clear();
    EXPECT_EQ(window->OpenProjectFile(QString::fromStdString(Path("p.tfp"))), opens) << name;
    ASSERT_EQ(fake.Messages.size(), messages) << name;
    if (messages) {
      EXPECT_NE(fake.Messages[0].find(name), std::string::npos) << fake.Messages[0];
    }
    EXPECT_EQ(Project() != nullptr, opens) << name;
    if (std::string(name) == "p.tcc") {
      EXPECT_GT(Project()->Tree().Count(), 1000u);
      EXPECT_TRUE(Project()->CodeCache()->Tree().Empty());
      EXPECT_FALSE(Project()->IsSaved()) << "the next save writes the code cache file";
      Trigger("CloseProject1");
      EXPECT_TRUE(Exists(Path(name)));
      fs::remove(Path(name));
    }
    if (Project()) Trigger("CloseProject1");
    fs::rename(Path("away"), Path(name));
  }
}

}  // namespace
}  // namespace orvanel::test
