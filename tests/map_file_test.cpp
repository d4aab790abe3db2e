#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "FakeUserInterface.h"
#include "TestData.h"
#include "base/Errors.h"
#include "records/SnesTraceLine.h"
#include "scopes/SnesScopeManager.h"

namespace orvanel {
namespace {

// Lines by offset, standing in for a project's offset index.
class TLines : public TOffsetLookup {
 public:
  TTraceFileLine* Add(int64_t offset) {
    auto line = std::make_unique<TSNESTraceFileLine>();
    line->SetOffset(offset);
    TTraceFileLine* raw = line.get();
    byOffset_[offset] = raw;
    owned_.push_back(std::move(line));
    return raw;
  }
  TTraceFileLine* FindInIndex(int64_t offset) override {
    auto it = byOffset_.find(offset);
    return it == byOffset_.end() ? nullptr : it->second;
  }

 private:
  std::map<int64_t, TTraceFileLine*> byOffset_;
  std::vector<std::unique_ptr<TTraceFileLine>> owned_;
};

class MapFileTest : public ::testing::Test {
 protected:
  MapFileTest() { manager_.Init(); }
  ~MapFileTest() override { manager_.Clear(); }  // lines die after the manager lets go
  std::string Path(const char* name) { return dir_ + "/" + name; }
  std::string Write(const char* name, const std::string& xml) {
    std::string p = Path(name);
    test::WriteFile(p, xml);
    return p;
  }

  std::string dir_ = test::ScratchDir();
  TLines lines_;
  TSNESScopeManager manager_;
};

TEST_F(MapFileTest, WritesScopesKeysAndMappingsAsTheyStand) {
  TScopeNode* global = manager_.GetScope("Global", true);
  manager_.AddMapping(global, "PlayerX", "$7E0010");
  TScopeNode* bank = manager_.GetScope("Bank1", false);
  manager_.AddMapping(bank, "Mode", "#$12");
  lines_.Add(32768)->AttachScope(bank);
  bank->AppendScopedOffset("32768_cc", nullptr);
  lines_.Add(5)->AttachScope(global);  // Global lists no keys in the file
  manager_.SaveToFile(Path("a.tfm"));
  std::string text = test::ReadFile(Path("a.tfm"));
  EXPECT_NE(text.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), std::string::npos);
  EXPECT_NE(text.find("<scope name=\"Global\">\n    <scopedoffsets/>\n    <mappings>\n"
                      "      <map context=\"PlayerX\">$7E0010</map>"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<offset>32768</offset>\n      <offset>32768_cc</offset>"), std::string::npos)
      << text;
  EXPECT_NE(text.find("<map context=\"Mode\">#$12</map>"), std::string::npos);
}

TEST_F(MapFileTest, ReadsBackAndClaimsTheRegisteredLines) {
  TTraceFileLine* line = lines_.Add(0x8000);
  std::string p = Write("b.tfm",
                        "<?xml version=\"1.0\"?><mapfile>"
                        "<scope name=\"\"><scopedoffsets/><mappings><map context=\"G\">$10</map>"
                        "</mappings></scope>"
                        "<scope name=\"Bank\"><scopedoffsets><offset>32768</offset>"
                        "<offset>4096</offset><offset>32768_cc</offset></scopedoffsets>"
                        "<mappings><map context=\"A\">$8000</map><map context=\"B\">32768</map>"
                        "<map context=\"Op\">#$12</map><map context=\"Op2\">#$12</map>"
                        "<map>$9000</map></mappings></scope>"
                        "<scope name=\"bank\"><mappings><map context=\"C\">$20</map></mappings>"
                        "</scope></mapfile>");
  manager_.LoadFromFile(lines_, p);
  ASSERT_EQ(manager_.Scopes().size(), 2u);
  TScopeNode* global = manager_.Scopes()[0].get();
  EXPECT_EQ(global->ScopeName(), "Global");  // an empty name reads as Global
  EXPECT_TRUE(global->IsGlobal());
  TScopeNode* bank = manager_.Scopes()[1].get();
  EXPECT_EQ(bank->ScopeName(), "Bank");  // "bank" merged into it, the first name wins
  ASSERT_EQ(bank->Mappings().size(), 4u);
  EXPECT_EQ(bank->Mappings()[0]->MappingName(), "A");   // 32768 has the value of $8000
  EXPECT_EQ(bank->Mappings()[1]->MappingName(), "Op");  // the same operand text only once
  EXPECT_EQ(bank->Mappings()[2]->MappingName(), "");    // no context: an empty name
  EXPECT_EQ(bank->Mappings()[3]->MappingName(), "C");
  EXPECT_EQ(line->Scope(), bank);
  const auto entries = bank->ScopedOffsets().LiveEntries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Line, line);
  EXPECT_EQ(entries[1].Key, "4096");  // no line there: kept without one
  EXPECT_EQ(entries[1].Line, nullptr);
  EXPECT_EQ(entries[2].Key, "32768_cc");

  // A line met later takes the entry that waits for its key.
  TTraceFileLine* later = lines_.Add(4096);
  later->AttachScope(manager_.FindScope(*later, false));
  EXPECT_EQ(later->Scope(), bank);
  EXPECT_EQ(bank->ScopedOffsets().Count(), 3u);

  manager_.SaveToFile(Path("c.tfm"));
  std::string text = test::ReadFile(Path("c.tfm"));
  EXPECT_NE(text.find("<offset>4096</offset>"), std::string::npos);
  EXPECT_NE(text.find("<offset>32768_cc</offset>"), std::string::npos);
}

TEST_F(MapFileTest, ANonNumericMapStopsTheReadingAndKeepsWhatCameBefore) {
  std::string p = Write("d.tfm",
                        "<mapfile><scope name=\"S\"><mappings><map context=\"A\">$10</map>"
                        "<map context=\"B\">oops</map><map context=\"C\">$30</map></mappings>"
                        "</scope></mapfile>");
  try {
    manager_.LoadFromFile(lines_, p);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "\"" + p + "\", line 1: 'oops' is not a valid integer value");
  }
  ASSERT_EQ(manager_.Scopes().size(), 1u);
  EXPECT_EQ(manager_.Scopes()[0]->Mappings().size(), 1u);
}

TEST_F(MapFileTest, BrokenFilesChangeNothing) {
  manager_.AddMapping(manager_.GetScope("Global", true), "Keep", "$1");
  for (const char* xml : {"<mapfile><scope name=\"S\"><mappings><map>$10</map>",  // truncated
                          "<mapfile><scope></mapfile>", "", "\x01\x02 binary",
                          "<!DOCTYPE m [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><mapfile>"
                          "<scope name=\"&e;\"/></mapfile>"}) {
    std::string p = Write("e.tfm", xml);
    EXPECT_THROW(manager_.LoadFromFile(lines_, p), EOrvanelError) << xml;
    ASSERT_EQ(manager_.Scopes().size(), 1u);
    EXPECT_EQ(manager_.Scopes()[0]->Mappings().size(), 1u);
  }
  EXPECT_THROW(manager_.LoadFromFile(lines_, Path("missing.tfm")), EOrvanelError);
}

TEST_F(MapFileTest, SavingBothFilesAsksForMissingNames) {
  test::TFakeUserInterface ui;
  ui.DialogFiles = {""};  // cancel
  EXPECT_FALSE(manager_.SaveFiles(ui));
  EXPECT_EQ(ui.DialogTitles, std::vector<std::string>{"Save Map File"});
  EXPECT_FALSE(std::filesystem::exists(Path("m.tfm")));

  ui.DialogFiles = {Path("m.tfm"), ""};  // the label file's dialog is cancelled
  EXPECT_TRUE(manager_.SaveFiles(ui));
  EXPECT_TRUE(std::filesystem::exists(Path("m.tfm")));
  EXPECT_EQ(ui.DialogTitles.back(), "Save Label File");

  // Loading sets the title and skips files that do not exist.
  manager_.LabelManager()->FileDialog().FileName = Path("none.tlm");
  manager_.LoadFiles(lines_);
  EXPECT_EQ(manager_.FileDialog().Title, "Load Map File");
}

TEST_F(MapFileTest, LabelsAreOnePerValue) {
  TSNESLabelManager& labels = *manager_.LabelManager();
  labels.GetScope("Global", true);
  TMappingNode* reset = labels.AddLabel("$8000", "Reset");
  EXPECT_EQ(labels.AddLabel("32768", "Start"), reset);
  EXPECT_EQ(reset->MappingName(), "Reset");
  EXPECT_EQ(reset->Address(), "$8000");
  EXPECT_EQ(labels.FindLabel(0x8000), reset);
  EXPECT_EQ(labels.FindLabel(0x8001), nullptr);
  EXPECT_THROW(labels.AddLabel("#$12", "Nope"), EConvertError);
  EXPECT_EQ(labels.Scopes()[0]->Mappings().size(), 1u);

  // Deleting the last label leaves no stale look-up; the next label finds a Global root.
  labels.DeleteMapping(reset);
  EXPECT_EQ(labels.FindLabel(0x8000), nullptr);
  TMappingNode* again = labels.AddLabel("$9000", "Again");
  EXPECT_EQ(again->Parent()->ScopeName(), "Global");
  EXPECT_EQ(labels.FindLabel(0x9000), again);
}

TEST_F(MapFileTest, ALabelFileMergesIntoTheGlobalRootIgnoringCase) {
  TSNESLabelManager& labels = *manager_.LabelManager();
  labels.GetScope("Global", true);
  labels.AddLabel("$8000", "Reset");
  std::string p = Write("l.tlm",
                        "<mapfile><scope name=\"global\"><scopedoffsets/><mappings>"
                        "<map context=\"Main\">$8100</map><map context=\"Dup\">32768</map>"
                        "</mappings></scope></mapfile>");
  labels.LoadFromFile(lines_, p);
  ASSERT_EQ(labels.Scopes().size(), 1u);
  ASSERT_EQ(labels.Scopes()[0]->Mappings().size(), 2u);
  EXPECT_EQ(labels.FindLabel(0x8100)->MappingName(), "Main");
  EXPECT_EQ(labels.FindLabel(0x8000)->MappingName(), "Reset");
  labels.SaveToFile(Path("l2.tlm"));
  std::string text = test::ReadFile(Path("l2.tlm"));
  EXPECT_NE(text.find("<scope name=\"Global\">"), std::string::npos);
  EXPECT_NE(text.find("<map context=\"Reset\">$8000</map>"), std::string::npos);
}

}  // namespace
}  // namespace orvanel
