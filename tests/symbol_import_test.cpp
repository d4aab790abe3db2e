#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/TextUtils.h"
#include "symbols/SymbolExport.h"
#include "symbols/SymbolImport.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

std::string Sample(const std::string& name) {
  return std::string(ORVANEL_SOURCE_DIR) + "/tests/data/symbols/" + name;
}

// Names by address: the label tree, and the mappings of the Global scope.
std::map<int64_t, std::string> Names(const TScopeManager* manager) {
  std::map<int64_t, std::string> names;
  if (!manager) return names;
  for (const auto& scope : manager->Scopes())
    for (const auto& mapping : scope->Mappings())
      names.emplace(mapping->NumericAddress(), mapping->MappingName());
  return names;
}

class SymbolImportTest : public ::testing::Test {
 protected:
  SymbolImportTest() {
    project_ = test::ConvertedProject(ui_, test::ReadFile(Sample("sample.log")));
    project_->SetSaved(true);
    ui_.Messages.clear();
  }
  std::map<int64_t, std::string> Labels() const { return Names(project_->LabelManager()); }
  std::map<int64_t, std::string> Mappings() const { return Names(project_->ScopeManager()); }
  std::string Display(int64_t offset) { return project_->FindInIndex(offset)->DisplayText(); }

  TFakeUserInterface ui_;
  std::unique_ptr<TSNESProject> project_;
};

const std::map<int64_t, std::string> kSampleLabels = {
    {0x008000, "Reset"}, {0x008010, "Sub"}, {0x009000, "DataTable"}};
const std::map<int64_t, std::string> kSampleMappings = {{0x7E0010, "PlayerX"},
                                                        {0x002100, "DisplayControl"}};

TEST_F(SymbolImportTest, EachFormatOfLabelsGivesTheSameNames) {
  const std::pair<const char*, TSymbolFileKind> samples[] = {
      {"wla.sym", TSymbolFileKind::Sections},
      {"asar.sym", TSymbolFileKind::Sections},
      {"nocash.sym", TSymbolFileKind::NoCash},
      {"ca65.lbl", TSymbolFileKind::Ca65},
  };
  for (const auto& [name, kind] : samples) {
    SCOPED_TRACE(name);
    TFakeUserInterface ui;
    auto project = test::ConvertedProject(ui, test::ReadFile(Sample("sample.log")));
    TSymbolImportResult r = ImportSymbols(*project, Sample(name));
    ASSERT_TRUE(r.Read()) << r.Error;
    EXPECT_EQ(r.Kind, kind);
    EXPECT_EQ(r.Labels, 3u);
    EXPECT_EQ(r.Mappings, 2u);
    EXPECT_EQ(r.Comments, 0u);
    EXPECT_EQ(r.SkippedLines + r.Clashes + r.OtherTypes, 0u);
    EXPECT_EQ(Names(project->LabelManager()), kSampleLabels);
    EXPECT_EQ(Names(project->ScopeManager()), kSampleMappings);
  }
}

TEST_F(SymbolImportTest, ImportedNamesShowInTheTreeAsTheirCommandsWouldShowThem) {
  ImportSymbols(*project_, Sample("wla.sym"));
  // The label names the call's target and its own line; the mapping the data address.
  EXPECT_EQ(Display(0x008000), "Global.Reset: JSR Sub [$008010]");
  EXPECT_EQ(Display(0x008010), "Global.Sub: LDA PlayerX [$7E0010]");
  EXPECT_EQ(Display(0x008003), "Global.$008003 LDA DisplayControl [$002100]");
  EXPECT_EQ(project_->LabelManager()->FindLabel(0x8000)->Address(), "$008000");
  EXPECT_FALSE(project_->Saved());
}

TEST_F(SymbolImportTest, SectionCommentsGoToTheLineAtTheirAddress) {
  TSymbolImportResult r = ImportSymbols(*project_, Sample("comments.sym"));
  EXPECT_EQ(r.Labels, 3u);
  EXPECT_EQ(r.Mappings, 2u);
  EXPECT_EQ(r.Comments, 2u);
  EXPECT_EQ(r.LinelessComments, 1u);  // $00A000 was never executed
  // The text after the address is the comment, semicolons and all.
  EXPECT_EQ(project_->FindInIndex(0x008003)->Comment(), "reads the display register; then waits");
  EXPECT_EQ(project_->FindInIndex(0x008010)->Comment(), "loads the player's x");
}

TEST_F(SymbolImportTest, MlbOffsetsBecomeAddressesByType) {
  TSymbolImportResult r = ImportSymbols(*project_, Sample("labels.mlb"));
  EXPECT_EQ(r.Kind, TSymbolFileKind::Mlb);
  EXPECT_EQ(r.Mapping, TRomMapping::LoRom);
  EXPECT_EQ(r.Labels, 3u);
  EXPECT_EQ(r.Mappings, 3u);
  EXPECT_EQ(r.Comments, 2u);
  EXPECT_EQ(r.OtherTypes, 1u);  // the sound processor's RAM
  EXPECT_EQ(r.SkippedLines, 0u);
  EXPECT_EQ(Labels(), kSampleLabels);
  auto mappings = kSampleMappings;
  mappings[0x700000] = "SaveSlot";  // LoROM save RAM
  EXPECT_EQ(Mappings(), mappings);
  // A comment may hold the field separator.
  EXPECT_EQ(project_->FindInIndex(0x008003)->Comment(), "reads the display register: then waits");
}

TEST(SymbolImportLayout, RomOffsetsFollowTheMirrorAndLayoutTheTraceRan) {
  const std::string mlb = test::ScratchDir() + "/code.mlb";
  test::WriteFile(mlb, "SnesPrgRom:0:Start\nSnesPrgRom:20:Data\n");
  struct Case {
    const char* what;
    int64_t code;
    TRomMapping given;
    TRomMapping used;
    int64_t start, data;
  };
  const Case cases[] = {
      // Code in the upper banks: names go to the mirror the code ran at.
      {"fast LoROM", 0x808000, TRomMapping::Guess, TRomMapping::LoRom, 0x808000, 0x808020},
      // Code in the lower half of bank $C0 is only possible under HiROM.
      {"HiROM", 0xC00000, TRomMapping::Guess, TRomMapping::HiRom, 0xC00000, 0xC00020},
      // The user's choice wins over the guess: offset 0 under HiROM is $C00000.
      {"forced HiROM", 0x008000, TRomMapping::HiRom, TRomMapping::HiRom, 0xC00000, 0xC00020},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFakeUserInterface ui;
    auto project = test::ConvertedProject(ui, TLogBuilder().Nop(c.code).Wai(c.code + 1).Text());
    TSymbolImportResult r = ImportSymbols(*project, mlb, c.given);
    EXPECT_EQ(r.Mapping, c.used);
    EXPECT_EQ(Names(project->LabelManager()),
              (std::map<int64_t, std::string>{{c.start, "Start"}, {c.data, "Data"}}));
  }
}

TEST_F(SymbolImportTest, ExistingNamesAreKeptAndClashesCounted) {
  project_->CreateLabel("$8000", "Start");
  project_->CreateMapping("$7E0010", "Xpos", true, 1, "");
  project_->FindInIndex(0x008010)->SetComment("mine");
  project_->SetSaved(true);
  const std::string file = test::ScratchDir() + "/clash.sym";
  test::WriteFile(file,
                  "[labels]\n00:8000 Reset\n00:8010 Sub\n00:8010 SubAgain\n7e:0010 PlayerX\n"
                  "[comments]\n00:8010 theirs\n");
  TSymbolImportResult r = ImportSymbols(*project_, file);
  EXPECT_EQ(r.Labels, 1u);    // Sub
  EXPECT_EQ(r.Mappings, 0u);  // Xpos stays
  EXPECT_EQ(r.Comments, 0u);
  EXPECT_EQ(r.Clashes, 4u);  // Reset, SubAgain, PlayerX, the comment
  EXPECT_EQ(project_->LabelManager()->FindLabel(0x8000)->MappingName(), "Start");
  EXPECT_EQ(project_->FindInIndex(0x008010)->Comment(), "mine");

  // The same file again adds nothing and leaves the project unmodified.
  project_->SetSaved(true);
  r = ImportSymbols(*project_, file);
  EXPECT_FALSE(r.AddedAnything());
  EXPECT_EQ(r.Duplicates, 1u);  // Sub
  EXPECT_TRUE(project_->Saved());
}

TEST_F(SymbolImportTest, ANameTakesThePlaceOfTheConversionsExitLabel) {
  auto project = test::ConvertedProject(ui_, TLogBuilder()
                                                 .Jsr(0x008000, 0x008010)
                                                 .Branch(0x008010, 0xF0, 0x01, 0x008013)
                                                 .Rts(0x008013)
                                                 .Nop(0x008003)
                                                 .Text());
  ASSERT_EQ(project->LabelManager()->FindLabel(0x008013)->MappingName(), "exit");
  // The exit label is the conversion's, not a finding: the export leaves it out.
  const std::string dir = test::ScratchDir();
  TSymbolExportResult out = ExportSymbols(*project, dir + "/none.sym", TSymbolFormat::Wla);
  EXPECT_EQ(out.ExitLabels, 1u);
  EXPECT_EQ(out.Labels, 0u);

  test::WriteFile(dir + "/done.sym", "[labels]\n00:8013 done\n00:8010 exit\n");
  TSymbolImportResult r = ImportSymbols(*project, dir + "/done.sym");
  EXPECT_EQ(r.Labels, 2u);
  EXPECT_EQ(r.ExitLabelsReplaced, 1u);
  EXPECT_EQ(r.Clashes, 0u);
  EXPECT_EQ(project->FindInIndex(0x008010)->DisplayText(), "Global.exit: BEQ done [$008013]");
  EXPECT_EQ(project->FindInIndex(0x008013)->DisplayText(), "Global.done: RTS");
}

TEST_F(SymbolImportTest, BrokenLinesAreSkippedAndReportedOnceWithTheirNumbers) {
  TSymbolImportResult r = ImportSymbols(*project_, Sample("broken.sym"));
  EXPECT_EQ(r.Labels, 2u);
  EXPECT_EQ(r.SkippedLines, 3u);
  ASSERT_EQ(ui_.Batches.size(), 1u);  // one batch, not a box per line
  ASSERT_EQ(ui_.Batches[0].size(), 3u);
  EXPECT_NE(ui_.Batches[0][0].find("broken.sym\", line 3: "), std::string::npos);
  EXPECT_NE(ui_.Batches[0][1].find("line 4: "), std::string::npos);
  EXPECT_NE(ui_.Batches[0][2].find("line 5: "), std::string::npos);
  EXPECT_NE(SymbolImportSummary(r, "broken.sym").find("3 lines skipped"), std::string::npos);
}

TEST_F(SymbolImportTest, AFileOfAnotherKindGivesOneMessageAndChangesNothing) {
  const std::string dir = test::ScratchDir();
  const std::pair<std::string, std::string> files[] = {
      {"binary.bin", std::string("\x7F"
                                 "ELF\x02\x01\x01\0\0\0\0\0 00:8000 X",
                                 22)},
      {"empty.sym", ""},
      {"comments-only.sym", "; nothing but a comment\n\n   \n"},
      {"prose.txt", "Dear diary,\n00:8000 Reset\n"},
      {"missing.sym", ""},
      {"folder.sym", ""},
      {"odd-utf16.sym",
       "\xFF\xFE"
       "a"},
  };
  for (const auto& [name, content] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir + "/" + name;
    if (name == "folder.sym")
      std::filesystem::create_directory(path);
    else if (name != "missing.sym")
      test::WriteFile(path, content);
    ui_.Messages.clear();
    TSymbolImportResult r = ImportSymbols(*project_, path);
    EXPECT_FALSE(r.Read());
    ASSERT_EQ(ui_.Messages.size(), 1u);
    EXPECT_EQ(ui_.Messages[0], r.Error);
    EXPECT_NE(r.Error.find(path), std::string::npos);
    EXPECT_TRUE(Labels().empty());
    EXPECT_TRUE(Mappings().empty());
    EXPECT_TRUE(project_->Saved());
  }
}

TEST_F(SymbolImportTest, EitherLetterCaseLineEndAndBankWidthIsRead) {
  const std::string file = test::ScratchDir() + "/crlf.sym";
  // A byte order mark is no content; a four-digit bank is read when its value is a bank
  // ($0100 is none).
  test::WriteFile(
      file, "\xEF\xBB\xBF[LABELS]\r\n00:80aB Lower\r\n0000:80CD Upper\r\n0100:8000 NoBank\r\n");
  TSymbolImportResult r = ImportSymbols(*project_, file);
  EXPECT_EQ(r.Labels, 2u);
  EXPECT_EQ(r.SkippedLines, 1u);
  EXPECT_EQ(Labels(), (std::map<int64_t, std::string>{{0x80AB, "Lower"}, {0x80CD, "Upper"}}));
}

TEST_F(SymbolImportTest, CodeRunFromRamIsALabelAndUnexecutedRamAMapping) {
  auto project = test::ConvertedProject(ui_, TLogBuilder().Nop(0x7E2000).Wai(0x7E2001).Text());
  const std::string file = test::ScratchDir() + "/ram.lbl";
  test::WriteFile(file, "al 7E2000 .RamCode\nal 7E3000 .Buffer\n");
  TSymbolImportResult r = ImportSymbols(*project, file);
  EXPECT_EQ(r.Labels, 1u);
  EXPECT_EQ(r.Mappings, 1u);
  EXPECT_EQ(Names(project->LabelManager()).at(0x7E2000), "RamCode");
  EXPECT_EQ(Names(project->ScopeManager()).at(0x7E3000), "Buffer");
}

// Files that real assemblers, linkers and emulators wrote, imported into a project whose
// trace runs none of their code: every name lands as a label (ROM) or a mapping, or counts
// as a clash with an earlier name of the same address; nothing is skipped unread.
TEST(SymbolImportRealFiles, EveryNameOfARealFileIsRead) {
  struct Case {
    const char* file;
    TSymbolFileKind kind;
    size_t names, comments, otherTypes, ignoredSectionLines;
  };
  const Case cases[] = {
      // wlalink's no$gmb form for pvsneslib: "bbbb:aaaa name", and "bbbbaaaa name".
      {"pvsneslib-timer-wlalink.sym", TSymbolFileKind::NoGmb, 450, 0, 0, 0},
      {"pvsneslib-Mode1Scroll-wlalink.sym", TSymbolFileKind::NoGmb, 484, 0, 0, 0},
      {"pvsneslib-scoring-wlalink.sym", TSymbolFileKind::NoCash, 486, 0, 0, 0},
      // Mesen's older types PRG, WORK, REG (with comments); SPCRAM is the sound CPU's.
      {"sm-debugging-mesen.mlb", TSymbolFileKind::Mlb, 36363, 192, 16, 0},
      {"sm-debugging-bsnes.sym", TSymbolFileKind::Sections, 36864, 118, 0, 0},
      {"asar-arch-65816-wla.sym", TSymbolFileKind::Sections, 16, 0, 0, 0},
      {"asar-arch-65816-nocash.sym", TSymbolFileKind::NoCash, 16, 0, 0, 0},
      {"wlalink-all-instructions.sym", TSymbolFileKind::Sections, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TFakeUserInterface ui;
    auto project = test::ConvertedProject(ui, test::ReadFile(Sample("sample.log")));
    ui.Messages.clear();
    TSymbolImportResult r =
        ImportSymbols(*project, std::string(ORVANEL_REAL_SYMBOLS_DIR) + "/" + c.file);
    ASSERT_TRUE(r.Read()) << r.Error;
    EXPECT_EQ(r.Kind, c.kind);
    EXPECT_EQ(r.Labels + r.Mappings + r.Clashes + r.Duplicates, c.names);
    EXPECT_EQ(r.Comments + r.LinelessComments, c.comments);
    EXPECT_EQ(r.OtherTypes, c.otherTypes);
    EXPECT_EQ(r.SkippedLines, 0u);
    EXPECT_EQ(r.IgnoredSectionLines, c.ignoredSectionLines);
    EXPECT_EQ(Names(project->LabelManager()).size() + Names(project->ScopeManager()).size(),
              r.Labels + r.Mappings);
    EXPECT_TRUE(ui.Batches.empty());
  }
}

// Latin-1 text as UTF-16 with its byte order mark.
std::string Utf16(std::string_view latin1, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char c : latin1) {
    const char units[2] = {c, '\0'};
    out += bigEndian ? std::string{units[1], units[0]} : std::string{units[0], units[1]};
  }
  return out;
}

// What a line may hold, as the user sees it after the import: the names that arrive and
// the lines reported as skipped.
TEST_F(SymbolImportTest, TextIsReadLineByLineAndOnlyReadableNamesArrive) {
  const std::string long4096(4096, 'n'), long4097(4097, 'n');
  struct Case {
    const char* what;
    std::string content;
    std::map<int64_t, std::string> names;  // labels and mappings
    size_t skipped;
    const char* message;  // in the skipped line's message
  };
  const Case cases[] = {
      {"a stray Latin-1 byte spoils its own line only",
       "[labels]\n00:8000 Caf\xC3\xA9\n00:8010 Stra\xDF"
       "e\n",
       {{0x8000, "Caf\xC3\xA9"},
        {0x8010,
         "Stra\xC3\x9F"
         "e"}},
       0,
       ""},
      {"UTF-16, little end first",
       Utf16("[labels]\n00:8000 \xE9\n", false),
       {{0x8000, "\xC3\xA9"}},
       0,
       ""},
      {"UTF-16, big end first", Utf16("00008000 R\n", true), {{0x8000, "R"}}, 0, ""},
      {"bank:address lines without a section",
       "80:8000 Reset\n00:8010 Sub\n",
       {{0x808000, "Reset"}, {0x8010, "Sub"}},
       0,
       ""},
      {"a name of 4,096 characters is a name",
       "[labels]\n00:8000 " + long4096 + "\n",
       {{0x8000, long4096}},
       0,
       ""},
      {"a longer name is refused",
       "[labels]\n00:8000 " + long4097 + "\n00:8010 Sub\n",
       {{0x8010, "Sub"}},
       1,
       "line 2: the name is longer than 4,096 characters"},
      {"a longer comment is refused",
       "[comments]\n00:8010 " + long4097 + "\n",
       {},
       1,
       "the comment is longer than 4,096 characters"},
      {"NUL in a name",
       std::string("[labels]\n00:8000 Re\0set\n00:8010 Sub\n", 35),
       {{0x8010, "Sub"}},
       1,
       "line 2: the name holds a control character"},
      {"a control character in a name",
       "al 008000 .Re\x01set\nal 008010 .Sub\n",
       {{0x8010, "Sub"}},
       1,
       "the name holds a control character"},
      {"bsnes: type and size follow the name, comments have their section",
       "#SNES65816\n\n[SYMBOL]\n00:8000 Reset ANY 1\n7e:0010 PlayerX ANY 2\n"
       "[COMMENT]\n00:8010 loads x\n",
       {{0x8000, "Reset"}, {0x7E0010, "PlayerX"}},
       0,
       ""},
      {"WLA's symbols and breakpoints hold no names",
       "[labels]\n00:8000 Reset\n[symbols]\n00:8010 sym\n[breakpoints]\n00:8003\n",
       {{0x8000, "Reset"}},
       0,
       ""},
  };
  const std::string file = test::ScratchDir() + "/case.sym";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFakeUserInterface ui;
    auto project = test::ConvertedProject(ui, test::ReadFile(Sample("sample.log")));
    ui.Messages.clear();
    test::WriteFile(file, c.content);
    TSymbolImportResult r = ImportSymbols(*project, file);
    ASSERT_TRUE(r.Read()) << r.Error;
    std::map<int64_t, std::string> names = Names(project->LabelManager());
    names.merge(Names(project->ScopeManager()));
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(r.SkippedLines, c.skipped);
    if (c.skipped) {
      ASSERT_EQ(ui.Batches.size(), 1u);
      EXPECT_NE(ui.Batches[0][0].find(c.message), std::string::npos) << ui.Batches[0][0];
    }
  }
}

TEST_F(SymbolImportTest, CommentsAndSkippedSectionsReachTheUser) {
  const std::string file = test::ScratchDir() + "/notes.mlb";
  // Mesen writes a comment's line break as "\n".
  test::WriteFile(file, "PRG:10:Sub:loads x\\nthen y\nWORK:10:PlayerX\nREG:2100:INIDISP\n");
  TSymbolImportResult r = ImportSymbols(*project_, file);
  EXPECT_EQ(project_->FindInIndex(0x008010)->Comment(), "loads x\nthen y");
  EXPECT_EQ(Mappings(),
            (std::map<int64_t, std::string>{{0x7E0010, "PlayerX"}, {0x002100, "INIDISP"}}));

  test::WriteFile(file, "[labels]\n00:8000 Reset\n[breakpoints]\n00:8003\n00:8010\n");
  r = ImportSymbols(*project_, file);
  EXPECT_NE(SymbolImportSummary(r, "f").find("2 lines of [breakpoints] not read"),
            std::string::npos)
      << SymbolImportSummary(r, "f");
}

TEST_F(SymbolImportTest, AFileOfBadLinesListsAHundredAndCountsTheRest) {
  std::string content = "[labels]\n";
  for (int i = 0; i < 250; ++i) content += "zz:8000 Bad\n";
  const std::string file = test::ScratchDir() + "/bad.sym";
  test::WriteFile(file, content);
  TSymbolImportResult r = ImportSymbols(*project_, file);
  EXPECT_EQ(r.SkippedLines, 250u);
  ASSERT_EQ(ui_.Batches.size(), 1u);
  ASSERT_EQ(ui_.Batches[0].size(), 101u);
  EXPECT_NE(ui_.Batches[0][99].find("line 101: not a symbol line: zz:8000 Bad"), std::string::npos);
  EXPECT_NE(ui_.Batches[0][100].find("150 more lines skipped, not listed"), std::string::npos);
}

}  // namespace
}  // namespace orvanel
