#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

namespace fs = std::filesystem;
using test::TFakeUserInterface;
using test::TLogBuilder;

class ProjectFileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir_ + "/" + name; }
  // Converts a small log into a saved project "p.tfp" with all its files.
  void MakeProject(const std::string& name = "p") {
    TLogBuilder log;
    log.Jsr(0x8000, 0x9000).Branch(0x9000, 0xD0, 0x01, 0x9003).Rts(0x9003).Nop(0x8003);
    test::WriteFile(Path("a.log"), log.Text());
    TConvertOptions o;
    o.LogFile = Path("a.log");
    o.ProjectFile = Path(name + ".tfp");
    ASSERT_TRUE(ConvertLogToProject(o, ui_));
  }
  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

TEST_F(ProjectFileTest, AProjectIsWrittenWithAllItsFilesAndOpensAgain) {
  MakeProject();
  for (const char* ext : {".tfp", ".tfd", ".tfm", ".tlm", ".tcc"})
    EXPECT_TRUE(fs::exists(Path(std::string("p") + ext))) << ext;
  std::string text = test::ReadFile(Path("p.tfp"));
  EXPECT_NE(text.find("<project name=\"\" projecttype=\"1\">"), std::string::npos) << text;
  EXPECT_NE(text.find("<tracefile>" + Path("p.tfd") + "</tracefile>"), std::string::npos);
  EXPECT_NE(text.find("<codecachefile>" + Path("p.tcc") + "</codecachefile>"), std::string::npos);
  EXPECT_NE(text.find("<bookmarks/>"), std::string::npos);

  auto p = OpenProject(Path("p.tfp"), ui_, "");
  EXPECT_EQ(p->ProjectType, 1);
  EXPECT_TRUE(p->IsSaved());
  EXPECT_TRUE(p->LogLoaded);
  EXPECT_EQ(p->Tree().Count(), 4u);
  EXPECT_EQ(p->TraceDataDialog.FileName, Path("p.tfd"));
  EXPECT_EQ(p->TraceLogDialog.FileName, Path("p.tfd"));
  EXPECT_EQ(p->TraceLogDialog.Title, "Load Trace File");
  EXPECT_EQ(p->ScopeManager()->FileDialog().Title, "Load Map File");
  EXPECT_EQ(p->FindInIndex(0x9003)->OffsetLabel()->MappingName(), "exit");  // from the label file
}

TEST_F(ProjectFileTest, ResavingGivesTheSameFilesApartFromTheirNames) {
  MakeProject();
  auto p = OpenProject(Path("p.tfp"), ui_, "");
  p->AddBookmark("$9000", "loop");
  p->ProjectName = "Mine";
  ASSERT_TRUE(p->Save());
  ASSERT_TRUE(ResaveProject(Path("p.tfp"), Path("q.tfp"), ui_, ""));
  for (const char* ext : {".tfd", ".tfm", ".tlm", ".tcc"})
    EXPECT_EQ(test::ReadFile(Path(std::string("q") + ext)),
              test::ReadFile(Path(std::string("p") + ext)))
        << ext;
  std::string renamed =
      std::regex_replace(test::ReadFile(Path("q.tfp")), std::regex("/q\\."), "/p.");
  EXPECT_EQ(renamed, test::ReadFile(Path("p.tfp")));
}

TEST_F(ProjectFileTest, SaveAsMovesTheCodeCacheFileWithTheProject) {
  MakeProject();
  auto p = OpenProject(Path("p.tfp"), ui_, "");
  p->ProjectFileName = Path("other.tfp");
  ASSERT_TRUE(p->Save());
  EXPECT_EQ(p->CodeCache()->TraceDataDialog.FileName, Path("other.tcc"));
  EXPECT_TRUE(fs::exists(Path("other.tcc")));
  EXPECT_NE(test::ReadFile(Path("other.tfp")).find(Path("other.tcc")), std::string::npos);
}

TEST_F(ProjectFileTest, AProjectWithoutLogOrLabelFileOpens) {
  test::WriteFile(Path("bare.tfp"),
                  "<?xml version=\"1.0\"?>\n<project projecttype=\"2\" name=\"n\">"
                  "<mapfile/><tracefile/></project>");
  auto p = OpenProject(Path("bare.tfp"), ui_, "");
  EXPECT_EQ(p->ProjectType, 2);
  EXPECT_EQ(p->ProjectName, "n");  // order of attributes and elements does not matter
  EXPECT_TRUE(p->Tree().Empty());
  EXPECT_FALSE(p->LogLoaded);
  EXPECT_TRUE(p->LabelManager()->FileDialog().FileName.empty());
  EXPECT_EQ(p->BookmarkList().Count(), 0u);
  // The next save asks for every missing name; a cancelled label dialog still saves.
  ui_.DialogFiles = {Path("bare.tfm"), "", Path("bare.tfd")};
  p->ProjectFileName = Path("bare2.tfp");
  ASSERT_TRUE(p->Save());
  std::string text = test::ReadFile(Path("bare2.tfp"));
  EXPECT_NE(text.find("<labels/>"), std::string::npos) << text;
  EXPECT_NE(text.find("<tracefile/>"), std::string::npos) << text;  // no log loaded
  EXPECT_NE(text.find("<bookmarks/>"), std::string::npos) << text;
}

TEST_F(ProjectFileTest, RelativeAndMovedPathsAreFoundBesideTheProjectFile) {
  MakeProject();
  fs::create_directory(Path("moved"));
  for (const char* ext : {".tfd", ".tfm", ".tlm", ".tcc"})
    fs::rename(Path(std::string("p") + ext), Path(std::string("moved/p") + ext));
  std::string text = test::ReadFile(Path("p.tfp"));
  // The absolute paths now name missing files; one name is made relative.
  text = std::regex_replace(text, std::regex(Path("p.tfm")), "p.tfm");
  test::WriteFile(Path("moved/p.tfp"), text);
  auto p = OpenProject(Path("moved/p.tfp"), ui_, "");
  EXPECT_EQ(p->Tree().Count(), 4u);
  EXPECT_EQ(p->ScopeManager()->FileDialog().FileName, Path("moved/p.tfm"));
  EXPECT_EQ(p->TraceDataDialog.FileName, Path("moved/p.tfd"));
}

TEST_F(ProjectFileTest, FilesThatAreNoProjectAreRefusedWithAClearMessage) {
  struct Case {
    const char* xml;
    const char* says;
  };
  for (const Case& c :
       {Case{"<project name=\"x\"/>", "projecttype"},
        Case{"<project projecttype=\"x1\"/>", "'x1' is not a valid integer value"},
        Case{"<project projecttype=\"3\"/>", "3"}, Case{"<project projecttype=\"0\"/>", "0"},
        Case{"<mapfile projecttype=\"1\"/>", "project"},
        Case{"<project projecttype=\"1\"", "bad.tfp"}, Case{"", "bad.tfp"}}) {
    test::WriteFile(Path("bad.tfp"), c.xml);
    try {
      OpenProject(Path("bad.tfp"), ui_, "");
      ADD_FAILURE() << "opened " << c.xml;
    } catch (const EOrvanelError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(OpenProject(Path("missing.tfp"), ui_, ""), EFileError);
}

TEST_F(ProjectFileTest, DamagedFilesOfAProjectLeaveNoProjectAndChangeNothing) {
  MakeProject();
  std::string tfd = test::ReadFile(Path("p.tfd"));
  test::WriteFile(Path("p.tfd"), tfd.substr(0, tfd.size() / 2));
  std::string before = test::ReadFile(Path("p.tfp"));
  try {
    OpenProject(Path("p.tfp"), ui_, "");
    FAIL() << "opened";
  } catch (const EXmlError& e) {
    EXPECT_NE(std::string(e.what()).find("p.tfd"), std::string::npos) << e.what();
  }
  EXPECT_EQ(test::ReadFile(Path("p.tfp")), before);
  fs::remove(Path("p.tfd"));
  EXPECT_THROW(OpenProject(Path("p.tfp"), ui_, ""), EOrvanelError);
}

TEST_F(ProjectFileTest, BookmarksAreReadWrittenAndMarked) {
  MakeProject();
  auto p = OpenProject(Path("p.tfp"), ui_, "");
  TMenuEntry* a = p->AddBookmark("$9000", "loop=body");
  EXPECT_EQ(a->Caption, "loop=body");
  EXPECT_EQ(a->Hint, "$9000");
  EXPECT_EQ(a->Tag, 0x9000);
  EXPECT_TRUE(p->FindInIndex(0x9000)->IsBookmarked());
  EXPECT_EQ(p->AddBookmark("$9000", "again"), a);  // the same offset text ignoring case
  EXPECT_FALSE(p->NewBookmark("$9000", "again"));
  EXPECT_EQ(ui_.Messages.back(), "Bookmark for offset $9000 alreay defined");
  TMenuEntry* b = p->AddBookmark("$009000", "same place");  // another text: another bookmark
  EXPECT_EQ(p->BookmarkClick(*a), p->BookmarkClick(*b));
  EXPECT_NE(p->BookmarkClick(*a), nullptr);
  EXPECT_THROW(p->AddBookmark("#12", "no"), EConvertError);
  EXPECT_EQ(p->BookmarkList().Count(), 2u);
  TMenuEntry* missing = p->AddBookmark("32", "nowhere");
  EXPECT_EQ(p->BookmarkClick(*missing), nullptr);
  EXPECT_FALSE(p->Saved());
  ASSERT_TRUE(p->Save());

  auto again = OpenProject(Path("p.tfp"), ui_, "");
  auto entries = again->FillBookmarkMenu();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0]->Caption, "loop=body");
  EXPECT_EQ(entries[0]->Hint, "");  // entries read from the file have no hint
  EXPECT_EQ(entries[2]->Tag, 32);
  EXPECT_TRUE(again->FindInIndex(0x9000)->IsBookmarked());
  EXPECT_TRUE(again->IsSaved());

  // A bookmark offset that is no number refuses the whole file.
  std::string text = test::ReadFile(Path("p.tfp"));
  text = std::regex_replace(text, std::regex("offset=\"32\""), "offset=\"#12\"");
  test::WriteFile(Path("p.tfp"), text);
  try {
    OpenProject(Path("p.tfp"), ui_, "");
    FAIL() << "opened";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'#12' is not a valid integer value");
  }
}

TEST_F(ProjectFileTest, AFailedSaveIsReportedAndLeavesTheOldFiles) {
  MakeProject();
  std::string before = test::ReadFile(Path("p.tfp"));
  auto p = OpenProject(Path("p.tfp"), ui_, "");
  p->AddBookmark("$8000", "x");
  test::WriteFile(Path("blocker"), "a file, not a folder");
  p->ProjectFileName = Path("blocker/p.tfp");
  EXPECT_THROW(p->Save(), EOrvanelError);
  EXPECT_FALSE(p->Saved());
  EXPECT_EQ(test::ReadFile(Path("p.tfp")), before);
  // A cancelled project file dialog stops the save and leaves the project unsaved.
  p->ProjectFileName.clear();
  ui_.DialogFiles = {""};
  EXPECT_FALSE(p->Save());
  EXPECT_FALSE(p->Saved());
}

}  // namespace
}  // namespace orvanel
