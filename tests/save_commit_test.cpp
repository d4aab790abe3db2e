#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "project/ProjectSession.h"
#include "symbols/TextFileWriter.h"
#include "xml/AtomicFile.h"
#include "xml/SaveCommit.h"
#include "xml/Xml.h"

namespace orvanel {
namespace {

namespace fs = std::filesystem;
using test::TFakeUserInterface;

// Every file of a folder, hidden ones included, by name.
using TFiles = std::map<std::string, std::string>;

TFiles FilesOf(const std::string& dir) {
  TFiles files;
  for (const auto& entry : fs::directory_iterator(dir))
    files[entry.path().filename().string()] =
        entry.is_regular_file() ? test::ReadFile(entry.path().string()) : "<not a file>";
  return files;
}

// The five files of project "p" only.
TFiles ProjectFilesOf(const std::string& dir) {
  TFiles files;
  for (const char* ext : {".tfp", ".tfd", ".tfm", ".tlm", ".tcc"}) {
    std::string name = std::string("p") + ext;
    if (fs::exists(dir + "/" + name)) files[name] = test::ReadFile(dir + "/" + name);
  }
  return files;
}

// Fails one step of the files whose path ends so, once.
class TFailOnce : public TWriteFaults {
 public:
  TFailOnce(TWriteStep step, std::string ending) : step_(step), ending_(std::move(ending)) {}
  int At(TWriteStep step, const std::string& path) override {
    if (hit || step != step_ || !path.ends_with(ending_)) return 0;
    hit = true;
    return ENOSPC;
  }
  bool hit = false;

 private:
  TWriteStep step_;
  std::string ending_;
};

// Counts the steps of a save, or kills the process at the step with that number.
class TKillAt : public TWriteFaults {
 public:
  explicit TKillAt(int step) : killAt_(step) {}
  int At(TWriteStep, const std::string&) override {
    if (++steps == killAt_) ::raise(SIGKILL);
    return 0;
  }
  int steps = 0;

 private:
  int killAt_;
};

// An old project "p" on disk and a new one in memory that differs from it in every file
// (another log, a scope, a label, a bookmark and a code cache line).
class SaveCommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TLogBuilder log;
    log.Jsr(0x8000, 0x9000).Rts(0x9000).Nop(0x8003);
    auto old = test::ConvertedProject(ui_, log.Text());
    NameFiles(*old, "p");
    ASSERT_TRUE(old->Save());
    old_ = FilesOf(dir_);

    new_ = test::ConvertedProject(
        ui_, test::ReadFile(test::TracePath("pvsneslib-hello_world-snes9x.log")));
    new_->ScopeManager()->GetScope("Extra", false);
    new_->CreateLabels({{"$8000", "start"}});
    new_->AddBookmark("$8000", "here");
    new_->Tree().ClearSelection();
    new_->Tree().Select(new_->Tree().TopLevel()[0], true);
    auto drag = new_->StartDrag();
    new_->CodeCache()->CodeDragDrop(drag.get(), nullptr);
    NameFiles(*new_, "p");
    ASSERT_TRUE(new_->Save());
    newFiles_ = FilesOf(dir_);
    ASSERT_EQ(old_.size(), 5u);
    for (const auto& [name, text] : old_) ASSERT_NE(newFiles_[name], text) << name;
    Restore(old_);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void NameFiles(TSNESProject& p, const std::string& base) {
    p.ProjectFileName = Path(base + ".tfp");
    p.TraceDataDialog.FileName = Path(base + ".tfd");
    p.ScopeManager()->FileDialog().FileName = Path(base + ".tfm");
    p.LabelManager()->FileDialog().FileName = Path(base + ".tlm");
  }
  // The folder holds exactly these files.
  void Restore(const TFiles& files) {
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
    for (const auto& [name, text] : files) test::WriteFile(Path(name), text);
  }
  // The project opens, and what it opened is the old project or the new one.
  bool OpensAsOldOrNew(bool& asNew) {
    EXPECT_NO_THROW(OpenProject(Path("p.tfp"), ui_, ""));
    TFiles now = ProjectFilesOf(dir_);
    asNew = now == newFiles_;
    return asNew || now == old_;
  }

  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
  TFiles old_, newFiles_;
  std::unique_ptr<TSNESProject> new_;
};

TEST_F(SaveCommitTest, AFailureAtAnyStepLeavesTheWholeOldOrTheWholeNewProject) {
  struct TCase {
    TWriteStep Step;
    const char* File;  // how the failing file's path ends; ".commit" is the save's record
    bool Saved;        // whether the save had passed its point of no return
  };
  const TCase cases[] = {
      {TWriteStep::Write, ".tfm", false},     {TWriteStep::Write, ".tlm", false},
      {TWriteStep::Write, ".tfd", false},     {TWriteStep::Write, ".tcc", false},
      {TWriteStep::Write, ".tfp", false},     {TWriteStep::Sync, ".tfm", false},
      {TWriteStep::Sync, ".tfd", false},      {TWriteStep::Sync, ".tcc", false},
      {TWriteStep::Sync, ".tfp", false},      {TWriteStep::Write, ".commit", false},
      {TWriteStep::Rename, ".commit", false}, {TWriteStep::Rename, ".tfm", true},
      {TWriteStep::Rename, ".tlm", true},     {TWriteStep::Rename, ".tfd", true},
      {TWriteStep::Rename, ".tcc", true},     {TWriteStep::Rename, ".tfp", true},
      {TWriteStep::Remove, ".commit", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.File) + " step " + std::to_string(static_cast<int>(c.Step)));
    Restore(old_);
    TFailOnce fault(c.Step, c.File);
    TSaveCommit commit(&fault);
    bool threw = false;
    try {
      new_->Save(commit);
    } catch (const EFileError& e) {
      threw = true;
      EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos);
    }
    EXPECT_TRUE(fault.hit);
    // A record left behind only delays its own removal; every other failure is reported.
    EXPECT_EQ(threw, c.Step != TWriteStep::Remove);
    if (!c.Saved) {
      EXPECT_EQ(FilesOf(dir_), old_);  // not even a temporary file is left
    }
    bool asNew = false;
    EXPECT_TRUE(OpensAsOldOrNew(asNew));
    EXPECT_EQ(asNew, c.Saved);
    EXPECT_EQ(FilesOf(dir_), c.Saved ? newFiles_ : old_);
  }
  // A failed save under new names leaves none of its files.
  Restore(old_);
  NameFiles(*new_, "q");
  new_->SetSaved(false);
  TFailOnce fault(TWriteStep::Write, ".tfp");
  TSaveCommit commit(&fault);
  EXPECT_THROW(new_->Save(commit), EFileError);
  EXPECT_EQ(FilesOf(dir_), old_);
  EXPECT_FALSE(new_->Saved());
}

TEST_F(SaveCommitTest, AKillAtAnyMomentLeavesTheWholeOldOrTheWholeNewProject) {
  TKillAt counter(0);
  TSaveCommit counted(&counter);
  ASSERT_TRUE(new_->Save(counted));
  ASSERT_GT(counter.steps, 20);  // the trace data file is written in several blocks
  int olds = 0, news = 0;
  for (int step = 1; step <= counter.steps; ++step) {
    SCOPED_TRACE("killed at step " + std::to_string(step));
    Restore(old_);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TKillAt kill(step);
      TSaveCommit commit(&kill);
      try {
        new_->Save(commit);
      } catch (...) {
      }
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    bool asNew = false;
    EXPECT_TRUE(OpensAsOldOrNew(asNew));
    (asNew ? news : olds)++;
    // The next save removes whatever the killed one left behind.
    ASSERT_TRUE(new_->Save());
    EXPECT_EQ(FilesOf(dir_), newFiles_);
  }
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);
}

TEST_F(SaveCommitTest, ADamagedOrForeignRecordRenamesNothing) {
  // A temporary file of the right shape waits beside the map file in every case.
  const std::string temp = ".p.tfm.0123456789ab.tmp";
  const std::string map = Path("p.tfm");
  const std::string records[] = {
      "",
      "garbage",
      "Orvanel save\n" + map + std::string(1, '\0') + temp + "\n",      // no end line
      "Orvanel save\np.tfm" + std::string(1, '\0') + temp + "\nend\n",  // relative target
      // a temporary file named outside the target's folder
      "Orvanel save\n" + map + std::string(1, '\0') + std::string("..") + "/p.tfm\nend\n",
      "Orvanel save\n" + Path("p.tlm") + std::string(1, '\0') + temp + "\nend\n",
      std::string(2 << 20, 'x'),
  };
  for (const std::string& record : records) {
    Restore(old_);
    test::WriteFile(Path(temp), "foreign");
    test::WriteFile(Path(".p.tfp.commit"), record);
    bool asNew = false;
    EXPECT_TRUE(OpensAsOldOrNew(asNew)) << record.substr(0, 80);
    EXPECT_FALSE(asNew);
    EXPECT_FALSE(fs::exists(Path(".p.tfp.commit")));
    EXPECT_EQ(test::ReadFile(Path(temp)), "foreign");
  }
  // A folder under the record's name is left alone, and a save refuses to write over it.
  Restore(old_);
  fs::create_directory(Path(".p.tfp.commit"));
  EXPECT_NO_THROW(OpenProject(Path("p.tfp"), ui_, ""));
  EXPECT_THROW(new_->Save(), EFileError);
  fs::remove(Path(".p.tfp.commit"));
  EXPECT_EQ(FilesOf(dir_), old_);
}

TEST(AtomicFileTargets, OnlyARegularFileIsReplacedAndALinkToOneIsWrittenThrough) {
  const std::string dir = test::ScratchDir();
  test::WriteFile(dir + "/real.txt", "old");
  ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0644), 0);
  fs::create_directory(dir + "/folder");
  fs::create_symlink(dir + "/fifo", dir + "/to-fifo");
  fs::create_symlink(dir + "/gone", dir + "/to-nothing");
  fs::create_symlink(dir + "/real.txt", dir + "/to-real");
  bool device =
      ::geteuid() == 0 && ::mknod((dir + "/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  const TFiles before = FilesOf(dir);

  const std::function<void(const std::string&)> writers[] = {
      [](const std::string& path) { TXmlDocument::Create("x").SaveFile(path); },
      [](const std::string& path) {
        TTextFileWriter out(path);
        out << "text";
        out.Commit();
      },
  };
  for (const auto& write : writers) {
    for (std::string name : {"fifo", "folder", "to-fifo", "to-nothing", "null"}) {
      if (name == "null" && !device) continue;
      const std::string path = dir + "/" + name;
      try {
        write(path);
        ADD_FAILURE() << name << " was written";
      } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("\"" + path + "\""), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("regular file"), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(FilesOf(dir), before);
    EXPECT_TRUE(fs::is_fifo(dir + "/fifo"));
    if (device) {
      EXPECT_TRUE(fs::is_character_file(dir + "/null"));
    }
  }
  TXmlDocument::Create("x").SaveFile(dir + "/to-real");
  EXPECT_TRUE(fs::is_symlink(dir + "/to-real"));
  EXPECT_NE(test::ReadFile(dir + "/real.txt").find("<x/>"), std::string::npos);

  // A project whose project file would go to a FIFO writes none of its files.
  const TFiles settled = FilesOf(dir);
  test::TLogBuilder log;
  log.Nop(0x8000);
  TFakeUserInterface ui;
  auto p = test::ConvertedProject(ui, log.Text());
  p->ProjectFileName = dir + "/fifo";
  p->TraceDataDialog.FileName = dir + "/p.tfd";
  p->ScopeManager()->FileDialog().FileName = dir + "/p.tfm";
  p->LabelManager()->FileDialog().FileName = dir + "/p.tlm";
  EXPECT_THROW(p->Save(), EFileError);
  EXPECT_FALSE(p->Saved());
  EXPECT_EQ(FilesOf(dir), settled);
  EXPECT_TRUE(fs::is_fifo(dir + "/fifo"));
}

}  // namespace
}  // namespace orvanel
