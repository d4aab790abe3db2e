// The dialect-free part of a trace line: the comment tests of the cutting and its error
// message, the data file element, the links to scopes, mappings and cache twins, copies.
#include <gtest/gtest.h>

#include <string>

#include "TraceLineFakes.h"
#include "base/Errors.h"
#include "records/DebuggerTraceLine.h"
#include "records/Scope.h"
#include "records/SnesTraceLine.h"
#include "trace/LogLines.h"

namespace orvanel {
namespace {

using test::TFakeElement;
using test::TLabelOwner;
using test::TRecordingWriter;

const std::string kSnesLine =
    "$00/8005  D0 F9        BNE $F9 [$00:8000]    A:0100 X:0000 Y:0002 D:0000 DB:7E S:01F3 "
    "P:envMXdIzc HC:1234 VC:0120 FC:00";
const std::string kLoadLine =
    "$00/80A5  85 1C        STA $1C [$00:0050]    A:8CFB X:0001 Y:0000 D:0034 DB:7E S:1FE9 "
    "P:eNvmxdIzc HC:440 VC:0225 FC:04";
const std::string kImmediateLine =
    "$00/809D  A9 34 00     LDA #$0034            A:1FF9 X:0001 Y:0000 D:0000 DB:7E S:1FE9 "
    "P:envmxdIzc HC:354 VC:0225 FC:04";

TEST(TraceLine, CommentTestsComeBeforeAnyCutting) {
  TSimpleLineOwner owner;
  auto empty = TTraceFileLine::FromText(owner, "", false, nullptr);
  EXPECT_TRUE(empty->IsComment());
  EXPECT_EQ(empty->LineText(), "");
  EXPECT_EQ(empty->DisplayText(), "");

  for (const std::string text : {"  {  ", "}", "\t[", "] ", "abc-----def", "---"}) {
    auto line = TTraceFileLine::FromText(owner, text, false, nullptr);
    EXPECT_TRUE(line->IsComment()) << text;
    EXPECT_EQ(line->LineText(), text);
  }
  for (const std::string text : {"{ }", "[]", "a--b", "hello"}) {
    auto line = TTraceFileLine::FromText(owner, text, false, nullptr);
    EXPECT_FALSE(line->IsComment()) << text;
  }
  EXPECT_TRUE(TTraceFileLine::FromText(owner, "hello", true, nullptr)->IsComment());

  // A dialect line with "---" is not cut at all.
  auto marked = TSNESTraceFileLine::FromText(owner, kSnesLine + " ---", false, nullptr);
  EXPECT_TRUE(marked->IsComment());
  EXPECT_EQ(marked->Offset(), 0);
  EXPECT_EQ(marked->OpcodeVal(), 0);
  EXPECT_FALSE(marked->HasTarget());
  EXPECT_EQ(marked->RegA, 0);
  EXPECT_TRUE(owner.Messages.empty());
}

TEST(TraceLine, BaseLineShowsCommentElseText) {
  TSimpleLineOwner owner;
  auto line = TTraceFileLine::FromText(owner, "{", false, nullptr);
  EXPECT_EQ(line->DisplayText(), "{");
  line->SetComment("block");
  EXPECT_EQ(line->DisplayText(), "block");
  auto plain = TTraceFileLine::FromText(owner, "text", false, nullptr);
  plain->SetComment("ignored");
  EXPECT_EQ(plain->DisplayText(), "text");
  EXPECT_EQ(plain->OffsetText(), "");
  EXPECT_EQ(plain->TargetText(), "");
  EXPECT_EQ(plain->CallKind(), 2);
  EXPECT_FALSE(plain->IsFlow());
}

TEST(TraceLine, CutErrorNamesTheFirstEqualLogLine) {
  // An unreadable opcode byte of the debugger dialect reaches the creation's own handler.
  const std::string bad =
      "$00/8005 Q0 F9       BNE $F9   [$00:8000]  A:0100 X:0000 Y:0002 P:envMXdIzc";
  TLogLines log = TLogLines::FromBytes("first\n--- x\n" + bad + "\nother\n" + bad + "\n");
  TSimpleLineOwner owner;
  auto line = TDravikSNESTraceFileLine::FromText(owner, bad, false, &log);
  EXPECT_TRUE(line->IsComment());
  EXPECT_EQ(line->Offset(), 0x008005);  // the fields read so far stay
  ASSERT_EQ(owner.Messages.size(), 1u);
  EXPECT_EQ(owner.Messages[0], bad + "-2");

  // Without log lines, or with a log that does not hold the text, the index is left out.
  owner.Messages.clear();
  TDravikSNESTraceFileLine::FromText(owner, bad, false, nullptr);
  TLogLines other = TLogLines::FromBytes("first\n");
  TDravikSNESTraceFileLine::FromText(owner, bad, false, &other);
  ASSERT_EQ(owner.Messages.size(), 2u);
  EXPECT_EQ(owner.Messages[0], bad + "-");
  EXPECT_EQ(owner.Messages[1], bad + "-");
}

TEST(TraceLine, WriteXmlWritesTheAttributesInOrder) {
  auto line = std::make_unique<TTraceFileLine>();
  line->SetLineText("some text");
  line->SetTextColor(static_cast<TColor>(0xFF000011));
  line->SetOffset(0x008005);
  line->SetOpcodeVal(0xD0);
  line->SetOpcodeLen(2);
  line->SetOpcodeLabel("BNE");
  TRecordingWriter writer;
  line->WriteXml(writer);
  ASSERT_EQ(writer.Elements.size(), 1u);
  EXPECT_EQ(writer.Elements[0].Name, "traceline");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"linetext", "some text"}, {"textcolor", "-16777199"}, {"comment", ""},
      {"isComment", "FALSE"},    {"offset", "32773"},        {"opcodeval", "208"},
      {"opcodelen", "2"},        {"opcodelabel", "BNE"},     {"targetoffset", "-1"},
      {"operand", "-1"}};
  EXPECT_EQ(writer.Elements[0].Attributes, expected);

  // The first line and a scope other than Global add their attributes in their places.
  TScopeNode global(nullptr, true, "Global"), main(nullptr, false, "Main");
  line->SetFlag(lfIsFirstLine, true);
  line->SetIsComment(true);
  line->SetHasTarget(true);
  line->SetTargetOffset(0x008000);
  line->AttachScope(&main);
  TRecordingWriter second;
  line->WriteXml(second);
  const std::vector<std::string> names = {"linetext",  "textcolor",   "comment",      "isfirstline",
                                          "isComment", "scope",       "offset",       "opcodeval",
                                          "opcodelen", "opcodelabel", "targetoffset", "operand"};
  EXPECT_EQ(second.Names(), names);
  EXPECT_EQ(second.Value("isfirstline"), "TRUE");
  EXPECT_EQ(second.Value("isComment"), "TRUE");
  EXPECT_EQ(second.Value("scope"), "Main");
  EXPECT_EQ(second.Value("targetoffset"), "32768");
  line->AttachScope(&global);
  TRecordingWriter third;
  line->WriteXml(third);
  EXPECT_FALSE(third.Value("scope").has_value());
  line->AttachScope(nullptr);
}

TEST(TraceLine, ReadXmlRoundTrip) {
  TSimpleLineOwner owner;
  auto line = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  line->SetComment("loop back");
  line->SetTextColor(static_cast<TColor>(0xFF000013));
  line->SetFlag(lfIsFirstLine, true);
  TRecordingWriter writer;
  line->WriteXml(writer);
  auto back = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
  EXPECT_EQ(back->LineText(), kSnesLine);
  EXPECT_EQ(back->Comment(), "loop back");
  EXPECT_EQ(back->TextColor(), static_cast<TColor>(0xFF000013));
  EXPECT_TRUE(back->IsFirstLine());
  EXPECT_FALSE(back->IsComment());
  EXPECT_EQ(back->Offset(), 0x008005);
  EXPECT_EQ(back->OpcodeVal(), 0xD0);
  EXPECT_EQ(back->OpcodeLen(), 2);
  EXPECT_EQ(back->OpcodeLabel(), "BNE");
  EXPECT_TRUE(back->HasTarget());
  EXPECT_EQ(back->TargetOffset(), 0x008000);
  EXPECT_TRUE(back->HasOperand());
  EXPECT_EQ(back->Operand(), "$F9");
  EXPECT_EQ(back->Flags(), line->Flags());

  // Written without the first line flag, it reads back without it.
  line->SetFlag(lfIsFirstLine, false);
  TRecordingWriter plain;
  line->WriteXml(plain);
  EXPECT_FALSE(plain.Value("isfirstline").has_value());
  EXPECT_FALSE(TSNESTraceFileLine::FromXml(owner, plain.AsElement())->IsFirstLine());
  TFakeElement empty = plain.AsElement();
  empty.Set("isfirstline", "");
  EXPECT_FALSE(TSNESTraceFileLine::FromXml(owner, empty)->IsFirstLine());
}

TEST(TraceLine, ReadXmlMinusOneMeansNone) {
  TSimpleLineOwner owner;
  TFakeElement element{{"linetext", "x"},      {"textcolor", "0"},     {"isComment", "FALSE"},
                       {"offset", "32768"},    {"opcodeval", "96"},    {"opcodelen", "1"},
                       {"opcodelabel", "RTS"}, {"targetoffset", "-1"}, {"operand", "-1"}};
  auto line = TTraceFileLine::FromXml(owner, element);
  EXPECT_FALSE(line->HasTarget());
  EXPECT_EQ(line->TargetOffset(), 0);
  EXPECT_FALSE(line->HasOperand());
  EXPECT_EQ(line->Operand(), "");
  EXPECT_EQ(line->OpcodeVal(), 0x60);
  EXPECT_EQ(line->Comment(), "");
  // The length keeps its low eight bits.
  element.Set("opcodelen", "258");
  EXPECT_EQ(TTraceFileLine::FromXml(owner, element)->OpcodeLen(), 2);
}

TEST(TraceLine, ReadXmlRaisesForMissingOrBadNumbers) {
  TSimpleLineOwner owner;
  const TFakeElement good{{"linetext", "x"},      {"textcolor", "0"},     {"isComment", "FALSE"},
                          {"offset", "32768"},    {"opcodeval", "96"},    {"opcodelen", "1"},
                          {"opcodelabel", "RTS"}, {"targetoffset", "-1"}, {"operand", "-1"}};
  EXPECT_NO_THROW(TTraceFileLine::FromXml(owner, good));
  // Missing anywhere: the message names the attribute.
  for (const std::string name :
       {"textcolor", "offset", "opcodeval", "opcodelabel", "opcodelen", "targetoffset"}) {
    TFakeElement element = good;
    element.Erase(name);
    try {
      TTraceFileLine::FromXml(owner, element);
      ADD_FAILURE() << name;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "attribute " + name + " is missing");
    }
  }
  for (const std::string name : {"textcolor", "offset", "opcodeval", "opcodelen", "targetoffset"}) {
    TFakeElement element = good;
    element.Set(name, "12a");
    try {
      TTraceFileLine::FromXml(owner, element);
      ADD_FAILURE() << name;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "attribute " + name + ": '12a' is not a number");
    }
  }
  // A comment element needs only its colour and offset.
  const TFakeElement comment{
      {"textcolor", "0"}, {"offset", "0"}, {"isComment", "TRUE"}, {"opcodeval", "zz"}};
  auto line = TTraceFileLine::FromXml(owner, comment);
  EXPECT_TRUE(line->IsComment());
  EXPECT_EQ(line->OpcodeVal(), 0);
  EXPECT_EQ(line->LineText(), "");
  TFakeElement noOffset = comment;
  noOffset.Erase("offset");
  EXPECT_THROW(TTraceFileLine::FromXml(owner, noOffset), EConvertError);
  // An element without an operand attribute has no operand.
  TFakeElement noOperand = good;
  noOperand.Erase("operand");
  EXPECT_FALSE(TTraceFileLine::FromXml(owner, noOperand)->HasOperand());
}

TEST(TraceLine, ReadXmlFindsLabelsForOffsetAndFlowTargets) {
  TMappingNode start("start", "$008000"), here("here", "$008005"), data("data", "$000050");
  TLabelOwner owner;
  owner.Labels = {{0x008000, &start}, {0x008005, &here}, {0x000050, &data}};
  auto branch = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  TRecordingWriter writer;
  branch->WriteXml(writer);
  auto back = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
  EXPECT_EQ(back->TargetRef(), &start);
  EXPECT_EQ(back->OffsetLabel(), &here);
  ASSERT_EQ(start.Referrers().size(), 1u);
  EXPECT_EQ(start.Referrers()[0].Line, back.get());
  EXPECT_EQ(start.Referrers()[0].Kind, TRefKind::TargetRef);

  // A store names no label for its target: that is the scope's business.
  auto store = TSNESTraceFileLine::FromText(owner, kLoadLine, false, nullptr);
  TRecordingWriter storeWriter;
  store->WriteXml(storeWriter);
  auto storeBack = TSNESTraceFileLine::FromXml(owner, storeWriter.AsElement());
  EXPECT_EQ(storeBack->TargetRef(), nullptr);
  EXPECT_TRUE(data.Referrers().empty());

  // A comment looks up nothing.
  TFakeElement comment = writer.AsElement();
  comment.Set("isComment", "TRUE");
  EXPECT_EQ(TSNESTraceFileLine::FromXml(owner, comment)->OffsetLabel(), nullptr);
  back->SetTargetRef(nullptr);
  back->SetOffsetLabel(nullptr);
}

// A line whose creation fails goes away; it must not stay in the lists of its labels.
TEST(TraceLine, FailedCreationLeavesNoReferrer) {
  TMappingNode start("start", "$008000"), here("here", "$008005");
  TLabelOwner owner;
  owner.Labels = {{0x008000, &start}, {0x008005, &here}};
  auto branch = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  TRecordingWriter writer;
  branch->WriteXml(writer);
  TFakeElement element = writer.AsElement();
  element.Set("HC", "x");
  EXPECT_THROW(TSNESTraceFileLine::FromXml(owner, element), EConvertError);
  EXPECT_TRUE(start.Referrers().empty());
  EXPECT_TRUE(here.Referrers().empty());

  // A copy whose scope holds a mapping that is no number fails the same way.
  TScopeNode scope(nullptr, false, "Main");
  scope.AddChild(std::make_unique<TMappingNode>("bad", "zz"));
  auto store = TSNESTraceFileLine::FromText(owner, kLoadLine, false, nullptr);
  store->SetOffsetLabel(&here);
  EXPECT_THROW(store->AttachScope(&scope), EConvertError);
  store->AttachScope(nullptr);
  EXPECT_TRUE(scope.ScopedOffsets().Empty());
  // The copy of a line attached before the bad mapping came.
  TScopeNode good(nullptr, false, "Good");
  store->AttachScope(&good);
  good.AddChild(std::make_unique<TMappingNode>("bad", "zz"));
  EXPECT_THROW(store->Clone(owner), EConvertError);
  EXPECT_EQ(here.Referrers().size(), 1u);  // only the original's
  good.ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) {
    EXPECT_TRUE(e.Line == nullptr || e.Line == store.get());
  });
  store->SetOffsetLabel(nullptr);
  store->AttachScope(nullptr);
}

// A duplicate record read from a data file is dropped once the index holds another line of
// its address; the lines that stay must still find their own entries.
TEST(TraceLine, ARecordThatGoesAwayLeavesTheListsOfItsNodes) {
  TMappingNode start("start", "$008000"), here("here", "$008005");
  TLabelOwner owner;
  owner.Labels = {{0x008000, &start}, {0x008005, &here}};
  TScopeNode scope(nullptr, false, "Main");
  auto kept = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  TRecordingWriter writer;
  kept->WriteXml(writer);
  auto first = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
  first->AttachScope(&scope);
  {
    auto duplicate = TSNESTraceFileLine::FromXml(owner, writer.AsElement());
    duplicate->SetOperandRef(&start);
    EXPECT_EQ(start.Referrers().size(), 3u);
    duplicate->AttachScope(&scope);  // takes over the key from the first
  }
  ASSERT_EQ(start.Referrers().size(), 1u);
  EXPECT_EQ(start.Referrers()[0].Line, first.get());
  ASSERT_EQ(here.Referrers().size(), 1u);
  EXPECT_EQ(here.Referrers()[0].Line, first.get());
  scope.ScopedOffsets().ForEach([](const TScopedOffsets::Entry& e) { EXPECT_EQ(e.Line, nullptr); });
  first->SetTargetRef(nullptr);  // its own slot is still right
  EXPECT_TRUE(start.Referrers().empty());
  first->AttachScope(nullptr);
}

TEST(TraceLine, CacheTwinLinksBothWays) {
  TTraceFileLine a, b, c;
  a.SetCacheTwin(&b);
  EXPECT_EQ(a.CacheTwin(), &b);
  EXPECT_EQ(b.CacheTwinOf(), &a);
  a.SetCacheTwin(&c);
  EXPECT_EQ(b.CacheTwinOf(), nullptr);
  EXPECT_EQ(c.CacheTwinOf(), &a);
  a.SetCacheTwin(&c);  // setting the same twin again keeps the link
  EXPECT_EQ(c.CacheTwinOf(), &a);
  a.SetCacheTwin(nullptr);
  EXPECT_EQ(a.CacheTwin(), nullptr);
  EXPECT_EQ(c.CacheTwinOf(), nullptr);
}

TEST(TraceLine, ReferenceSettersKeepReferrersInStep) {
  TMappingNode m1("one", "$8000"), m2("two", "$9000");
  TTraceFileLine a, b, c;
  a.SetOffsetLabel(&m1);
  a.SetOffsetLabel(&m1);  // unchanged: no second entry
  ASSERT_EQ(m1.Referrers().size(), 1u);
  b.SetTargetRef(&m1);
  c.SetOperandRef(&m1);
  a.SetTargetRef(&m1);
  EXPECT_EQ(m1.Referrers().size(), 4u);

  // Removing an entry from the middle leaves every other line able to find its own.
  a.SetOffsetLabel(&m2);
  b.SetTargetRef(nullptr);
  EXPECT_EQ(m2.Referrers().size(), 1u);
  ASSERT_EQ(m1.Referrers().size(), 2u);
  for (const TReferrer& r : m1.Referrers()) EXPECT_EQ(r.Line->Ref(r.Kind), &m1);
  c.SetOperandRef(nullptr);
  a.SetTargetRef(nullptr);
  EXPECT_TRUE(m1.Referrers().empty());
  a.SetOffsetLabel(nullptr);
  EXPECT_TRUE(m2.Referrers().empty());
  EXPECT_EQ(a.OffsetLabel(), nullptr);
}

TEST(TraceLine, AttachScopeMovesTheKeyBetweenScopes) {
  TScopeNode first(nullptr, false, "First"), second(nullptr, false, "Second");
  TSimpleLineOwner owner;
  auto line = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  line->AttachScope(&first);
  EXPECT_EQ(line->Scope(), &first);
  EXPECT_EQ(line->ScopeKey(), "32773");
  ASSERT_NE(first.ScopedOffsets().Find("32773"), TScopedOffsets::npos);
  line->AttachScope(&second);
  EXPECT_TRUE(first.ScopedOffsets().Empty());
  EXPECT_EQ(second.ScopedOffsets().Count(), 1u);

  // A later line of the same offset takes over the key; a code cache line has its own.
  auto later = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  later->AttachScope(&second);
  EXPECT_EQ(second.ScopedOffsets().Count(), 1u);
  EXPECT_EQ(second.ScopedOffsets().At(second.ScopedOffsets().Find("32773")).Line, later.get());
  auto cached = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  cached->SetFlag(lfIsCodeCacheLine, true);
  EXPECT_EQ(cached->ScopeKey(), "32773_cc");
  cached->AttachScope(&second);
  EXPECT_EQ(second.ScopedOffsets().Count(), 2u);

  // A key read from a file without a line takes the line that comes with it.
  TScopeNode third(nullptr, false, "Third");
  third.AppendScopedOffset("32773", nullptr);
  later->AttachScope(&third);
  EXPECT_EQ(third.ScopedOffsets().Count(), 1u);
  EXPECT_EQ(third.ScopedOffsets().At(third.ScopedOffsets().First()).Line, later.get());

  for (auto* l : {line.get(), later.get(), cached.get()}) l->AttachScope(nullptr);
  EXPECT_EQ(line->Scope(), nullptr);
  EXPECT_TRUE(second.ScopedOffsets().Empty() ||
              second.ScopedOffsets().At(second.ScopedOffsets().First()).Line == nullptr);
}

TEST(TraceLine, AttachScopeTakesTheScopesMappings) {
  TScopeNode scope(nullptr, false, "Main");
  TMappingNode* byAddress = scope.AddChild(std::make_unique<TMappingNode>("ptr", "$000050"));
  TMappingNode* byText = scope.AddChild(std::make_unique<TMappingNode>("MODE", "#$0034"));
  scope.AddChild(std::make_unique<TMappingNode>("target", "$008000"));
  TSimpleLineOwner owner;

  auto store = TSNESTraceFileLine::FromText(owner, kLoadLine, false, nullptr);
  store->AttachScope(&scope);
  EXPECT_EQ(store->TargetRef(), byAddress);
  EXPECT_EQ(store->OperandRef(), nullptr);  // a line with a target is named by its target
  ASSERT_EQ(byAddress->Referrers().size(), 1u);

  auto load = TSNESTraceFileLine::FromText(owner, kImmediateLine, false, nullptr);
  load->AttachScope(&scope);
  EXPECT_EQ(load->OperandRef(), byText);
  EXPECT_EQ(load->TargetRef(), nullptr);

  // Flow lines are named by labels, not by the scope.
  auto branch = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  branch->AttachScope(&scope);
  EXPECT_EQ(branch->TargetRef(), nullptr);

  // Another scope without mappings drops the references.
  TScopeNode empty(nullptr, false, "Empty");
  store->AttachScope(&empty);
  load->AttachScope(&empty);
  EXPECT_EQ(store->TargetRef(), nullptr);
  EXPECT_EQ(load->OperandRef(), nullptr);
  EXPECT_TRUE(byAddress->Referrers().empty());
  EXPECT_TRUE(byText->Referrers().empty());
  for (auto* l : {store.get(), load.get(), branch.get()}) l->AttachScope(nullptr);
}

TEST(TraceLine, CloneKeepsClassAndCopiesTheLinks) {
  TScopeNode scope(nullptr, false, "Main");
  TMappingNode label("here", "$008005");
  TSimpleLineOwner owner;
  auto line = TDravikSNESTraceFileLine::FromText(
      owner, "$00/8005 D0 F9       BNE $F9   [$00:8000]  A:0100 X:0000 Y:0002 P:envMXdIzc", false,
      nullptr);
  TTraceFileLine target, next;
  line->SetFlag(lfIsCodeCacheLine, true);
  line->SetFlag(lfIsBookmarked, true);
  line->SetOffsetLabel(&label);
  line->AttachScope(&scope);
  line->SetTextColor(0x008080);
  line->SetTargetNode(&target);
  line->SetSuccessor(&next);
  line->SetComment("loop");
  line->SetRegisterName("not copied");

  auto copy = line->Clone(owner);
  ASSERT_NE(dynamic_cast<TDravikSNESTraceFileLine*>(copy.get()), nullptr);
  EXPECT_EQ(copy->Flags(), line->Flags() & ~lfIsCodeCacheLine);
  EXPECT_TRUE(copy->IsBookmarked());
  EXPECT_EQ(copy->OffsetLabel(), &label);
  EXPECT_EQ(label.Referrers().size(), 2u);
  EXPECT_EQ(copy->Scope(), &scope);
  EXPECT_EQ(scope.ScopedOffsets().Count(), 2u);  // "32773_cc" and "32773"
  EXPECT_EQ(copy->TextColor(), 0x008080);
  EXPECT_EQ(copy->TargetNode(), &target);
  EXPECT_EQ(copy->Successor(), &next);
  EXPECT_EQ(copy->Comment(), "loop");
  EXPECT_EQ(copy->RegisterName(), "");
  EXPECT_EQ(copy->LineText(), line->LineText());
  EXPECT_EQ(copy->TargetOffset(), 0x008000);
  EXPECT_EQ(copy->OpcodeLabel(), "BNE");
  EXPECT_EQ(static_cast<TSNESTraceFileLine*>(copy.get())->RegY, 2);
  EXPECT_TRUE(owner.Messages.empty());

  auto snes = TSNESTraceFileLine::FromText(owner, kSnesLine, false, nullptr);
  auto snesCopy = snes->Clone(owner);
  EXPECT_NE(dynamic_cast<TSNESTraceFileLine*>(snesCopy.get()), nullptr);
  EXPECT_EQ(dynamic_cast<TDravikSNESTraceFileLine*>(snesCopy.get()), nullptr);
  EXPECT_EQ(snesCopy->Scope(), nullptr);
  TTraceFileLine bare;
  EXPECT_NE(bare.Clone(owner), nullptr);

  for (TTraceFileLine* l : {static_cast<TTraceFileLine*>(line.get()), copy.get()}) {
    l->SetOffsetLabel(nullptr);
    l->AttachScope(nullptr);
  }
}

}  // namespace
}  // namespace orvanel
