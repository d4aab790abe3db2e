// The register description file shipped with the programs (data/Mappings.xml) and what a
// project does with it, or with a file that cannot be read.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "project/ProjectSession.h"
#include "xml/Xml.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

const std::string kShippedDir = ORVANEL_REGISTER_FILE_DIR;

// Writes $2100 and reads $4212 (the usual wait for the vertical blank), then $2100 again.
std::string LogOfRegisterAccesses(TLogBuilder::Dialect dialect) {
  TLogBuilder log(dialect);
  log.Op(0x8000, {0x8D, 0x00, 0x21}, "STA", "$2100", "$00:2100")
      .Lda(0x8003, 0x004212)
      .Op(0x8006, {0x8D, 0x00, 0x21}, "STA", "$2100", "$00:2100")
      .Nop(0x8009);
  return log.Text();
}

std::string ShippedText(const char* key) {
  TXmlDocument doc = TXmlDocument::LoadFile(kShippedDir + "Mappings.xml");
  for (TXmlElement e = doc.Root().FirstChildElement(); e; e = e.NextSiblingElement())
    if (e.Name() == key) return e.Text();
  return "(no " + std::string(key) + ")";
}

TEST(RegisterFile, TheShippedFileDescribesTheMainCpusRegisters) {
  TXmlDocument doc = TXmlDocument::LoadFile(kShippedDir + "Mappings.xml");
  std::set<std::string> names;
  std::set<long> addresses;
  for (TXmlElement e = doc.Root().FirstChildElement(); e; e = e.NextSiblingElement()) {
    const std::string key = e.Name();
    // Exactly the key the project looks up: "reg" and six upper-case hex digits.
    ASSERT_EQ(key.size(), 9u) << key;
    ASSERT_EQ(key.substr(0, 3), "reg") << key;
    for (char c : key.substr(3)) ASSERT_TRUE(std::isdigit(c) || (c >= 'A' && c <= 'F')) << key;
    const long address = std::stol(key.substr(3), nullptr, 16);
    const bool inRange =
        (address >= 0x2100 && address <= 0x213F) || (address >= 0x2140 && address <= 0x2143) ||
        (address >= 0x2180 && address <= 0x2183) || (address >= 0x4016 && address <= 0x4017) ||
        (address >= 0x4200 && address <= 0x421F) || (address >= 0x4300 && address <= 0x437F);
    EXPECT_TRUE(inRange) << key;
    EXPECT_TRUE(addresses.insert(address).second) << "twice: " << key;
    const std::string name(e.Attribute("name").value_or(""));
    EXPECT_FALSE(name.empty()) << key;
    EXPECT_TRUE(names.insert(name).second) << "name used twice: " << name;
    EXPECT_FALSE(e.Text().empty()) << key;
  }
  // Every PPU, APU port and WRAM port register, and each DMA channel's registers.
  for (long a = 0x2100; a <= 0x2143; ++a) EXPECT_TRUE(addresses.count(a)) << std::hex << a;
  for (long a = 0x2180; a <= 0x2183; ++a) EXPECT_TRUE(addresses.count(a)) << std::hex << a;
  for (const char* n : {"INIDISP", "APUIO3", "WMDATA", "JOYSER0", "JOYSER1", "NMITIMEN", "HVBJOY",
                        "MDMAEN", "JOY4H", "DMAP0", "DMAP7", "BBAD3", "A1T0L", "A1T7H", "A1B5",
                        "DAS2L", "DASB6", "A2A1L", "NTRL4"})
    EXPECT_TRUE(names.count(n)) << n;
}

TEST(RegisterFile, ANewProjectNamesTheHardwareRegistersWithTheShippedFile) {
  TFakeUserInterface ui;
  auto p = test::ConvertedProject(ui, LogOfRegisterAccesses(TLogBuilder::Dialect::First), 1,
                                  kShippedDir);
  EXPECT_TRUE(ui.Messages.empty());
  const TTraceFileLine* store = p->FindInIndex(0x8000);
  const TTraceFileLine* load = p->FindInIndex(0x8003);
  ASSERT_TRUE(store && load);
  EXPECT_EQ(store->RegisterName(), "INIDISP");
  EXPECT_EQ(load->RegisterName(), "HVBJOY");
  EXPECT_EQ(store->DisplayText(), "Global.$008000 STA INIDISP [$002100]");
  EXPECT_EQ(load->DisplayText(), "Global.$008003 LDA HVBJOY [$004212]");
  EXPECT_EQ(store->RegisterInfo(), ShippedText("reg002100"));
  EXPECT_EQ(load->RegisterInfo(), ShippedText("reg004212"));
  EXPECT_NE(load->RegisterInfo().find("blank"), std::string::npos);
}

// A debugger log names its registers once the converted tree was written and read back.
TEST(RegisterFile, DebuggerLinesAreNamedWhenReadBack) {
  TFakeUserInterface ui;
  auto p = test::ConvertedProject(ui, LogOfRegisterAccesses(TLogBuilder::Dialect::Debugger), 2,
                                  kShippedDir);
  EXPECT_EQ(p->FindInIndex(0x8000)->RegisterName(), "");
  const std::string file = test::ScratchDir() + "/d.tfd";
  p->WriteTraceData(file);
  auto copy = CreateProject(2, ui, kShippedDir);
  copy->TraceDataDialog.FileName = file;
  copy->LoadTraceData();
  EXPECT_EQ(copy->FindInIndex(0x8000)->RegisterName(), "INIDISP");
  EXPECT_EQ(copy->FindInIndex(0x8003)->RegisterName(), "HVBJOY");
}

TEST(RegisterFile, AUsersOwnFileTakesItsPlace) {
  const std::string dir = test::ScratchDir() + "/";
  test::WriteFile(dir + "Mappings.xml",
                  "<mine><reg002100 name=\"SCREEN\">my words</reg002100></mine>");
  TFakeUserInterface ui;
  auto p = test::ConvertedProject(ui, LogOfRegisterAccesses(TLogBuilder::Dialect::First), 1, dir);
  EXPECT_EQ(p->FindInIndex(0x8000)->RegisterName(), "SCREEN");
  EXPECT_EQ(p->FindInIndex(0x8000)->RegisterInfo(), "my words");
  EXPECT_EQ(p->FindInIndex(0x8003)->RegisterName(), "");  // not in this file
}

TEST(RegisterFile, AFileThatCannotBeReadGivesOneMessageAndNoNames) {
  for (const std::string& broken :
       {std::string("<r><reg002100 name=\"INIDISP\">screen</reg002100>"), std::string(""),
        std::string("\x01\x02"), std::string("<r><reg002100 name=\"a></r>")}) {
    const std::string dir = test::ScratchDir() + "/";
    test::WriteFile(dir + "Mappings.xml", broken);
    TFakeUserInterface ui;
    auto p = test::ConvertedProject(ui, LogOfRegisterAccesses(TLogBuilder::Dialect::First), 1, dir);
    ASSERT_EQ(ui.Messages.size(), 1u) << broken;
    EXPECT_EQ(ui.Messages[0].rfind(kUnreadableRegisterFile, 0), 0u) << ui.Messages[0];
    EXPECT_NE(ui.Messages[0].find("Mappings.xml"), std::string::npos) << ui.Messages[0];
    EXPECT_EQ(p->FindInIndex(0x8000)->RegisterName(), "");
    EXPECT_EQ(p->FindInIndex(0x8003)->RegisterName(), "");
  }
}

}  // namespace
}  // namespace orvanel
