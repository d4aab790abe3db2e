#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "symbols/Listing.h"
#include "symbols/SymbolDialogs.h"
#include "symbols/SymbolExport.h"
#include "symbols/SymbolImport.h"
#include "symbols/SymbolSession.h"

namespace orvanel {
namespace {

namespace fs = std::filesystem;
using test::TFakeUserInterface;
using test::TLogBuilder;

std::string Sample(const std::string& name) {
  return std::string(ORVANEL_SOURCE_DIR) + "/tests/data/symbols/" + name;
}

// (scope, address, name) of every label and mapping, and the comments by address.
using TNames = std::map<std::pair<int64_t, std::string>, std::string>;
TNames Names(const TScopeManager* manager) {
  TNames names;
  for (const auto& scope : manager->Scopes())
    for (const auto& mapping : scope->Mappings())
      names.emplace(std::make_pair(mapping->NumericAddress(), mapping->MappingName()),
                    scope->ScopeName());
  return names;
}
std::map<int64_t, std::string> Comments(TProject& project) {
  std::map<int64_t, std::string> comments;
  for (const auto& line : project.Store().Lines())
    if (!line->IsComment() && !line->Comment().empty()) comments[line->Offset()] = line->Comment();
  return comments;
}

// No temporary file is left beside the target.
size_t FilesIn(const std::string& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
  return n;
}

class SymbolExportTest : public ::testing::Test {
 protected:
  std::unique_ptr<TSNESProject> Sampled() {
    return test::ConvertedProject(ui_, test::ReadFile(Sample("sample.log")));
  }
  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

TEST_F(SymbolExportTest, ListingShowsDepthLabelsRegistersAndComments) {
  auto project = test::ConvertedProject(ui_, TLogBuilder()
                                                 .Jsr(0x008000, 0x008010)
                                                 .Lda(0x008010, 0x7E0010)
                                                 .Rts(0x008013)
                                                 .Raw("--- frame end ---")
                                                 .Nop(0x008003)
                                                 .Text());
  project->CreateLabel("$8010", "Sub");
  project->CreateMapping("$7E0010", "PlayerX", true, 1, "");
  project->FindInIndex(0x008003)->SetComment("waits\nfor the frame");
  const std::string file = dir_ + "/listing.txt";
  ExportListing(*project, file);
  const std::string regs = "  A:0000 X:0000 Y:0000 D:0000 DB:00 S:01FF P:envMXdizc";
  EXPECT_EQ(test::ReadFile(file), "0 $008000 Global.$008000 JSR Sub [$008010]" + regs + "\n" +
                                      "1   Sub:\n"
                                      "1   $008010 Global.Sub: LDA PlayerX [$7E0010]" +
                                      regs + "\n" + "1   $008013 Global.$008013 RTS" + regs + "\n" +
                                      "0 ; --- frame end ---\n"
                                      "0 $008003 Global.$008003 NOP" +
                                      regs + "  ; waits for the frame\n");
  EXPECT_EQ(FilesIn(dir_), 1u);
}

TEST_F(SymbolExportTest, ListingIndentationStopsAtFortyLevels) {
  TLogBuilder log;
  const int depth = 45;
  for (int i = 0; i < depth; ++i) log.Jsr(0x008000 + 0x10 * i, 0x008000 + 0x10 * (i + 1));
  log.Nop(0x008000 + 0x10 * depth);
  auto project = test::ConvertedProject(ui_, log.Text());
  const std::string file = dir_ + "/deep.txt";
  ExportListing(*project, file);
  std::string text = test::ReadFile(file);
  std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
  EXPECT_EQ(last.substr(0, 3 + 80 + 1), "45 " + std::string(80, ' ') + "$");
  std::string tenth = text.substr(text.find("\n10 ") + 1);
  EXPECT_EQ(tenth.substr(0, 3 + 20 + 1), "10 " + std::string(20, ' ') + "$");
}

TEST_F(SymbolExportTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  auto project = Sampled();
  EXPECT_THROW(ExportListing(*project, dir_ + "/no-such-folder/listing.txt"), EFileError);
  EXPECT_THROW(ExportSymbols(*project, dir_ + "/no-such-folder/x.sym", TSymbolFormat::Wla),
               EFileError);
  const std::string file = dir_ + "/old.sym";
  test::WriteFile(file, "old");
  ExportSymbols(*project, file, TSymbolFormat::Wla);  // replaced as a whole
  EXPECT_NE(test::ReadFile(file), "old");
  EXPECT_EQ(FilesIn(dir_), 1u);
}

TEST_F(SymbolExportTest, WlaFileHoldsEachNameOnceInAddressOrder) {
  auto project = Sampled();
  project->CreateLabel("$8000", "Reset");
  project->CreateLabel("$8010", "Main Loop");  // a blank cannot stand in a symbol file
  project->CreateMapping("$7E0010", "PlayerX", true, 1, "");
  project->CreateMapping("$7E0010", "PlayerX", false, 1, "Bank1");  // the same name again
  project->CreateMapping("$7E0012", "PlayerY", false, 1, "Bank1");
  project->CreateMapping("#$12", "MODE_TITLE", true, 1, "");  // an operand, no address
  const std::string file = dir_ + "/out.sym";
  TSymbolExportResult r = ExportSymbols(*project, file, TSymbolFormat::Wla);
  EXPECT_EQ(r.Labels, 2u);
  EXPECT_EQ(r.Mappings, 2u);
  EXPECT_EQ(r.Skipped, 1u);
  EXPECT_EQ(test::ReadFile(file),
            "; symbols of an Orvanel project\n[labels]\n00:8000 Reset\n00:8010 Main_Loop\n"
            "7e:0010 PlayerX\n7e:0012 PlayerY\n");
}

TEST_F(SymbolExportTest, MlbTypesFollowTheMemoryOfEachAddress) {
  auto project = test::ConvertedProject(ui_, TLogBuilder().Nop(0x808000).Wai(0x808001).Text());
  project->CreateLabel("$808000", "Reset");  // fast ROM mirror
  project->CreateMapping("$7F0100", "Big", true, 1, "");
  project->CreateMapping("$000020", "Low", true, 1, "");  // low RAM seen through bank 0
  project->CreateMapping("$004016", "Joy", true, 1, "");
  project->CreateMapping("$710002", "Save", true, 1, "");
  project->CreateMapping("$400000", "Nowhere", true, 1, "");  // no memory under LoROM
  project->FindInIndex(0x808000)->SetComment("starts: here");
  const std::string file = dir_ + "/out.mlb";
  TSymbolExportResult r = ExportSymbols(*project, file, TSymbolFormat::Mlb);
  EXPECT_EQ(r.Mapping, TRomMapping::LoRom);
  EXPECT_EQ(r.Skipped, 1u);
  EXPECT_EQ(r.Comments, 1u);
  EXPECT_EQ(test::ReadFile(file),
            "SnesWorkRam:0020:Low\nSnesRegister:4016:Joy\nSnesSaveRam:8002:Save\n"
            "SnesWorkRam:10100:Big\nSnesPrgRom:0000:Reset:starts: here\n");
}

TEST_F(SymbolExportTest, ExportedSymbolsReadBackIntoAFreshProjectAsTheyWere) {
  const TSymbolFormat formats[] = {TSymbolFormat::Wla, TSymbolFormat::Mlb, TSymbolFormat::Sym};
  for (TSymbolFormat format : formats) {
    SCOPED_TRACE(static_cast<int>(format));
    auto a = Sampled();
    a->CreateLabel("$008000", "Reset");
    a->CreateLabel("$009000", "Table");  // ROM the trace never ran
    a->CreateMapping("$7E0010", "PlayerX", true, 1, "");
    a->CreateMapping("$002100", "DisplayControl", true, 1, "");
    a->FindInIndex(0x008003)->SetComment("reads the register");
    const std::string file = dir_ + "/round." + std::to_string(static_cast<int>(format));
    ExportSymbols(*a, file, format);

    auto b = Sampled();
    TSymbolImportResult r = ImportSymbols(*b, file);
    ASSERT_TRUE(r.Read()) << r.Error;
    EXPECT_EQ(r.SkippedLines + r.Clashes, 0u);
    EXPECT_EQ(Names(b->LabelManager()), Names(a->LabelManager()));
    EXPECT_EQ(Names(b->ScopeManager()), Names(a->ScopeManager()));
    if (format != TSymbolFormat::Wla) {
      EXPECT_EQ(Comments(*b), Comments(*a));
    }
  }
}

TEST_F(SymbolExportTest, NamesAndCommentsThatWouldBreakAFileAreMadeSafe) {
  const std::pair<TSymbolFormat, std::map<int64_t, std::string>> cases[] = {
      {TSymbolFormat::Wla, {{0x008000, "semi_colon"}, {0x008010, "co:lon_tab_"}}},
      {TSymbolFormat::Sym, {{0x008000, "semi_colon"}, {0x008010, "co:lon_tab_"}}},
      {TSymbolFormat::Mlb, {{0x008000, "semi;colon"}, {0x008010, "co_lon_tab_"}}},
  };
  for (const auto& [format, expected] : cases) {
    SCOPED_TRACE(static_cast<int>(format));
    auto a = Sampled();
    a->CreateLabel("$008000", "semi;colon");
    a->CreateLabel("$008010", "co:lon\ttab\x7f");
    a->CreateMapping("$7E0020", "", true, 1, "");  // no name to write
    a->FindInIndex(0x008003)->SetComment("  two\nlines  ");
    a->FindInIndex(0x008006)->SetComment("bell\a\x1f\x1f\x1f\x1f\x1f\tend\x7f");
    const std::string file = dir_ + "/safe." + std::to_string(static_cast<int>(format));
    EXPECT_EQ(ExportSymbols(*a, file, format).Skipped, 1u);

    auto b = Sampled();
    TSymbolImportResult r = ImportSymbols(*b, file);
    EXPECT_EQ(r.SkippedLines, 0u);
    std::map<int64_t, std::string> labels;
    for (const auto& [key, scope] : Names(b->LabelManager())) labels[key.first] = key.second;
    EXPECT_EQ(labels, expected);
    if (format != TSymbolFormat::Wla) {
      EXPECT_EQ(b->FindInIndex(0x008003)->Comment(), "two lines");
      // Control characters would make a short file look binary and be refused.
      EXPECT_EQ(b->FindInIndex(0x008006)->Comment(), "bell       end");
    }
  }
}

TEST_F(SymbolExportTest, TheExportDialogsFilterChoosesTheFormat) {
  TFileDialog dialog = SymbolExportDialog();
  EXPECT_EQ(dialog.DialogKind, TFileDialog::Kind::Save);
  EXPECT_EQ(SymbolFormatOfFilter(0), TSymbolFormat::Wla);
  EXPECT_EQ(SymbolFormatOfFilter(1), TSymbolFormat::Mlb);
  EXPECT_EQ(SymbolFormatOfFilter(2), TSymbolFormat::Sym);
  // Three description|pattern pairs, in the order of the formats.
  EXPECT_EQ(std::count(dialog.Filter.begin(), dialog.Filter.end(), '|'), 5);
}

// What orvanel-convert runs: a conversion with symbols, then both exports of the saved
// project.
TEST_F(SymbolExportTest, TheConverterImportsBeforeTheSaveAndExportsASavedProject) {
  TConvertOptions options;
  options.LogFile = Sample("sample.log");
  options.ProjectFile = dir_ + "/p.tfp";
  size_t failed = 99;
  ASSERT_TRUE(ConvertLogWithSymbols(options, {Sample("wla.sym"), Sample("comments.sym")},
                                    TRomMapping::Guess, ui_, failed));
  EXPECT_EQ(failed, 0u);
  ASSERT_GE(ui_.Messages.size(), 2u);  // one summary per file
  EXPECT_NE(ui_.Messages[0].find("3 labels, 2 mappings"), std::string::npos);

  auto saved = OpenProject(options.ProjectFile, ui_, "");
  EXPECT_EQ(saved->LabelManager()->FindLabel(0x008010)->MappingName(), "Sub");
  EXPECT_EQ(saved->FindInIndex(0x008003)->Comment(), "reads the display register; then waits");

  ExportProjectListing(options.ProjectFile, dir_ + "/p.txt", ui_, "");
  EXPECT_NE(test::ReadFile(dir_ + "/p.txt").find("1   Sub:\n"), std::string::npos);
  TSymbolExportResult r = ExportProjectSymbols(options.ProjectFile, dir_ + "/p.mlb",
                                               TSymbolFormat::Mlb, TRomMapping::Guess, ui_, "");
  EXPECT_EQ(r.Labels, 3u);
  EXPECT_EQ(r.Mappings, 2u);
  EXPECT_EQ(r.Comments, 2u);
}

// A trace that runs a handler copied to low work RAM ($00:1000), reads low RAM through bank
// 0 and runs ROM at one mirror: every format brings the names back to the same addresses.
// The .mlb file has one place per ROM offset, so of two labels on mirrors of one offset it
// keeps the one where the trace ran and says that it left the other out.
TEST_F(SymbolExportTest, RamCodeLowRamAndMirroredRomNamesComeBackWhereTheyWere) {
  const std::string log = TLogBuilder()
                              .Jsr(0x008000, 0x001000)
                              .Lda(0x001000, 0x000010)
                              .Rts(0x001003)
                              .Nop(0x008003)
                              .Text();
  auto a = test::ConvertedProject(ui_, log);
  a->CreateLabel("$001000", "RamHandler");
  a->CreateLabel("$008003", "Back");
  a->CreateLabel("$808003", "BackFast");  // the same ROM offset as Back
  a->CreateMapping("$000010", "Counter", true, 1, "");
  a->CreateMapping("$7E1800", "Buffer", true, 1, "");
  a->FindInIndex(0x001000)->SetComment("copied here at boot");
  for (TSymbolFormat format : {TSymbolFormat::Wla, TSymbolFormat::Mlb, TSymbolFormat::Sym}) {
    SCOPED_TRACE(static_cast<int>(format));
    const bool mlb = format == TSymbolFormat::Mlb;
    const std::string file = dir_ + "/ram." + std::to_string(static_cast<int>(format));
    TSymbolExportResult out = ExportSymbols(*a, file, format);
    EXPECT_EQ(out.MirrorsDropped, mlb ? 1u : 0u);
    if (mlb) {
      const std::string summary = SymbolExportSummary(out, file);
      EXPECT_NE(summary.find("1 name left out because a mirror"), std::string::npos);
      EXPECT_NE(summary.find("the first: BackFast at $808003"), std::string::npos) << summary;
    }

    auto b = test::ConvertedProject(ui_, log);
    TSymbolImportResult r = ImportSymbols(*b, file);
    ASSERT_TRUE(r.Read()) << r.Error;
    EXPECT_EQ(r.SkippedLines + r.Clashes, 0u);
    TNames labels = Names(a->LabelManager());
    if (mlb) labels.erase({0x808003, "BackFast"});
    EXPECT_EQ(Names(b->LabelManager()), labels);
    EXPECT_EQ(Names(b->ScopeManager()), Names(a->ScopeManager()));
    EXPECT_EQ(b->FindInIndex(0x001000)->DisplayText(), "Global.RamHandler: LDA Counter [$000010]");
    if (format != TSymbolFormat::Wla) {
      EXPECT_EQ(Comments(*b), Comments(*a));
    }
  }
}

// The longest name and comment an import takes (a comment as long as the comment box holds)
// are saved and read back with the project.
TEST_F(SymbolExportTest, AProjectWithTheLongestNamesOpensAgain) {
  const std::string name(4096, 'n'), comment(TTraceFileLine::kCommentLimit, 'c');
  const std::string symbols = dir_ + "/long.sym";
  test::WriteFile(symbols, "[labels]\n00:8000 " + name + "\n7e:0010 " + name +
                               "\n[comments]\n00:8010 " + comment + "\n");
  TConvertOptions options;
  options.LogFile = Sample("sample.log");
  options.ProjectFile = dir_ + "/long.tfp";
  size_t failed = 99;
  ASSERT_TRUE(ConvertLogWithSymbols(options, {symbols}, TRomMapping::Guess, ui_, failed));
  EXPECT_EQ(failed, 0u);
  auto saved = OpenProject(options.ProjectFile, ui_, "");
  EXPECT_EQ(saved->LabelManager()->FindLabel(0x008000)->MappingName(), name);
  EXPECT_EQ(Names(saved->ScopeManager()).begin()->first.second, name);
  EXPECT_EQ(saved->FindInIndex(0x008010)->Comment(), comment);
}

TEST(RomMapping, OffsetsAndAddressesConvertBothWays) {
  // LoROM: 32 KiB per bank in the upper half; the mirror above $80 comes second.
  EXPECT_EQ(RomOffsetToCpu(0x000000, TRomMapping::LoRom),
            (std::vector<int64_t>{0x008000, 0x808000}));
  EXPECT_EQ(CpuToRomOffset(0x81FFFF, TRomMapping::LoRom), 0x00FFFF);
  // Offsets of bank $7E/$7F only show above $80: those banks are work RAM.
  EXPECT_EQ(RomOffsetToCpu(0x3F0000, TRomMapping::LoRom), (std::vector<int64_t>{0xFE8000}));
  EXPECT_FALSE(IsRomAddress(0x7E8000, TRomMapping::LoRom));
  EXPECT_FALSE(IsRomAddress(0x400000, TRomMapping::LoRom));
  EXPECT_TRUE(IsRomAddress(0x400000, TRomMapping::HiRom));
  EXPECT_EQ(CpuToRomOffset(0xC12345, TRomMapping::HiRom), 0x012345);
  EXPECT_EQ(CpuToRomOffset(0x018000, TRomMapping::HiRom), 0x018000);
  EXPECT_FALSE(CpuToRomOffset(0x002100, TRomMapping::HiRom));
  EXPECT_TRUE(RomOffsetToCpu(0x400000, TRomMapping::HiRom).empty());
  // Every ROM address reads back through its offset.
  for (TRomMapping m : {TRomMapping::LoRom, TRomMapping::HiRom})
    for (int64_t address : {0x008000, 0x80FFFF, 0xC00000, 0x3FFFFF, 0xFFFFFF}) {
      if (!IsRomAddress(address, m)) continue;
      auto mirrors = RomOffsetToCpu(*CpuToRomOffset(address, m), m);
      EXPECT_NE(std::find(mirrors.begin(), mirrors.end(), address), mirrors.end()) << address;
    }
  EXPECT_EQ(SaveRamToCpu(0x8002, TRomMapping::LoRom), 0x710002);
  EXPECT_EQ(CpuToSaveRam(0x316001, TRomMapping::HiRom), 0x2001);
}

}  // namespace
}  // namespace orvanel
