// Inputs that are no files, never end, are far too large or are built to make a reader spend
// minutes: each is refused at once with a message naming the file and what is wrong, and a
// file read with faults is said to be so and is never saved over itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "project/ProjectSession.h"
#include "symbols/SymbolFile.h"
#include "symbols/SymbolImport.h"
#include "trace/LogLines.h"
#include "xml/Xml.h"

namespace orvanel {
namespace {

namespace fs = std::filesystem;
using test::TFakeUserInterface;
using test::TLogBuilder;

const char* const kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

class HostileInputTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& content) {
    test::WriteFile(Path(name), content);
    return Path(name);
  }
  // A project file naming `file` in one of its elements.
  std::string ProjectNaming(const std::string& element, const std::string& file) {
    return Write("names-" + element + ".tfp",
                 std::string(kDeclaration) + "<project name=\"P\" projecttype=\"1\"><" + element +
                     ">" + file + "</" + element + "></project>");
  }
  // Every way Orvanel reads a file, each given `file` where it reads.
  std::vector<std::pair<std::string, std::function<void(const std::string&)>>> Readers() {
    return {
        {"project", [&](const std::string& f) { OpenProject(f, ui_, ""); }},
        {"trace data",
         [&](const std::string& f) { OpenProject(ProjectNaming("tracefile", f), ui_, ""); }},
        {"code cache",
         [&](const std::string& f) { OpenProject(ProjectNaming("codecachefile", f), ui_, ""); }},
        {"map", [&](const std::string& f) { OpenProject(ProjectNaming("mapfile", f), ui_, ""); }},
        {"labels", [&](const std::string& f) { OpenProject(ProjectNaming("labels", f), ui_, ""); }},
        {"symbols", [&](const std::string& f) { ReadSymbolFile(f); }},
        {"log", [&](const std::string& f) { TLogLines::FromFile(f); }},
        {"conversion",
         [&](const std::string& f) {
           TConvertOptions o;
           o.LogFile = f;
           o.ProjectFile = Path("converted.tfp");
           ConvertLogToProject(o, ui_);
         }},
    };
  }

  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

// A folder, a FIFO that a writer keeps open (it would never end), a character device and a
// link to the FIFO are refused by every reader with what they are; none waits or reads.
TEST_F(HostileInputTest, InputsThatAreNoFilesAreRefusedWithWhatTheyAre) {
  const std::string fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Open for reading and writing: the FIFO has a writer, so a reader would wait forever.
  const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  const std::string xml = std::string(kDeclaration) + "<project projecttype=\"1\">";
  ASSERT_GT(::write(writer, xml.data(), xml.size()), 0);
  fs::create_directory(Path("folder"));
  fs::create_symlink(fifo, Path("link-to-pipe"));
  std::vector<std::pair<std::string, std::string>> inputs = {
      {Path("folder"), "a folder"}, {fifo, "a FIFO"}, {Path("link-to-pipe"), "a FIFO"}};
  const std::string device = Path("zero");
  if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0)
    inputs.emplace_back(device, "a character device");  // only root may make one

  for (const auto& [input, kind] : inputs) {
    for (const auto& [reader, read] : Readers()) {
      SCOPED_TRACE(reader + " " + input);
      try {
        read(input);
        ADD_FAILURE() << "read";
      } catch (const EOrvanelError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(input), std::string::npos) << message;
        EXPECT_NE(message.find(kind), std::string::npos) << message;
      }
    }
  }
  ::close(writer);
  // A link to a regular file is read as the file.
  TLogBuilder log;
  log.Nop(0x8000).Nop(0x8001);
  fs::create_symlink(Write("real.log", log.Text()), Path("link.log"));
  EXPECT_EQ(TLogLines::FromFile(Path("link.log")).Count(), 2u);
}

// Files larger than any of their kind ever is are refused before a byte is read; the trace
// data file, which is as large as its trace, is read (and here fails as no XML).
TEST_F(HostileInputTest, OversizedFilesAreRefusedBeforeTheyAreRead) {
  auto sparse = [&](const std::string& name, off_t size) {
    const std::string file = Path(name);
    test::WriteFile(file, "");
    EXPECT_EQ(::truncate(file.c_str(), size), 0);
    return file;
  };
  const std::string huge = sparse("huge.xml", (off_t{1} << 30) + 1);
  const std::string large = sparse("large.sym", (off_t{256} << 20) + 1);
  for (const auto& [reader, read] : Readers()) {
    SCOPED_TRACE(reader);
    const bool symbols = reader == "symbols";
    if (reader == "log" || reader == "conversion" || reader == "trace data") continue;
    try {
      read(symbols ? large : huge);
      ADD_FAILURE() << "read";
    } catch (const EFileError& e) {
      EXPECT_NE(std::string(e.what()).find(symbols ? "larger than 256 MB" : "larger than 1 GB"),
                std::string::npos)
          << e.what();
    }
  }
  const std::string notXml = sparse("zeros.tfd", 1 << 20);
  EXPECT_THROW(OpenProject(ProjectNaming("tracefile", notXml), ui_, ""), EXmlError);
}

// One element with 200,000 attributes is refused at its line before the parser compares
// them with each other, by the document reader and by the stream reader alike; one with 65
// is refused as well.
TEST_F(HostileInputTest, AnElementWithTooManyAttributesIsRefusedAtOnce) {
  std::string attributes;
  for (int i = 0; i < 200000; ++i) attributes += " a" + std::to_string(i) + "=\"1\"";
  const std::string map =
      Write("many.tfm", std::string(kDeclaration) + "<mapfile>\n<!-- a=1 -->\n" + "<scope" +
                            attributes + "/></mapfile>");
  const std::string trace =
      Write("many.tfd", std::string(kDeclaration) + "<tracedata>\n<traceline linetext=\"a=b\"/>\n" +
                            "<traceline" + attributes + "/></tracedata>");
  std::string sixtyFive;  // one more than allowed, in a tag short enough to be parsed whole
  for (int i = 0; i < 65; ++i) sixtyFive += " a" + std::to_string(i) + "=\"1\"";
  const std::string some = Write("some.tfd", std::string(kDeclaration) + "<tracedata>\n\n" +
                                                 "<traceline" + sixtyFive + "/></tracedata>");
  auto p = test::ConvertedProject(ui_, "");
  auto readTrace = [&](const std::string& file) {
    return [&p, file] {
      p->TraceDataDialog.FileName = file;
      p->LoadTraceData();
    };
  };
  for (const auto& [file, read] : std::vector<std::pair<std::string, std::function<void()>>>{
           {map, [&] { p->ScopeManager()->LoadFromFile(*p, map); }},
           {trace, readTrace(trace)},
           {some, readTrace(some)}}) {
    try {
      read();
      ADD_FAILURE() << file << " was read";
    } catch (const EXmlError& e) {
      EXPECT_NE(std::string(e.what()).find(file + "\", line 4: An element has more attributes"),
                std::string::npos)
          << e.what();
    }
  }
  EXPECT_TRUE(p->Tree().Empty());
  // Up to 64 attributes are read as ever.
  std::string allowed = " name=\"S\"";
  for (int i = 1; i < 64; ++i) allowed += " a" + std::to_string(i) + "=\"1\"";
  EXPECT_NO_THROW(p->ScopeManager()->LoadFromFile(
      *p,
      Write("few.tfm", std::string(kDeclaration) + "<mapfile><scope" + allowed + "/></mapfile>")));
  EXPECT_NE(p->ScopeManager()->FindScopeByName("S"), nullptr);
}

// A bad number in the first line of a trace data file: the message names the file, the line
// and the attribute, says how much of the tree is missing, and the project is never saved
// over the files it was read from (under a new name it is).
TEST_F(HostileInputTest, ALineThatCannotBeReadIsReportedAndGuardsTheFilesItCameFrom) {
  TLogBuilder log;
  for (int i = 0; i < 50; ++i) log.Nop(0x8000 + i);
  auto p = test::ConvertedProject(ui_, log.Text());
  p->TraceDataDialog.FileName = Path("p.tfd");
  p->ScopeManager()->FileDialog().FileName = Path("p.tfm");
  p->LabelManager()->FileDialog().FileName = Path("p.tlm");
  p->ProjectFileName = Path("p.tfp");
  ASSERT_TRUE(p->Save());
  std::string data = test::ReadFile(Path("p.tfd"));
  const size_t colour = data.find("textcolor=\"") + 11;
  data.replace(colour, data.find('"', colour) - colour, "0x1G");
  test::WriteFile(Path("p.tfd"), data);
  const std::vector<std::string> files = {"p.tfp", "p.tfd", "p.tfm", "p.tlm", "p.tcc"};
  std::vector<std::string> before;
  for (const std::string& f : files) before.push_back(test::ReadFile(Path(f)));

  ui_.Messages.clear();
  auto opened = OpenProject(Path("p.tfp"), ui_, "");
  EXPECT_TRUE(opened->ReadWithErrors());
  EXPECT_TRUE(opened->Tree().Empty());  // the rest of the level goes with the bad line
  ASSERT_EQ(ui_.Messages.size(), 2u);
  EXPECT_EQ(
      ui_.Messages[0].rfind(
          "\"" + Path("p.tfd") + "\", line 3: attribute textcolor: '0x1G' is not a number", 0),
      0u)
      << ui_.Messages[0];
  EXPECT_NE(ui_.Messages[1].find("50 of its lines are left out"), std::string::npos)
      << ui_.Messages[1];

  fs::create_symlink(Path("p.tfp"), Path("alias.tfp"));
  for (const std::string& target : {Path("p.tfp"), Path("alias.tfp")})
    EXPECT_THROW(SaveProjectAs(*opened, target), EFileError) << target;
  EXPECT_THROW(ResaveProject(Path("p.tfp"), Path("p.tfp"), ui_, ""), EFileError);
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(test::ReadFile(Path(files[i])), before[i]) << files[i];
  EXPECT_TRUE(SaveProjectAs(*opened, Path("copy.tfp")));
  EXPECT_TRUE(fs::exists(Path("copy.tfd")));
}

// A comment longer than the comment box is refused where it comes in; a data file may bring
// one of up to 64 KB, and a longer one is left out with a message. A comment is written once
// per line, however often the line was executed.
TEST_F(HostileInputTest, LongCommentsAreRefusedAndWrittenOnce) {
  TLogBuilder log;
  for (int i = 0; i < 5; ++i) log.Nop(0x8000).Nop(0x8001);
  auto p = test::ConvertedProject(ui_, log.Text());
  const std::string longest(200, 'c');
  const std::string tooLong = std::string(200, 'c') + "\xC3\xA9";  // 201 characters
  Write("c.mlb", "SnesPrgRom:0::" + longest + "\nSnesPrgRom:1::" + tooLong + "\n");
  ui_.Messages.clear();
  ImportSymbols(*p, Path("c.mlb"), TRomMapping::LoRom);
  EXPECT_EQ(p->FindInIndex(0x8000)->Comment(), longest);
  EXPECT_EQ(p->FindInIndex(0x8001)->Comment(), "");
  EXPECT_EQ(std::count_if(ui_.Messages.begin(), ui_.Messages.end(),
                          [](const std::string& m) {
                            return m.find("c.mlb\", line 2: a comment of 201 characters") !=
                                   std::string::npos;
                          }),
            1);

  p->WriteTraceData(Path("c.tfd"));
  std::string data = test::ReadFile(Path("c.tfd"));
  size_t written = 0;
  for (size_t at = data.find(longest); at != std::string::npos; at = data.find(longest, at + 1))
    ++written;
  EXPECT_EQ(written, 1u);
  auto copy = test::ConvertedProject(ui_, "");
  copy->TraceDataDialog.FileName = Path("c.tfd");
  copy->LoadTraceData();
  EXPECT_EQ(copy->Tree().Count(), 10u);
  EXPECT_EQ(copy->FindInIndex(0x8000)->Comment(), longest);
  EXPECT_FALSE(copy->ReadWithErrors());

  const std::string kilobytes64(size_t{64} << 10, 'k');
  data.replace(data.find(longest), longest.size(), kilobytes64 + "k");
  test::WriteFile(Path("c.tfd"), data);
  copy = test::ConvertedProject(ui_, "");
  ui_.Messages.clear();
  copy->TraceDataDialog.FileName = Path("c.tfd");
  copy->LoadTraceData();
  EXPECT_EQ(copy->Tree().Count(), 10u);
  EXPECT_EQ(copy->FindInIndex(0x8000)->Comment(), "");
  EXPECT_TRUE(copy->ReadWithErrors());
  ASSERT_EQ(ui_.Messages.size(), 1u);
  EXPECT_NE(ui_.Messages[0].find("line 3: a comment of 64 KB is longer"), std::string::npos)
      << ui_.Messages[0];
}

// Whatever the writers write, the readers read: names and texts of many megabytes (past the
// parser's usual limit of 10 MB for one value) come back as they were.
TEST_F(HostileInputTest, LongNamesAndTextsWrittenAreReadBack) {
  constexpr size_t kPastTheLimit = 10'000'001;
  const std::string name(kPastTheLimit, 'n');
  const std::string address = "$" + std::string(kPastTheLimit - 5, '0') + "8000";
  auto p = test::ConvertedProject(ui_, "");
  TScopeNode* scope = p->ScopeManager()->GetScope("Long", false);
  ASSERT_NE(p->ScopeManager()->AddMappingFromXml(scope, name, address), nullptr);
  p->ScopeManager()->SaveToFile(Path("long.tfm"));
  auto copy = test::ConvertedProject(ui_, "");
  copy->ScopeManager()->LoadFromFile(*copy, Path("long.tfm"));
  const TScopeNode* read = copy->ScopeManager()->FindScopeByName("Long");
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->Mappings().size(), 1u);
  EXPECT_TRUE(read->Mappings()[0]->MappingName() == name);
  EXPECT_TRUE(read->Mappings()[0]->Address() == address);
}

}  // namespace
}  // namespace orvanel
