// Bad input for whole-project operations: logs that are empty, only comments, binary, huge
// or full of NUL bytes; map, label, trace data, project and register files that are cut
// off, not well-formed, hold numbers that are none, or declare entities. Each gives a clear
// message or is read as far as it goes, never a crash, and a failed load leaves what the
// project already holds as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "base/TextUtils.h"
#include "project/ProjectSession.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

const char* const kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// A loop, a taken call, a jump and a comment: lines with labels, scopes and targets.
std::string SmallLog(TLogBuilder::Dialect dialect = TLogBuilder::Dialect::First) {
  TLogBuilder log(dialect);
  log.Raw("--- frame 1 ---")
      .Jsr(0x8000, 0x9000)
      .Raw("// into the routine")
      .Lda(0x9000, 0x7E0010)
      .Branch(0x9003, 0xD0, 0xFB, 0x9000)
      .Lda(0x9000, 0x7E0010)
      .Branch(0x9003, 0xD0, 0xFB, 0x9000)
      .Rts(0x9005)
      .Jmp(0x8003, 0x8010)
      .Nop(0x8010)
      .Nop(0x8011);
  return log.Text();
}

// Everything a failed load must leave alone, as text: the tree with each line's target,
// label and scope, the indexes, the flags, every scope with its keys and mappings, and
// every label with its number of referring lines.
std::string State(const TProject& p) {
  std::string s;
  p.Tree().ForEach([&](TTreeItem* it) {
    const TTraceFileLine* l = it->Line();
    s += std::to_string(it->Level()) + " " + l->DisplayText();
    if (l->TargetNode()) s += " ->" + std::to_string(l->TargetNode()->Offset());
    if (l->OffsetLabel()) s += " @" + l->OffsetLabel()->MappingName();
    if (l->Scope()) s += " in " + l->Scope()->ScopeName();
    s += "\n";
  });
  auto scopes = [&s](const char* what, const TScopeManager& manager) {
    for (const auto& scope : manager.Scopes()) {
      s += std::string(what) + " " + scope->ScopeName() + ":";
      scope->ScopedOffsets().ForEach(
          [&](const TScopedOffsets::Entry& e) { s += " " + e.Key + (e.Line ? "*" : ""); });
      for (const auto& m : scope->Mappings())
        s += " " + m->Text() + "(" + std::to_string(m->Referrers().size()) + ")";
      s += "\n";
    }
  };
  scopes("scope", *p.ScopeManager());
  scopes("labels", *p.LabelManager());
  s += "index " + std::to_string(const_cast<TProject&>(p).OffsetIndex().Count()) + " pending " +
       std::to_string(const_cast<TProject&>(p).PendingTargets().Count()) + " targets " +
       std::to_string(const_cast<TProject&>(p).TargetIndex().Count()) + " loaded " +
       std::to_string(p.LogLoaded) + " saved " + std::to_string(p.LogSaved) + "\n";
  return s;
}

class BadInputTest : public ::testing::Test {
 protected:
  std::unique_ptr<TSNESProject> Converted(const std::string& log, int type = 1) {
    return test::ConvertedProject(ui_, log, type);
  }
  // A project with a converted log, a map file with two scopes and a label file loaded,
  // as it is after "New" or "Open Project".
  std::unique_ptr<TSNESProject> Loaded() {
    test::WriteFile(Path("good.tfm"),
                    std::string(kDeclaration) +
                        "<mapfile><scope name=\"Global\"><scopedoffsets/><mappings>"
                        "<map context=\"Counter\">$7E0010</map></mappings></scope>"
                        "<scope name=\"Loop\"><scopedoffsets><offset>36864</offset>"
                        "<offset>36867</offset><offset>4096_cc</offset></scopedoffsets>"
                        "<mappings><map context=\"LoopCounter\">$7E0010</map></mappings>"
                        "</scope></mapfile>\n");
    test::WriteFile(Path("good.tlm"),
                    std::string(kDeclaration) +
                        "<mapfile><scope name=\"Global\"><scopedoffsets/><mappings>"
                        "<map context=\"Loop\">$9000</map><map context=\"Far\">$8010</map>"
                        "</mappings></scope></mapfile>\n");
    auto p = CreateProject(1, ui_, "");
    p->TraceLogDialog.FileName = Write("small.log", SmallLog());
    p->ScopeManager()->FileDialog().FileName = Path("good.tfm");
    p->LabelManager()->FileDialog().FileName = Path("good.tlm");
    StartNewProject(*p);
    // Saved and opened again, so that the lines find their labels as well.
    p->TraceDataDialog.FileName = Path("good.tfd");
    p->ProjectFileName = Path("good.tfp");
    EXPECT_TRUE(p->Save());
    return OpenProject(Path("good.tfp"), ui_, "");
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& content) {
    test::WriteFile(Path(name), content);
    return Path(name);
  }
  static void LoadMap(TSNESProject& p, const std::string& file) {
    p.ScopeManager()->LoadFromFile(p, file);
  }
  static void LoadLabels(TSNESProject& p, const std::string& file) {
    p.LabelManager()->LoadFromFile(p, file);
  }
  static void LoadTrace(TSNESProject& p, const std::string& file) {
    p.TraceDataDialog.FileName = file;
    p.LoadTraceData();
  }

  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

// The loaded fixture is what the other tests take for granted.
TEST_F(BadInputTest, TheLoadedProjectHoldsTreeScopesAndLabels) {
  auto p = Loaded();
  std::string state = State(*p);
  EXPECT_NE(state.find("@Loop in Loop"), std::string::npos) << state;
  EXPECT_NE(state.find("scope Loop: 36864* 36867* 4096_cc LoopCounter=$7E0010"), std::string::npos)
      << state;
  EXPECT_NE(state.find("labels Global: Loop=$9000(3) Far=$8010(2)"), std::string::npos) << state;
  EXPECT_TRUE(ui_.Messages.empty());
}

// --- logs -------------------------------------------------------------------------------

TEST_F(BadInputTest, EmptyAndCommentOnlyLogsGiveNoInstructionLines) {
  for (int type : {1, 2}) {
    for (const char* log : {"", "\n", "\r\n\r\n\n", "// only a comment\n// and another",
                            "--- frame 1 ---\n{\n}\n[\n]\n", "no dollar here\nnor here\n",
                            "$00/8000  EA           NOP"}) {
      SCOPED_TRACE(std::to_string(type) + ": " + log);
      auto p = Converted(log, type);
      EXPECT_EQ(p->OffsetIndex().Count(), 0u);
      p->Tree().ForEach([](TTreeItem* it) { EXPECT_TRUE(it->Line()->IsComment()); });
    }
    // The same through a file, as "New" reads it.
    SCOPED_TRACE(type);
    auto p = CreateProject(type, ui_, "");
    p->TraceLogDialog.FileName = Write("empty.log", "");
    p->ScopeManager()->FileDialog().FileName = Path("none.tfm");
    EXPECT_NO_THROW(StartNewProject(*p));
    EXPECT_TRUE(p->Tree().Empty());
  }
  EXPECT_TRUE(ui_.Messages.empty());
}

// A tree converted from any bytes writes a trace data file that reads back whole.
void ExpectRoundTrip(TProject& p, int type, TUserInterface& ui, const std::string& file) {
  p.WriteTraceData(file);
  auto copy = CreateProject(type, ui, "");
  copy->TraceDataDialog.FileName = file;
  ASSERT_NO_THROW(copy->LoadTraceData());
  EXPECT_EQ(copy->Tree().Count(), p.Tree().Count());
}

TEST_F(BadInputTest, BinaryLogsConvertLineByLine) {
  std::mt19937 random(20261209);
  for (int type : {1, 2}) {
    for (size_t size : {1u, 7u, 300u, 5000u, 60000u}) {
      SCOPED_TRACE(std::to_string(type) + ": " + std::to_string(size) + " bytes");
      std::string bytes(size, '\0');
      for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
      // Every fourth run also starts lines like instructions, so that cutting gets far.
      if (size % 4 == 0)
        for (size_t i = 0; i + 9 < bytes.size(); i += 60) bytes.replace(i, 9, "\n$00/8000");
      auto p = Converted(bytes, type);
      for (const TTraceFileLine* l : p->OffsetIndex().InOrder()) {
        if (l->IsComment()) continue;
        EXPECT_GE(l->Offset(), 0);
        EXPECT_LE(l->Offset(), 0xFFFFFF);
      }
      ExpectRoundTrip(*p, type, ui_, Path("binary.tfd"));
    }
  }
}

TEST_F(BadInputTest, NulBytesInALogStayInTheirLine) {
  using namespace std::string_literals;
  for (auto dialect : {TLogBuilder::Dialect::First, TLogBuilder::Dialect::Debugger}) {
    int type = dialect == TLogBuilder::Dialect::First ? 1 : 2;
    TLogBuilder log(dialect);
    log.Nop(0x8000).Raw("\0\0\0"s).Raw("// a\0comment"s).Nop(0x8001);
    std::string text = log.Text();
    std::string broken = text.substr(0, 20) + '\0' + text.substr(20);  // inside the first line
    for (const std::string& t : {text, broken, "\0"s, "$\0"s + text}) {
      auto p = Converted(t, type);
      ExpectRoundTrip(*p, type, ui_, Path("nul.tfd"));
    }
    auto p = Converted(text, type);
    ASSERT_NE(p->FindInIndex(0x8001), nullptr);
    EXPECT_EQ(p->Tree().Count(), 3u);  // the NUL line is a comment item, the comment is taken
  }
}

// A file of 100 MB without a line end is one line: no tree. Behind an instruction line it
// is converted into a comment line (or nothing), never a crash.
TEST_F(BadInputTest, AHundredMegabyteLineWithoutALineEnd) {
  const size_t size = 100u * 1000 * 1000;
  std::string big = "$QQ/QQQQ ";
  big.resize(size, 'Q');
  const std::string file = Path("big.log");
  {
    std::ofstream out(file, std::ios::binary);
    out.write(big.data(), static_cast<std::streamsize>(big.size()));
  }
  ASSERT_EQ(std::filesystem::file_size(file), size);
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    auto p = CreateProject(type, ui_, "");
    p->ScopeManager()->GetScope("Global", true);
    p->TraceLogDialog.FileName = file;
    ASSERT_NO_THROW(p->ImportLog());
    EXPECT_TRUE(p->Tree().Empty());
  }
  TLogBuilder first;
  first.Nop(0x8000);
  {
    std::ofstream out(file, std::ios::binary);
    out << first.Text() << big;
  }
  big = std::string();
  auto p = CreateProject(1, ui_, "");
  p->ScopeManager()->GetScope("Global", true);
  p->TraceLogDialog.FileName = file;
  ASSERT_NO_THROW(p->ImportLog());
  ASSERT_NE(p->FindInIndex(0x8000), nullptr);
  EXPECT_LE(p->Tree().Count(), 2u);
  p->Tree().ForEach([](TTreeItem* it) {
    const TTraceFileLine* l = it->Line();
    if (l->Offset() != 0x8000) {
      EXPECT_TRUE(l->IsComment());
    }
  });
}

// --- files that are not well-formed -----------------------------------------------------

// Every prefix of a good file that stops before the end of its root element is refused with
// a message naming the file, and changes nothing.
TEST_F(BadInputTest, CutOffFilesLeaveALoadedProjectAsItWas) {
  auto p = Loaded();
  p->ScopeManager()->SaveToFile(Path("saved.tfm"));
  p->LabelManager()->SaveToFile(Path("saved.tlm"));
  p->WriteTraceData(Path("saved.tfd"));
  p->LogSaved = false;  // as after an edit: a failed load must not touch the flag either
  const std::string before = State(*p);

  struct TCase {
    std::string saved, rootEnd;
    void (*load)(TSNESProject&, const std::string&);
    size_t step;  // every prefix of the small files, every few of the larger one
  };
  for (const TCase& c : {TCase{"saved.tfm", "</mapfile>", LoadMap, 1},
                         TCase{"saved.tlm", "</mapfile>", LoadLabels, 1},
                         TCase{"saved.tfd", "</tracedata>", LoadTrace, 5}}) {
    const std::string whole = test::ReadFile(Path(c.saved));
    const size_t end = whole.rfind(c.rootEnd);
    ASSERT_NE(end, std::string::npos) << c.saved;
    for (size_t k = 0; k < end + c.rootEnd.size(); k += (k + 40 > end ? 1 : c.step)) {
      // A new file each time: overwriting one makes the file system flush it on close.
      const std::string file = Write(std::to_string(k) + "-" + c.saved, whole.substr(0, k));
      try {
        c.load(*p, file);
        ADD_FAILURE() << c.saved << " cut at " << k << " was read";
      } catch (const EOrvanelError& e) {
        ASSERT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      }
      ASSERT_EQ(State(*p), before) << c.saved << " cut at " << k;
    }
  }
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(BadInputTest, BrokenFilesOfEveryKindLeaveALoadedProjectAsItWas) {
  using namespace std::string_literals;
  auto p = Loaded();
  const std::string before = State(*p);
  std::mt19937 random(7);
  std::string binary(4096, '\0');
  for (char& c : binary) c = static_cast<char>(random() & 0xFF);
  const std::vector<std::string> documents = {
      "",
      binary,
      "<mapfile><scope name=\"S\">\0</scope></mapfile>"s,     // NUL byte
      "<tracedata><traceline offset=\"1\0\"/></tracedata>"s,  // NUL in an attribute
      "<mapfile>\xFF\xFE<scope/></mapfile>",                  // no UTF-8
      "\xFF\xFE<\0m\0a\0p\0"s,                                // cut UTF-16
      "<mapfile></mapfile><mapfile></mapfile>",               // two roots
      "<mapfile><scope name=\"a\" name=\"b\"/></mapfile>",    // a doubled attribute
      "<mapfile><!-- never closed </mapfile>",
      "<tracedata><traceline offset=\"1\"></tracedata>",  // wrong end tag
      "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><mapfile/>",
      "<mapfile><scope name=\"&undeclared;\"/></mapfile>",
      "<mapfile><scope name=\"<\"/></mapfile>",
  };
  for (const std::string& doc : documents) {
    const std::string file = Write("broken.xml", doc);
    for (auto load : {LoadMap, LoadLabels, LoadTrace}) {
      try {
        load(*p, file);
        ADD_FAILURE() << "read: " << doc;
      } catch (const EOrvanelError& e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      }
      ASSERT_EQ(State(*p), before) << doc;
    }
  }
  // A folder and a missing file are refused in the same way.
  for (const std::string& file : {dir_, Path("missing.xml")})
    for (auto load : {LoadMap, LoadLabels, LoadTrace}) {
      EXPECT_THROW(load(*p, file), EOrvanelError) << file;
      ASSERT_EQ(State(*p), before);
    }
  EXPECT_TRUE(ui_.Messages.empty());
}

// No document type declaration is read, so no entity is ever expanded, no external file or
// DTD is loaded: every reader refuses such a document by name.
TEST_F(BadInputTest, EntityDeclarationsAreRefusedByEveryReader) {
  std::string laughs = "<!DOCTYPE r [<!ENTITY a0 \"ha\">";
  for (int i = 1; i < 10; ++i) {
    std::string prev = "&a" + std::to_string(i - 1) + ";";
    std::string ten;
    for (int j = 0; j < 10; ++j) ten += prev;
    laughs += "<!ENTITY a" + std::to_string(i) + " \"" + ten + "\">";
  }
  laughs += "]>";
  const std::vector<std::string> doctypes = {
      laughs,
      "<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>",
      "<!DOCTYPE r SYSTEM \"file:///etc/passwd\">",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]>",
      "<!DOCTYPE r PUBLIC \"-//X//Y\" \"http://127.0.0.1:9/r.dtd\">",
  };
  auto p = Loaded();
  const std::string before = State(*p);
  for (const std::string& doctype : doctypes) {
    SCOPED_TRACE(doctype.substr(0, 40));
    auto expectRefused = [&](auto&& load) {
      try {
        load();
        ADD_FAILURE() << "read";
      } catch (const EXmlError& e) {
        EXPECT_NE(std::string(e.what()).find("DOCTYPE"), std::string::npos) << e.what();
      }
    };
    const std::string map = Write("entity.tfm", kDeclaration + doctype +
                                                    "<mapfile><scope name=\"&a9;&e;\"><mappings>"
                                                    "<map context=\"&a9;\">1</map></mappings>"
                                                    "</scope></mapfile>");
    expectRefused([&] { LoadMap(*p, map); });
    expectRefused([&] { LoadLabels(*p, map); });
    const std::string trace =
        Write("entity.tfd", kDeclaration + doctype +
                                "<tracedata><traceline linetext=\"&a9;&e;\" textcolor=\"0\" "
                                "isComment=\"TRUE\" offset=\"0\"/></tracedata>");
    expectRefused([&] { LoadTrace(*p, trace); });
    ASSERT_EQ(State(*p), before);

    const std::string project =
        Write("entity.tfp", kDeclaration + doctype +
                                "<project name=\"&a9;\" projecttype=\"1\"><tracefile>&e;"
                                "</tracefile></project>");
    expectRefused([&] { OpenProject(project, ui_, ""); });
    Write("Mappings.xml",
          kDeclaration + doctype + "<r><reg002140 name=\"&e;\">&a9;</reg002140></r>");
    expectRefused([&] { p->LoadRegisterFile(dir_ + "/"); });
  }
  EXPECT_TRUE(ui_.Messages.empty());
}

// Documents nested far deeper than any of these files ever is: read or refused, no crash.
TEST_F(BadInputTest, DeeplyNestedDocumentsAreReadOrRefused) {
  std::string open, close;
  for (int i = 0; i < 100000; ++i) {
    open += "<a>";
    close += "</a>";
  }
  auto p = Loaded();
  const std::string before = State(*p);
  for (auto load : {LoadMap, LoadLabels}) {
    const std::string file =
        Write("deep.tfm", "<mapfile><scope name=\"Deep\">" + open + close + "</scope></mapfile>");
    try {
      load(*p, file);
    } catch (const EOrvanelError& e) {
      EXPECT_EQ(State(*p), before) << e.what();
    }
  }
  const std::string project = Write("deep.tfp", "<project projecttype=\"1\"><bookmarks>" + open +
                                                    close + "</bookmarks></project>");
  try {
    OpenProject(project, ui_, "");
  } catch (const EOrvanelError&) {
  }
}

// --- numbers that are none ------------------------------------------------------------------

// A traceline whose numeric attribute is no number (or too large for any integer) is one
// bad line: it is reported and skipped with the rest of its level, the levels above go on.
TEST_F(BadInputTest, TraceLinesWithAttributesThatAreNoNumbers) {
  using TAttributes = std::vector<std::pair<std::string, std::string>>;
  auto element = [](const std::string& text, int64_t offset, const TAttributes& changes) {
    TAttributes attributes = {{"linetext", text},     {"textcolor", "0"},
                              {"isComment", "FALSE"}, {"offset", std::to_string(offset)},
                              {"opcodeval", "234"},   {"opcodelen", "1"},
                              {"opcodelabel", "NOP"}, {"targetoffset", "-1"},
                              {"operand", "-1"}};
    for (const auto& change : changes) {
      auto it = std::find_if(attributes.begin(), attributes.end(),
                             [&](const auto& a) { return a.first == change.first; });
      if (it == attributes.end())
        attributes.push_back(change);
      else
        it->second = change.second;
    }
    std::string e = "<traceline";
    for (const auto& [name, value] : attributes) e += " " + name + "=\"" + value + "\"";
    return e + "/>";
  };
  const TAttributes bad = {
      {"offset", "abc"},
      {"offset", ""},
      {"offset", "99999999999999999999"},
      {"offset", "1.5"},
      {"textcolor", "1e3"},
      {"textcolor", "-99999999999999999999"},
      {"opcodeval", "$"},
      {"opcodelen", "-"},
      {"targetoffset", "$ZZ"},
      {"targetoffset", "9223372036854775808"},
      {"A", "nope"},
      {"HC", "$FFFFFFFFFFFFFFFFFFFF"},
  };
  for (const auto& change : bad) {
    SCOPED_TRACE(change.first + "=" + change.second);
    const std::string file =
        Write("numbers.tfd", std::string(kDeclaration) + "<tracedata>" + element("good", 100, {}) +
                                 element("bad", 200, {change}) + element("after", 300, {}) +
                                 "</tracedata>");
    ui_.Messages.clear();
    auto p = Converted("", 1);
    ASSERT_NO_THROW(LoadTrace(*p, file));
    EXPECT_NE(p->FindInIndex(100), nullptr);
    EXPECT_EQ(p->FindInIndex(200), nullptr);
    EXPECT_EQ(p->FindInIndex(300), nullptr);  // the rest of the level is skipped
    ASSERT_EQ(ui_.Messages.size(), 2u);
    EXPECT_EQ(ui_.Messages[0].rfind("\"" + file + "\", line 2: attribute " + change.first, 0), 0u)
        << ui_.Messages[0];
    EXPECT_NE(ui_.Messages[0].find("(the line \"bad\")"), std::string::npos) << ui_.Messages[0];
    EXPECT_TRUE(p->ReadWithErrors());
  }
}

TEST_F(BadInputTest, MapAndLabelTextsThatAreNoNumbers) {
  for (const char* text :
       {"99999999999999999999", "$", "-", "$FFFFFFFFFFFFFFFFFF", "1e5", "12ab", " "}) {
    SCOPED_TRACE(text);
    auto p = Loaded();
    const std::string before = State(*p);
    const std::string file =
        Write("numbers.tfm", std::string(kDeclaration) +
                                 "<mapfile><scope name=\"Global\"><mappings><map context=\"N\">" +
                                 text + "</map></mappings></scope></mapfile>");
    for (auto load : {LoadMap, LoadLabels}) {
      try {
        load(*p, file);
        ADD_FAILURE() << "read";
      } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "\"" + file + "\", line 2: " + InvalidIntegerMessage(text));
      }
      EXPECT_EQ(State(*p), before);
    }
  }
  // Line keys that are no number (or too large) are kept as they stand, without a line.
  auto p = Loaded();
  const std::string file = Write(
      "keys.tfm", std::string(kDeclaration) +
                      "<mapfile><scope name=\"Keys\"><scopedoffsets><offset>99999999999999999999"
                      "</offset><offset>$FFFFFFFFFFFFFFFFFFFF</offset><offset>36864x</offset>"
                      "<offset></offset></scopedoffsets></scope></mapfile>");
  ASSERT_NO_THROW(LoadMap(*p, file));
  const TScopeNode* keys = p->ScopeManager()->FindScopeByName("Keys");
  ASSERT_NE(keys, nullptr);
  std::vector<std::string> listed;
  keys->ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) {
    EXPECT_EQ(e.Line, nullptr);
    listed.push_back(e.Key);
  });
  EXPECT_EQ(listed, (std::vector<std::string>{"99999999999999999999", "$FFFFFFFFFFFFFFFFFFFF",
                                              "36864x", ""}));
}

TEST_F(BadInputTest, ProjectFilesWithBadTypesOrNumbersOpenNoProject) {
  auto project = [&](const std::string& type, const std::string& body = "") {
    return Write("bad.tfp", std::string(kDeclaration) + "<project name=\"P\"" + type + ">" + body +
                                "</project>");
  };
  for (const char* type :
       {"", " projecttype=\"\"", " projecttype=\"abc\"", " projecttype=\"1.5\"",
        " projecttype=\"0\"", " projecttype=\"3\"", " projecttype=\"-1\"", " projecttype=\"257\"",
        " projecttype=\"4294967297\"", " projecttype=\"99999999999999999999\""}) {
    SCOPED_TRACE(type);
    try {
      auto opened = OpenProject(project(type), ui_, "");
      ADD_FAILURE() << "opened";
    } catch (const EOrvanelError& e) {
      EXPECT_NE(std::string(e.what()), "");
    }
  }
  // A bookmark whose offset is no number, and named files that cannot be read.
  test::WriteFile(Path("binary.tfm"), "\x01\x02\x03");
  for (const std::string& body :
       {std::string("<bookmarks><bookmark offset=\"zz\">B</bookmark></bookmarks>"),
        "<mapfile>" + Path("binary.tfm") + "</mapfile>",
        "<tracefile>" + Path("binary.tfm") + "</tracefile>", "<tracefile>" + dir_ + "</tracefile>",
        "<codecachefile>" + Path("binary.tfm") + "</codecachefile>"}) {
    SCOPED_TRACE(body);
    std::unique_ptr<TSNESProject> opened;
    EXPECT_THROW(opened = OpenProject(project(" projecttype=\"1\"", body), ui_, ""), EOrvanelError);
    EXPECT_EQ(opened, nullptr);
  }
  EXPECT_TRUE(ui_.Messages.empty());
  // A missing code cache file costs only the code cache, with one message naming it.
  auto opened = OpenProject(
      project(" projecttype=\"1\"", "<codecachefile>" + Path("missing.tcc") + "</codecachefile>"),
      ui_, "");
  ASSERT_NE(opened, nullptr);
  EXPECT_TRUE(opened->CodeCache()->Tree().Empty());
  ASSERT_EQ(ui_.Messages.size(), 1u);
  EXPECT_NE(ui_.Messages[0].find(Path("missing.tcc")), std::string::npos) << ui_.Messages[0];
}

// A register file that cannot be read is refused with its name, and the register names of a
// file read before stay in use.
TEST_F(BadInputTest, ABrokenRegisterFileKeepsTheRegistersReadBefore) {
  const std::string folder = dir_ + "/";
  Write("Mappings.xml",
        std::string(kDeclaration) + "<r><reg002140 name=\"APUIO0\">APU port 0</reg002140></r>");
  auto p = CreateProject(1, ui_, folder);
  for (const std::string& broken :
       {std::string(""), std::string("\x01\x02 binary"), std::string("<r><reg002140 name=\"x\">"),
        std::string("<r><reg002140 name=\"x\"/></r><r/>")}) {
    Write("Mappings.xml", broken);
    try {
      p->LoadRegisterFile(folder);
      ADD_FAILURE() << "read: " << broken;
    } catch (const EOrvanelError& e) {
      EXPECT_NE(std::string(e.what()).find("Mappings.xml"), std::string::npos) << e.what();
    }
  }
  TLogBuilder log;
  log.Lda(0x8000, 0x002140).Nop(0x8003);
  p->ScopeManager()->GetScope("Global", true);
  p->LogLines() = TLogLines::FromBytes(log.Text());
  p->ImportLog();
  ASSERT_NE(p->FindInIndex(0x8000), nullptr);
  EXPECT_EQ(p->FindInIndex(0x8000)->RegisterName(), "APUIO0");
}

// --- findings of the fuzz targets -------------------------------------------------------

// Lines pointing at themselves, as the label manager sees them: never a freed record.
void ExpectReferrersAreLive(const TProject& project) {
  std::set<const TTraceFileLine*> live;
  for (const auto& line : const_cast<TProject&>(project).Store().Lines()) live.insert(line.get());
  if (const TSNESCodeCache* cache = project.CodeCache())
    for (const auto& line : const_cast<TSNESCodeCache*>(cache)->Store().Lines())
      live.insert(line.get());
  for (const auto* manager : {static_cast<const TScopeManager*>(project.ScopeManager()),
                              static_cast<const TScopeManager*>(project.LabelManager())})
    for (const auto& scope : manager->Scopes())
      for (const auto& mapping : scope->Mappings())
        for (const TReferrer& r : mapping->Referrers())
          EXPECT_TRUE(live.count(r.Line)) << mapping->Text() << " keeps a line that is gone";
}

// An address executed twice is in a trace data file twice; the second element's record is
// dropped for the first one, and the labels it found on its way must let go of it.
TEST_F(BadInputTest, ARepeatedAddressInATraceDataFileLeavesNoLabelWithAFreedLine) {
  auto p = Loaded();
  p->WriteTraceData(Path("loop.tfd"));
  p->LabelManager()->SaveToFile(Path("loop.tlm"));
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    auto copy = CreateProject(type, ui_, "");
    copy->ScopeManager()->GetScope("Global", true);
    LoadLabels(*copy, Path("loop.tlm"));
    if (type == 2) {
      copy->CodeCache()->TraceDataDialog.FileName = Path("loop.tfd");
      copy->CodeCache()->LoadTraceData();
    }
    LoadTrace(*copy, Path("loop.tfd"));
    ExpectReferrersAreLive(*copy);
    // The label at the loop's start is named by the line there and by the branch to it.
    EXPECT_EQ(copy->LabelManager()->FindLabel(0x9000)->Referrers().size(), type == 1 ? 3u : 6u);
  }
}

}  // namespace
}  // namespace orvanel
