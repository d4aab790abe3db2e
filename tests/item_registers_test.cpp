// Each tree item carries the registers of its own execution: from the conversion, through the
// trace data file and the code cache, and through moves and pastes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ConvertedProject.h"
#include "FakeUserInterface.h"
#include "LogBuilder.h"
#include "TestData.h"
#include "base/Errors.h"
#include "editing/Clipboard.h"
#include "project/ProjectSession.h"
#include "records/DebuggerTraceLine.h"
#include "records/ItemRegisters.h"
#include "records/Scope.h"

namespace orvanel {
namespace {

using test::TFakeUserInterface;
using test::TLogBuilder;

struct TTrace {
  const char* Name;
  int Type;  // 1: first dialect, 2: debugger dialect
};
constexpr TTrace kTraces[] = {
    {"pvsneslib-hello_world-snes9x.log", 1},
    {"pvsneslib-hello_world-snes9x-nocomments.log", 1},
    {"undisbeliever-wrmpyb-in-flight-snes9x.log", 1},
    {"pvsneslib-hello_world-debugger.log", 2},
    {"undisbeliever-wrmpyb-in-flight-debugger.log", 2},
    {"undisbeliever-wrmpyb-in-flight-debugger-nocomments.log", 2},
};

// The registers of every instruction line of a log, each line cut on its own, in log order.
std::vector<TItemRegisters> RegistersOfLog(const std::string& text, int type) {
  TSimpleLineOwner owner;
  TLogLines log = TLogLines::FromBytes(text);
  std::vector<TItemRegisters> result;
  for (size_t i = 0; i < log.Count(); ++i) {
    std::unique_ptr<TTraceFileLine> line;
    if (type == 1)
      line = TSNESTraceFileLine::FromText(owner, log[i], false, nullptr);
    else
      line = TDravikSNESTraceFileLine::FromText(owner, log[i], false, nullptr);
    if (!line->IsComment()) result.push_back(*line->RecordedRegisters());
  }
  return result;
}

// The items of instruction lines, in display order (which is the order of the log).
std::vector<const TTreeItem*> InstructionItems(const TCodeTree& tree) {
  std::vector<const TTreeItem*> items;
  tree.ForEach([&](TTreeItem* it) {
    if (!it->Line()->IsComment()) items.push_back(it);
  });
  return items;
}

std::vector<const TTreeItem*> AllItems(const TCodeTree& tree) {
  std::vector<const TTreeItem*> items;
  tree.ForEach([&](TTreeItem* it) { items.push_back(it); });
  return items;
}

std::string Describe(const TItemRegisters& r) {
  const TStatusTexts t = StatusTexts(r);
  return t.A + " " + t.X + " " + t.Y + " " + t.D + " " + t.DB + " " + t.S + " " + t.PS + " " +
         t.HC + " " + t.VC;
}

// Two trees of the same shape carry the same registers item for item, and comment items none.
void ExpectSameRegisters(const TCodeTree& expected, const TCodeTree& actual) {
  auto a = AllItems(expected), b = AllItems(actual);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i]->Line()->Offset(), b[i]->Line()->Offset()) << "item " << i;
    const TItemRegisters *ra = a[i]->Registers(), *rb = b[i]->Registers();
    ASSERT_EQ(ra == nullptr, rb == nullptr) << "item " << i;
    if (ra) {
      ASSERT_EQ(Describe(*rb), Describe(*ra)) << "item " << i;
    }
  }
}

class ItemRegistersTest : public ::testing::Test {
 protected:
  std::unique_ptr<TSNESProject> Read(const std::string& file, int type) {
    auto p = CreateProject(type, ui_, "");
    p->ScopeManager()->GetScope("Global", true);
    p->TraceDataDialog.FileName = file;
    p->LoadTraceData();
    return p;
  }
  std::string Path(const std::string& name) { return dir_ + "/" + name; }

  TFakeUserInterface ui_;
  std::string dir_ = test::ScratchDir();
};

TEST_F(ItemRegistersTest, EveryItemOfARealTraceCarriesTheRegistersOfItsOwnLogLine) {
  for (const TTrace& trace : kTraces) {
    SCOPED_TRACE(trace.Name);
    const std::string text = test::ReadFile(test::TracePath(trace.Name));
    auto project = test::ConvertedProject(ui_, text, trace.Type);
    const std::vector<TItemRegisters> expected = RegistersOfLog(text, trace.Type);
    const std::vector<const TTreeItem*> items = InstructionItems(project->Tree());
    ASSERT_EQ(items.size(), expected.size());
    size_t ownValues = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      const TItemRegisters* r = items[i]->Registers();
      ASSERT_NE(r, nullptr) << "item " << i;
      ASSERT_EQ(Describe(*r), Describe(expected[i])) << "item " << i;
      if (*r != *items[i]->Line()->RecordedRegisters()) ++ownValues;
    }
    // Many executions differ from their address's first one (a fifth even in the debugger
    // dialect's wait loops, which record no counters).
    EXPECT_GT(ownValues, items.size() / 5);
    // Comment items (frame markers, Upsteps) carry none.
    project->Tree().ForEach([](TTreeItem* it) {
      if (it->Line()->IsComment()) {
        EXPECT_EQ(it->Registers(), nullptr);
      }
    });
  }
}

TEST_F(ItemRegistersTest, TheRecordKeepsTheFirstExecutionsRegisters) {
  std::vector<std::string> lines = TLogBuilder().Nop(0x8000).Nop(0x8000).Nop(0x8000).Lines();
  lines[1].replace(lines[1].find("A:0000"), 6, "A:1234");
  lines[2].replace(lines[2].find("A:0000"), 6, "A:ABCD");
  std::string log;
  for (const std::string& l : lines) log += l + "\n";
  auto p = test::ConvertedProject(ui_, log);
  const auto& top = p->Tree().TopLevel();
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0]->Registers()->A, 0x0000);
  EXPECT_EQ(top[1]->Registers()->A, 0x1234);
  EXPECT_EQ(top[2]->Registers()->A, 0xABCD);
  auto* record = static_cast<TSNESTraceFileLine*>(p->FindInIndex(0x8000));
  EXPECT_EQ(record->RegA, 0x0000);
  EXPECT_EQ(record->HCounter, 1234);

  // The file carries each item's registers; every other attribute is the record's.
  p->WriteTraceData(Path("three.tfd"));
  const std::string file = test::ReadFile(Path("three.tfd"));
  EXPECT_NE(file.find(" A=\"4660\""), std::string::npos);
  EXPECT_NE(file.find(" A=\"43981\""), std::string::npos);
  size_t from = 0, lineTexts = 0;
  while ((from = file.find("linetext=\"" + lines[0] + "\"", from)) != std::string::npos) {
    ++lineTexts;
    ++from;
  }
  EXPECT_EQ(lineTexts, 3u);
}

TEST_F(ItemRegistersTest, ATraceDataFileKeepsEveryItemsRegisters) {
  for (const TTrace& trace : kTraces) {
    SCOPED_TRACE(trace.Name);
    auto original =
        test::ConvertedProject(ui_, test::ReadFile(test::TracePath(trace.Name)), trace.Type);
    original->WriteTraceData(Path("r.tfd"));
    auto copy = Read(Path("r.tfd"), trace.Type);
    ExpectSameRegisters(original->Tree(), copy->Tree());
    // Written again, the file is the same.
    copy->WriteTraceData(Path("r2.tfd"));
    EXPECT_EQ(test::ReadFile(Path("r2.tfd")), test::ReadFile(Path("r.tfd")));
  }
  EXPECT_TRUE(ui_.Messages.empty());
}

// A file written before items kept registers of their own holds the record's values in every
// element; an element without register attributes takes the record's.
TEST_F(ItemRegistersTest, ElementsWithoutOwnRegistersShowTheRecords) {
  const std::string element =
      "<traceline linetext=\"x\" textcolor=\"0\" comment=\"\" isComment=\"FALSE\" "
      "offset=\"32768\" opcodeval=\"234\" opcodelen=\"1\" opcodelabel=\"NOP\" "
      "targetoffset=\"-1\" operand=\"-1\"";
  test::WriteFile(Path("old.tfd"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tracedata>" + element +
                      " A=\"1\" X=\"2\" Y=\"3\" S=\"4\" D=\"5\" DB=\"6\" PS=\"envMXdIzc\" HC=\"7\" "
                      "VC=\"8\" indexed=\"FALSE\"/>" +
                      element + " indexed=\"FALSE\"/>" + element +
                      " A=\"9\" HC=\"\" PS=\"ENVmxDiZC\"/></tracedata>");
  auto p = Read(Path("old.tfd"), 1);
  ASSERT_EQ(p->Tree().TopLevel().size(), 3u);
  const TItemRegisters& first = *p->Tree().TopLevel()[0]->Registers();
  EXPECT_EQ(Describe(first),
            "A : $0001 X : $0002 Y : $0003 D : $0005 DB : $06 S : $0004 PS : envMXdIzc HC : 7 "
            "VC : 8");
  EXPECT_EQ(*p->Tree().TopLevel()[1]->Registers(), first);
  TItemRegisters third = first;
  third.A = 9;
  third.SetPText("ENVmxDiZC");
  EXPECT_EQ(*p->Tree().TopLevel()[2]->Registers(), third);
  EXPECT_EQ(p->Store().Count(), 1u);
  EXPECT_TRUE(ui_.Messages.empty());
}

// A later element of an offset is still checked as its record would be: a bad number is a
// message and the rest of its level is skipped.
TEST_F(ItemRegistersTest, ABadElementOfAnOffsetReadBeforeIsReported) {
  auto element = [](const std::string& opcodeLen, const std::string& target, const std::string& a) {
    return "<traceline linetext=\"nop\" textcolor=\"0\" isComment=\"FALSE\" offset=\"32768\" "
           "opcodeval=\"234\" opcodelen=\"" +
           opcodeLen + "\" opcodelabel=\"NOP\" targetoffset=\"" + target +
           "\" operand=\"-1\" A=\"" + a + "\"/>";
  };
  const std::string good = element("1", "-1", "1");
  for (const std::string& bad :
       {element("1", "-1", "zz"), element("?", "-1", "1"), element("1", "x", "1")}) {
    test::WriteFile(Path("bad.tfd"), "<tracedata>" + good + bad + good + "</tracedata>");
    ui_.Messages.clear();
    auto p = Read(Path("bad.tfd"), 1);
    EXPECT_EQ(p->Tree().TopLevel().size(), 1u) << bad;
    ASSERT_EQ(ui_.Messages.size(), 2u) << bad;
    EXPECT_NE(ui_.Messages[0].find("(the line \"nop\")"), std::string::npos) << ui_.Messages[0];
  }
}

// The file is read once: a fault found at its end takes back the items, records and messages
// of everything read before it.
TEST_F(ItemRegistersTest, AFileBrokenAtItsEndLeavesNoItemRecordOrMessage) {
  auto p = test::ConvertedProject(ui_, test::ReadFile(test::TracePath(kTraces[0].Name)), 1);
  p->WriteTraceData(Path("whole.tfd"));
  std::string text = test::ReadFile(Path("whole.tfd"));
  // An element with a bad number (a message, its level skipped) and no end of the root.
  text.insert(text.find("<traceline"),
              "<traceline linetext=\"bad\" textcolor=\"x\" offset=\"1\"/>");
  text.erase(text.rfind("</tracedata>"));
  test::WriteFile(Path("broken.tfd"), text);
  const size_t items = p->Tree().Count(), records = p->Store().Count(),
               indexed = p->OffsetIndex().Count();
  ui_.Messages.clear();
  p->TraceDataDialog.FileName = Path("broken.tfd");
  EXPECT_THROW(p->LoadTraceData(), EXmlError);
  EXPECT_EQ(p->Tree().Count(), items);
  EXPECT_EQ(p->Store().Count(), records);
  EXPECT_EQ(p->OffsetIndex().Count(), indexed);
  EXPECT_TRUE(ui_.Messages.empty());
  p->Tree().ForEach([](TTreeItem* it) { EXPECT_GT(it->Line()->itemCount_, 0u); });
}

// An error while an item is placed (here a mapping address that is no number, met when the
// line's scope looks up its target) drops that item and the siblings after it, with their
// subtrees; the rest of the tree is read.
TEST_F(ItemRegistersTest, AnItemThatCannotBePlacedIsDroppedWithTheSiblingsAfterIt) {
  TLogBuilder log;
  log.Jsr(0x8000, 0x9000)
      .Nop(0x9000)
      .Lda(0x9001, 0x7E2100)
      .Nop(0x9004)
      .Rts(0x9005)
      .Nop(0x8003)
      .Nop(0x8004);
  auto original = test::ConvertedProject(ui_, log.Text());
  original->WriteTraceData(Path("drop.tfd"));

  auto p = CreateProject(1, ui_, "");
  TScopeNode* global = p->ScopeManager()->GetScope("Global", true);
  global->AddChild(std::make_unique<TMappingNode>("broken", "zz"));
  p->TraceDataDialog.FileName = Path("drop.tfd");
  p->LoadTraceData();
  const auto& top = p->Tree().TopLevel();
  ASSERT_EQ(top.size(), 3u);
  ASSERT_EQ(top[0]->Children().size(), 1u);
  EXPECT_EQ(top[0]->Children()[0]->Line()->Offset(), 0x9000);
  EXPECT_EQ(top[0]->Line()->TargetNode(), top[0]->Children()[0]->Line());
  EXPECT_EQ(top[1]->Line()->Offset(), 0x8003);
  ASSERT_EQ(ui_.Messages.size(), 2u);
  EXPECT_NE(ui_.Messages[0].find("(the line \"" +
                                 TLogBuilder().Lda(0x9001, 0x7E2100).Lines()[0].substr(0, 40)),
            std::string::npos)
      << ui_.Messages[0];
  EXPECT_NE(ui_.Messages[1].find("3 of its lines are left out"), std::string::npos);
  EXPECT_TRUE(p->ReadWithErrors());
  // The line that failed was indexed before the failure, as it stays; the dropped siblings'
  // records are not kept anywhere.
  EXPECT_NE(p->FindInIndex(0x9001), nullptr);
  EXPECT_EQ(p->FindInIndex(0x9004), nullptr);
  EXPECT_EQ(p->FindInIndex(0x9005), nullptr);
  EXPECT_EQ(p->Store().Count(), p->OffsetIndex().Count());
  EXPECT_EQ(*top[1]->Registers(), *original->Tree().TopLevel()[1]->Registers());
}

// Read into a project that already shows the same trace, every element finds the record the
// project has for its offset; the new items show those records with their own registers.
TEST_F(ItemRegistersTest, AFileReadIntoAProjectShowsTheProjectsRecords) {
  auto p = test::ConvertedProject(ui_, test::ReadFile(test::TracePath(kTraces[3].Name)), 2);
  p->WriteTraceData(Path("again.tfd"));
  const size_t items = p->Tree().Count(), records = p->Store().Count(),
               tops = p->Tree().TopLevel().size();
  p->TraceDataDialog.FileName = Path("again.tfd");
  p->LoadTraceData();
  ASSERT_EQ(p->Tree().Count(), 2 * items);
  // Comment records are new for each element; instruction records are the project's.
  size_t comments = 0;
  p->Tree().ForEach([&](TTreeItem* it) { comments += it->Line()->IsComment() ? 1 : 0; });
  EXPECT_EQ(p->Store().Count(), records + comments / 2);
  const auto& top = p->Tree().TopLevel();
  for (size_t i = 0; i < tops; ++i) {
    ASSERT_EQ(top[i]->Line()->IsComment(), top[tops + i]->Line()->IsComment());
    if (!top[i]->Line()->IsComment()) {
      ASSERT_EQ(top[i]->Line(), top[tops + i]->Line());
      ASSERT_EQ(*top[i]->Registers(), *top[tops + i]->Registers());
    }
  }
  for (size_t i = 0; i < records; ++i) {
    const TTraceFileLine* record = p->Store().Lines()[i].get();
    if (!record->IsComment() && record->itemCount_ > 0) {
      EXPECT_EQ(static_cast<TTreeItem*>(record->ownItem_)->Line(), record);
    }
  }
}

TEST_F(ItemRegistersTest, MovesPastesAndCodeCacheCopiesKeepTheirRegisters) {
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    const char* name = type == 1 ? "undisbeliever-wrmpyb-in-flight-snes9x.log"
                                 : "undisbeliever-wrmpyb-in-flight-debugger.log";
    auto p = test::ConvertedProject(ui_, test::ReadFile(test::TracePath(name)), type);
    TCodeTree& tree = p->Tree();
    const auto& top = tree.TopLevel();
    ASSERT_GT(top.size(), 40u);
    // Before the edits: every item's registers, by item.
    std::vector<std::pair<const TTreeItem*, TItemRegisters>> before;
    tree.ForEach([&](TTreeItem* it) {
      if (it->Registers()) before.emplace_back(it, *it->Registers());
    });

    // A drop with Ctrl moves three nodes under another; a cut and paste moves two more.
    tree.ClearSelection();
    for (size_t i : {5u, 6u, 7u}) tree.Select(top[i], true);
    auto drag = p->StartDrag();
    p->ControlDown = true;
    p->CodeDragDrop(drag.get(), top[20]);
    p->ControlDown = false;
    TClipboard clipboard;
    tree.ClearSelection();
    tree.Select(top[2], true);
    tree.Select(top[3], true);
    clipboard.Cut(*p);
    tree.Select(top[30], false);
    clipboard.Paste(*p);
    for (const auto& [item, registers] : before) ASSERT_EQ(*item->Registers(), registers);

    // A node whose record runs more than once goes to the code cache with its subtree.
    const TTreeItem* source = nullptr;
    tree.ForEach([&](TTreeItem* it) {
      if (!source && it->Registers() && it->Line()->itemCount_ > 1 &&
          *it->Registers() != *it->Line()->RecordedRegisters())
        source = it;
    });
    ASSERT_NE(source, nullptr);
    tree.ClearSelection();
    tree.Select(const_cast<TTreeItem*>(source), false);
    auto toCache = p->StartDrag();
    p->CodeCache()->CodeDragDrop(toCache.get(), nullptr);
    const TCodeTree& cache = p->CodeCache()->Tree();
    ASSERT_EQ(cache.TopLevel().size(), 1u);
    EXPECT_EQ(*cache.TopLevel()[0]->Registers(), *source->Registers());

    // Saved and opened again, the moved items and the cache's copy keep them too.
    for (const char* ext : {".tfm", ".tlm", ".tfd", ".tfp"})
      ui_.DialogFiles.push_back(Path("edited" + std::to_string(type) + ext));
    ASSERT_TRUE(p->Save());
    auto reopened = OpenProject(Path("edited" + std::to_string(type) + ".tfp"), ui_, "");
    ExpectSameRegisters(tree, reopened->Tree());
    ExpectSameRegisters(cache, reopened->CodeCache()->Tree());
  }
}

TEST_F(ItemRegistersTest, TheDebuggerDialectRecordsOnlyAXYAndP) {
  TLogBuilder log(TLogBuilder::Dialect::Debugger);
  log.Nop(0x8000).Nop(0x8001);
  std::string text = log.Text();
  text.replace(text.find("A:0000"), 6, "A:00FF");
  auto p = test::ConvertedProject(ui_, text, 2);
  const TItemRegisters& r = *p->Tree().TopLevel()[0]->Registers();
  EXPECT_EQ(Describe(r),
            "A : $00FF X : $0000 Y : $0000 D : $0000 DB : $00 S : $0000 PS : envMXdizc HC : 0 "
            "VC : 0");
}

TEST(ItemRegisters, StatusTextsAreThePanelsTexts) {
  TItemRegisters r;
  r.A = 0x00FF;
  r.X = 0xBEEF;
  r.DB = 0x7E;
  r.HCounter = 5;
  r.VCounter = 261;
  r.SetPText("envMXdIzc");
  const TStatusTexts t = StatusTexts(r);
  EXPECT_EQ(t.A, "A : $00FF");
  EXPECT_EQ(t.X, "X : $BEEF");
  EXPECT_EQ(t.DB, "DB : $7E");
  EXPECT_EQ(t.S, "S : $0000");
  EXPECT_EQ(t.PS, "PS : envMXdIzc");
  EXPECT_EQ(t.HC, "HC : 5");
  EXPECT_EQ(t.VC, "VC : 261");

  // The status text comes back as it was given, up to nine characters.
  for (const char* p : {"", "e", "ENVMXDIZC", "P:?  x"}) {
    r.SetPText(p);
    EXPECT_EQ(r.PText(), p);
  }
  r.SetPText("envMXdIzc and more");
  EXPECT_EQ(r.PText(), "envMXdIzc");
  static_assert(sizeof(TItemRegisters) <= 24);

  TSNESTraceFileLine line;
  line.SetOffset(0x008000);
  EXPECT_EQ(OffsetStatusText(line), "Offset :$008000");
}

}  // namespace
}  // namespace orvanel
