// "Import Symbols...", "Export" > "Log File" and "Export" > "Map File" from the window.
#include <fstream>

#include "WindowFixture.h"
#include "scopes/SnesScopeManager.h"

namespace orvanel::test {
namespace {

class WindowSymbolsTest : public WindowTest {};

TEST_F(WindowSymbolsTest, SymbolCommandsNeedAProject) {
  EXPECT_FALSE(Enabled("ImportSymbols1"));
  EXPECT_FALSE(window->findChild<QMenu*>("Export1")->menuAction()->isEnabled());
  EXPECT_EQ(Action("ImportSymbols1")->text(), "Import Symbols...");
  NewProject();
  EXPECT_TRUE(Enabled("ImportSymbols1"));
}

TEST_F(WindowSymbolsTest, ImportedNamesShowAndExportsWriteTheChosenFormat) {
  NewProject();
  const std::string symbols = Path("names.sym");
  {
    std::ofstream out(symbols);
    out << "[labels]\n80:84ac Start\n7e:0200 Counter\n";
  }
  Project()->SetSaved(true);
  fake.DialogFiles = {symbols};
  Trigger("ImportSymbols1");
  ASSERT_FALSE(fake.Messages.empty());
  EXPECT_NE(fake.Messages.back().find("1 label"), std::string::npos) << fake.Messages.back();
  EXPECT_NE(fake.Messages.back().find("1 mapping"), std::string::npos) << fake.Messages.back();
  EXPECT_FALSE(Project()->IsSaved()) << "an import that added names marks the project modified";
  ASSERT_NE(Project()->ScopeManager()->LabelManager()->FindLabel(0x8084AC), nullptr);

  // The second entry of the export dialog is the .mlb format.
  fake.DialogFiles = {Path("out.mlb")};
  fake.DialogFilterIndexes = {1};
  Trigger("MapFile1");
  const std::string mlb = ReadFile(Path("out.mlb"));
  EXPECT_NE(mlb.find("SnesPrgRom:"), std::string::npos) << mlb;
  EXPECT_NE(mlb.find(":Start"), std::string::npos) << mlb;
  EXPECT_NE(mlb.find("SnesWorkRam:0200:Counter"), std::string::npos) << mlb;

  fake.DialogFiles = {Path("out.sym")};
  Trigger("MapFile1");
  EXPECT_NE(ReadFile(Path("out.sym")).find("[labels]"), std::string::npos);

  fake.DialogFiles = {Path("listing.txt")};
  Trigger("LogFile1");
  const std::string listing = ReadFile(Path("listing.txt"));
  EXPECT_NE(listing.find("Start:\n"), std::string::npos) << "a label line before its offset";
  EXPECT_NE(listing.find("$8084AC"), std::string::npos);
}

TEST_F(WindowSymbolsTest, AFileOfAnotherKindChangesNothing) {
  NewProject();
  const std::string binary = Path("rom.bin");
  {
    std::ofstream out(binary, std::ios::binary);
    out << std::string("\x00\x01\x02\xff\xfe", 5) << std::string(100, '\0');
  }
  Project()->SetSaved(true);
  const size_t messagesBefore = fake.Messages.size();
  fake.DialogFiles = {binary};
  Trigger("ImportSymbols1");
  EXPECT_EQ(fake.Messages.size(), messagesBefore + 1) << "one clear message";
  EXPECT_TRUE(Project()->IsSaved());
  ASSERT_NE(window->CurrentProject(), nullptr);
}

}  // namespace
}  // namespace orvanel::test
