// Scopes, mappings and the scope manager: lookups and their letter case, the key lists,
// the referrer lists, deleting mappings and lines that go away.
#include "records/Scope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/TextUtils.h"

namespace orvanel {
namespace {

using Keys = std::vector<std::string>;

std::unique_ptr<TTraceFileLine> MakeLine(int64_t offset, bool codeCache = false) {
  auto line = std::make_unique<TTraceFileLine>();
  line->SetOffset(offset);
  line->SetFlag(lfIsCodeCacheLine, codeCache);
  return line;
}

std::unique_ptr<TTraceFileLine> MakeTargetLine(int64_t offset, int64_t target) {
  auto line = MakeLine(offset);
  line->SetHasTarget(true);
  line->SetTargetOffset(target);
  return line;
}

Keys KeysOf(const TScopeNode& scope) {
  Keys keys;
  scope.ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) { keys.push_back(e.Key); });
  return keys;
}

std::vector<const TTraceFileLine*> LinesOf(const TScopeNode& scope) {
  std::vector<const TTraceFileLine*> lines;
  scope.ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) { lines.push_back(e.Line); });
  return lines;
}

Keys ScopeNames(const TScopeManager& manager) {
  Keys names;
  for (const auto& scope : manager.Scopes()) names.push_back(scope->ScopeName());
  return names;
}

class ScopeTest : public ::testing::Test {
 protected:
  TScopeManager manager;
  TScopeNode* global = manager.GetScope("Global", true);
  TScopeNode* bank = manager.GetScope("Bank1", false);
  TScopeNode* other = manager.GetScope("Bank2", false);
};

// --- mappings ----------------------------------------------------------------------------

TEST(MappingNodeTest, NumericValue) {
  EXPECT_EQ(TMappingNode("a", "$8000").NumericAddress(), 0x8000);
  EXPECT_EQ(TMappingNode("a", "32768").NumericAddress(), 0x8000);
  for (const char* operand : {"#$12", "$12,x", "[$10]"})
    EXPECT_EQ(TMappingNode("a", operand).NumericAddress(), 0) << operand;
  TMappingNode name("a", "PlayerX");
  EXPECT_FALSE(name.TryNumericAddress().has_value());
  try {
    name.NumericAddress();
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'PlayerX' is not a valid integer value");
  }
}

TEST_F(ScopeTest, ShortAndLongHexTextsAreTwoTextsOfOneValue) {
  TMappingNode* shortText = manager.AddMapping(bank, "A", "$8000");
  TMappingNode* longText = manager.AddMapping(bank, "B", "$008000");
  TMappingNode* upper = manager.AddMapping(bank, "C", "$7E0010");
  EXPECT_EQ(bank->FindMappingByOffset(0x8000), shortText);
  EXPECT_EQ(bank->FindMappingByText("$008000"), longText);
  EXPECT_EQ(bank->FindMappingByText("$7e0010"), nullptr);  // letter case counts here
  EXPECT_EQ(*manager.FindAddressList("$8000"), std::vector<TMappingNode*>{shortText});
  EXPECT_EQ(*manager.FindAddressList("$008000"), std::vector<TMappingNode*>{longText});
  EXPECT_EQ(*manager.FindAddressList("$7e0010"), std::vector<TMappingNode*>{upper});  // not here
  EXPECT_EQ(manager.FindAddressList(""), nullptr);
  EXPECT_EQ(manager.FindAddressList("32768"), nullptr);
  bank->RemoveChild(shortText);
  EXPECT_EQ(bank->FindMappingByOffset(0x8000), longText);
  EXPECT_TRUE(manager.FindAddressList("$8000")->empty());
}

TEST_F(ScopeTest, OperandTextIsFoundForOffsetZero) {
  TMappingNode* mode = manager.AddMapping(bank, "MODE_TITLE", "#$12");
  EXPECT_EQ(bank->FindMappingByOffset(0), mode);
  EXPECT_EQ(bank->FindMappingByOffset(0x12), nullptr);
}

TEST_F(ScopeTest, MappingThatIsNoNumberStopsTheSearchOnlyBeforeTheMatch) {
  TMappingNode* first = manager.AddMapping(bank, "A", "$10");
  TMappingNode* bad = manager.AddMapping(bank, "Bad", "Player");
  TMappingNode* third = manager.AddMapping(bank, "C", "$20");
  EXPECT_EQ(bank->FindMappingByOffset(0x10), first);
  EXPECT_THROW(bank->FindMappingByOffset(0x20), EConvertError);
  EXPECT_THROW(bank->FindMappingByOffset(0x30), EConvertError);
  EXPECT_EQ(bank->FindMappingByText("$20"), third);
  bank->RemoveChild(bad);
  EXPECT_EQ(bank->FindMappingByOffset(0x20), third);
}

TEST_F(ScopeTest, MappingReadFromAFileIsSkippedWhenItsValueIsPresent) {
  TMappingNode* reset = manager.AddMappingFromXml(bank, "Reset", "$8000");
  EXPECT_EQ(manager.AddMappingFromXml(bank, "Start", "32768"), reset);
  EXPECT_NE(manager.AddMappingFromXml(other, "Start", "32768"), reset);
  // Operand texts have no value of their own: the same text is the duplicate.
  TMappingNode* mode = manager.AddMappingFromXml(bank, "MODE", "#$12");
  EXPECT_EQ(manager.AddMappingFromXml(bank, "MODE2", "#$12"), mode);
  EXPECT_NE(manager.AddMappingFromXml(bank, "X", "$12,x"), mode);
  EXPECT_THROW(manager.AddMappingFromXml(bank, "Bad", "Player"), EConvertError);
  EXPECT_EQ(bank->Mappings().size(), 3u);
  EXPECT_EQ(reset->Text(), "Reset=$8000");
  EXPECT_EQ(manager.FindAddressList("32768")->size(), 1u);  // the one of Bank2
}

TEST_F(ScopeTest, ReferrersStayFindableThroughRemovalsInAnyOrder) {
  TMappingNode* mapping = manager.AddMapping(bank, "A", "$10");
  std::vector<std::unique_ptr<TTraceFileLine>> lines;
  for (int i = 0; i < 40; ++i) {
    lines.push_back(MakeLine(i));
    lines.back()->SetTargetRef(mapping);
    if (i % 3 == 0) lines.back()->SetOperandRef(mapping);
  }
  std::vector<int> order(40);
  for (int i = 0; i < 40; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(3));
  for (int i : order) {
    lines[i]->SetTargetRef(nullptr);
    for (size_t slot = 0; slot < mapping->Referrers().size(); ++slot) {
      const TReferrer& r = mapping->Referrers()[slot];
      ASSERT_EQ(r.Line->referrerSlot_[static_cast<int>(r.Kind)], slot);
      ASSERT_EQ(r.Line->Ref(r.Kind), mapping);
    }
  }
  EXPECT_EQ(mapping->Referrers().size(), 14u);  // the operand references
}

// --- key lists ---------------------------------------------------------------------------

TEST_F(ScopeTest, LaterLineOfAnOffsetTakesOverTheKey) {
  auto a = MakeLine(32768), b = MakeLine(32768), cached = MakeLine(32768, true);
  for (auto* l : {a.get(), b.get(), cached.get()}) l->AttachScope(bank);
  EXPECT_EQ(KeysOf(*bank), (Keys{"32768", "32768_cc"}));
  EXPECT_EQ(LinesOf(*bank)[0], b.get());
  a->AttachScope(other);  // the line without an entry takes nothing with it
  EXPECT_EQ(LinesOf(*bank), (std::vector<const TTraceFileLine*>{b.get(), cached.get()}));
}

TEST_F(ScopeTest, LineTakesTheEntryReadWithoutALine) {
  for (const char* key : {"100", "32768_CC", "5", "5"}) bank->AppendScopedOffset(key, nullptr);
  auto cached = MakeLine(32768, true), five = MakeLine(5);
  cached->AttachScope(bank);
  five->AttachScope(bank);
  EXPECT_EQ(KeysOf(*bank), (Keys{"100", "32768_CC", "5", "5"}));
  EXPECT_EQ(LinesOf(*bank),
            (std::vector<const TTraceFileLine*>{nullptr, cached.get(), five.get(), nullptr}));
  // Leaving takes the line's own entry; the duplicate stays and is found next.
  five->AttachScope(nullptr);
  EXPECT_EQ(KeysOf(*bank), (Keys{"100", "32768_CC", "5"}));
  five->AttachScope(bank);
  EXPECT_EQ(LinesOf(*bank)[2], five.get());
}

TEST_F(ScopeTest, ManyLinesLeavingKeepOrderAndLookups) {
  std::vector<std::unique_ptr<TTraceFileLine>> lines;
  for (int i = 0; i < 1000; ++i) {
    lines.push_back(MakeLine(i));
    lines.back()->AttachScope(bank);
  }
  std::vector<int> order(1000);
  for (int i = 0; i < 1000; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  std::vector<bool> gone(1000, false);
  for (int n = 0; n < 950; ++n) {
    lines[order[n]]->AttachScope(other);
    gone[order[n]] = true;
  }
  Keys expected;
  for (int i = 0; i < 1000; ++i)
    if (!gone[i]) expected.push_back(std::to_string(i));
  EXPECT_EQ(KeysOf(*bank), expected);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(bank->HoldsOffset(i), !gone[i]) << i;
  for (int i = 0; i < 1000; ++i)
    if (!gone[i]) lines[i]->AttachScope(other);
  EXPECT_TRUE(bank->ScopedOffsets().Empty());
  EXPECT_EQ(other->ScopedOffsets().Count(), 1000u);
}

// A line executed again is attached again to its scope: its key goes to the end of the
// list, and the scope keeps holding it for FindScope until it really leaves.
TEST_F(ScopeTest, LinesAttachedAgainMoveToTheEndInAttachOrder) {
  bank->AppendScopedOffset("7_CC", nullptr);  // as a map file may write it
  std::vector<std::unique_ptr<TTraceFileLine>> lines;
  for (int i = 0; i < 200; ++i) lines.push_back(MakeLine(i % 50 == 7 ? 7 : i, i % 50 == 7));
  std::vector<int> attached;  // line numbers, oldest attach first
  std::mt19937 random(11);
  for (int step = 0; step < 5000; ++step) {
    const int i = static_cast<int>(random() % 40);  // lines 7 and 57 share the key "7_cc"
    lines[i]->AttachScope(bank);
    std::erase(attached, i);
    attached.push_back(i);
  }
  // The entry read without a line was taken by the first line 7 or 57 attached; the key
  // keeps its spelling until the line holding it is attached again.
  Keys expected;
  for (int i : attached)
    if (i != 7 && i != 57) expected.push_back(std::to_string(i));
  Keys keys = KeysOf(*bank);
  ASSERT_EQ(keys.size(), expected.size() + 1);
  std::erase_if(keys, [](const std::string& k) { return LowerCase(k) == "7_cc"; });
  EXPECT_EQ(keys, expected);
  const Keys allKeys = KeysOf(*bank);
  const auto shown = LinesOf(*bank);
  for (size_t n = 0; n < allKeys.size(); ++n) {
    if (LowerCase(allKeys[n]) == "7_cc") continue;
    EXPECT_EQ(shown[n], lines[static_cast<size_t>(std::stoi(allKeys[n]))].get()) << allKeys[n];
  }
  EXPECT_EQ(manager.FindScope(*lines[3], false), bank);

  // Moving to another scope and back, then away: the manager follows each time.
  lines[3]->AttachScope(other);
  EXPECT_EQ(manager.FindScope(*lines[3], false), other);
  lines[3]->AttachScope(bank);
  lines[3]->AttachScope(bank);
  EXPECT_EQ(manager.FindScope(*lines[3], false), bank);
  EXPECT_EQ(KeysOf(*bank).back(), "3");
  lines[3]->AttachScope(nullptr);
  EXPECT_EQ(manager.FindScope(*lines[3], false), global);
  EXPECT_FALSE(bank->HoldsOffset(3));
}

TEST_F(ScopeTest, HoldsAndStartAndEndLine) {
  EXPECT_EQ(bank->StartLine(), nullptr);
  bank->AppendScopedOffset("1", nullptr);
  auto mid = MakeLine(50), low = MakeLine(10), lowCached = MakeLine(10, true), high = MakeLine(90);
  for (auto* l : {mid.get(), lowCached.get(), low.get(), high.get()}) l->AttachScope(bank);
  EXPECT_EQ(bank->StartLine(), lowCached.get());  // the earlier entry of equal offsets
  EXPECT_EQ(bank->EndLine(), high.get());
  auto cachedOnly = MakeLine(0x8000, true);
  cachedOnly->AttachScope(bank);
  EXPECT_FALSE(bank->HoldsLine(*cachedOnly));  // the plain decimal key only
  EXPECT_TRUE(bank->HoldsOffset(1));
}

// --- scopes of the manager ---------------------------------------------------------------

TEST_F(ScopeTest, ScopeNamesAreLookedUpIgnoringCase) {
  EXPECT_EQ(manager.GetScope("global", false), global);
  EXPECT_EQ(manager.GetScope("Bank3", true), global);  // isGlobal gives Global
  EXPECT_EQ(manager.GetScope("BANK1", false), bank);
  TScopeNode* unnamed = manager.GetScope("", false);
  EXPECT_EQ(manager.GetScope("", false), unnamed);
  EXPECT_EQ(ScopeNames(manager), (Keys{"Global", "Bank1", "Bank2", ""}));
  // A node added under a known name is dropped and leaves no line pointing at it.
  auto duplicate = std::make_unique<TScopeNode>(&manager, false, "bank1");
  auto line = MakeLine(5);
  duplicate->AppendScopedOffset("5", line.get());
  EXPECT_EQ(manager.AddScope(std::move(duplicate)), bank);
  EXPECT_EQ(line->Scope(), nullptr);
  EXPECT_EQ(manager.FindScope(*line, false), global);
}

TEST_F(ScopeTest, KeyInTwoScopesBelongsToTheScopeCreatedFirst) {
  other->AppendScopedOffset("32768", nullptr);
  bank->AppendScopedOffset("32768", nullptr);
  auto line = MakeLine(0x8000);
  EXPECT_EQ(manager.FindScope(*line, false), bank);
  EXPECT_EQ(manager.FindScope(*line, true), global);
  other->AppendScopedOffset("32768_CC", nullptr);
  EXPECT_EQ(manager.FindScope(*line, true), other);
  // Global was created first: once it lists the key, the line is Global's.
  line->AttachScope(global);
  EXPECT_EQ(manager.FindScope(*line, false), global);
  line->AttachScope(nullptr);
  EXPECT_EQ(manager.FindScope(*line, false), bank);
}

TEST(ScopeManagerTest, LineWithoutAListedKeyGetsTheLastGlobalScopeOrNone) {
  TScopeManager manager;
  auto line = MakeLine(1);
  manager.GetScope("Bank1", false);
  EXPECT_EQ(manager.FindScope(*line, false), nullptr);
  manager.AddScope(std::make_unique<TScopeNode>(&manager, true, "Global"));
  TScopeNode* last = manager.AddScope(std::make_unique<TScopeNode>(&manager, true, "Other"));
  EXPECT_EQ(manager.FindScope(*line, false), last);
}

// --- deleting mappings -------------------------------------------------------------------

TEST_F(ScopeTest, OnlyMappingOfAScopeGivesItsLinesToGlobal) {
  TMappingNode* data = manager.AddMapping(bank, "PlayerX", "$7E0010");
  TMappingNode* shared = manager.AddMapping(global, "Shared", "$7E0010");
  auto load = MakeTargetLine(0x8000, 0x7E0010), cached = MakeLine(0x8000, true);
  auto plain = MakeLine(0x8010);
  bank->AppendScopedOffset("100", nullptr);
  for (auto* l : {load.get(), cached.get(), plain.get()}) l->AttachScope(bank);
  load->SetOffsetLabel(data);
  ASSERT_EQ(load->TargetRef(), data);

  manager.DeleteMapping(data);

  EXPECT_EQ(ScopeNames(manager), (Keys{"Global", "Bank2"}));
  EXPECT_EQ(manager.FindScopeByName("Bank1"), nullptr);
  EXPECT_EQ(KeysOf(*global), (Keys{"32768", "32768_cc", "32784"}));
  for (auto* l : {load.get(), cached.get(), plain.get()}) EXPECT_EQ(l->Scope(), global);
  EXPECT_EQ(load->TargetRef(), shared);  // found again in Global
  EXPECT_EQ(load->OffsetLabel(), nullptr);
  EXPECT_EQ(*manager.FindAddressList("$7E0010"), std::vector<TMappingNode*>{shared});
  EXPECT_EQ(manager.FindScope(*MakeLine(100), false), global);
}

TEST_F(ScopeTest, DeletingClearsEveryKindOfReferenceAndKeepsAScopeWithMappingsLeft) {
  TMappingNode* mapping = manager.AddMapping(bank, "A", "$10");
  TMappingNode* keep = manager.AddMapping(bank, "B", "$20");
  auto line = MakeLine(1), other = MakeLine(2);
  line->AttachScope(bank);
  for (auto* l : {line.get(), other.get()}) {
    l->SetTargetRef(mapping);
    l->SetOperandRef(mapping);
    l->SetOffsetLabel(mapping);
  }
  other->SetOperandRef(keep);
  manager.DeleteMapping(mapping);
  for (auto* l : {line.get(), other.get()}) {
    EXPECT_EQ(l->TargetRef(), nullptr);
    EXPECT_EQ(l->OffsetLabel(), nullptr);
  }
  EXPECT_EQ(line->OperandRef(), nullptr);
  EXPECT_EQ(other->OperandRef(), keep);
  EXPECT_EQ(line->Scope(), bank);
  EXPECT_EQ(bank->Mappings().size(), 1u);
  line->SetTargetRef(keep);  // must not reach the freed node
  EXPECT_EQ(keep->Referrers().size(), 2u);
}

TEST_F(ScopeTest, LastMappingOfGlobalKeepsGlobalWithItsLines) {
  TMappingNode* only = manager.AddMapping(global, "A", "$10");
  auto line = MakeTargetLine(0x8000, 0x10);
  line->AttachScope(global);
  ASSERT_EQ(line->TargetRef(), only);
  manager.DeleteMapping(only);
  EXPECT_EQ(ScopeNames(manager), (Keys{"Global", "Bank1", "Bank2"}));
  EXPECT_EQ(line->Scope(), global);
  EXPECT_EQ(line->TargetRef(), nullptr);
  EXPECT_EQ(KeysOf(*global), (Keys{"32768"}));
}

TEST_F(ScopeTest, LineThatLostItsKeyStillGetsAScopeWhenItsScopeGoes) {
  TMappingNode* mapping = manager.AddMapping(bank, "A", "$10");
  auto original = MakeLine(0x8000), later = MakeLine(0x8000);
  original->AttachScope(bank);
  later->AttachScope(bank);
  manager.DeleteMapping(mapping);
  EXPECT_EQ(later->Scope(), global);
  EXPECT_EQ(original->Scope(), global);
  original->AttachScope(nullptr);  // leaves without disturbing the entry of the later line
  EXPECT_EQ(LinesOf(*global), std::vector<const TTraceFileLine*>{later.get()});
}

TEST(ScopeManagerTest, DeletingWithoutGlobalOrFromAnotherManager) {
  TScopeManager manager, otherManager;
  TScopeNode* bank = manager.GetScope("Bank1", false);
  TMappingNode* mapping = manager.AddMapping(bank, "A", "$10");
  auto line = MakeLine(1);
  line->AttachScope(bank);
  otherManager.DeleteMapping(mapping);
  otherManager.DeleteMapping(nullptr);
  EXPECT_EQ(bank->Mappings().size(), 1u);
  manager.DeleteMapping(mapping);
  EXPECT_TRUE(manager.Scopes().empty());
  EXPECT_EQ(line->Scope(), nullptr);
}

// --- lines that go away ------------------------------------------------------------------

TEST_F(ScopeTest, ForgottenLineLeavesEveryListAndKeepsItsKey) {
  TMappingNode* a = manager.AddMapping(bank, "A", "$10");
  TMappingNode* b = manager.AddMapping(bank, "B", "$20");
  auto stays = MakeLine(2);
  stays->SetTargetRef(a);
  {
    auto goes = MakeLine(1);
    goes->AttachScope(bank);
    goes->SetTargetRef(a);
    goes->SetOperandRef(b);
    goes->SetOffsetLabel(a);
    manager.ForgetLine(goes.get());
  }
  EXPECT_EQ(KeysOf(*bank), (Keys{"1"}));
  EXPECT_EQ(LinesOf(*bank), std::vector<const TTraceFileLine*>{nullptr});
  EXPECT_EQ(manager.FindScope(*MakeLine(1), false), bank);
  ASSERT_EQ(a->Referrers().size(), 1u);
  EXPECT_EQ(a->Referrers()[0].Line, stays.get());
  EXPECT_TRUE(b->Referrers().empty());
  manager.DeleteMapping(a);  // must not reach the freed line
  manager.DeleteMapping(b);
  EXPECT_EQ(stays->TargetRef(), nullptr);
}

TEST_F(ScopeTest, ClearDetachesEveryLine) {
  manager.AddMapping(bank, "A", "$10");
  auto line = MakeTargetLine(1, 0x10);
  line->AttachScope(bank);
  manager.Clear();
  EXPECT_TRUE(manager.Scopes().empty());
  EXPECT_EQ(line->Scope(), nullptr);
  EXPECT_EQ(line->TargetRef(), nullptr);
  EXPECT_EQ(manager.FindScope(*line, false), nullptr);
  EXPECT_EQ(manager.FindAddressList("$10"), nullptr);
}

// --- offset labels through the sub-manager -----------------------------------------------

class LabelsAt8000 : public TScopeManager {
 public:
  TMappingNode* FindMapping(int64_t offset, int64_t) override {
    return offset == 0x8000 ? label.get() : nullptr;
  }
  std::unique_ptr<TMappingNode> label = std::make_unique<TMappingNode>("Reset", "$8000");
};

class WithLabels : public TScopeManager {
 public:
  std::unique_ptr<TScopeManager> CreateSubManager() override {
    return std::make_unique<LabelsAt8000>();
  }
};

TEST(ScopeManagerTest, OffsetLabelComesFromTheSubManagerExceptForComments) {
  WithLabels manager;
  manager.Init();
  auto line = MakeLine(0x8000), comment = MakeLine(0x8000);
  comment->SetIsComment(true);
  manager.AssignOffsetLabel(*line);
  manager.AssignOffsetLabel(*comment);
  EXPECT_EQ(line->OffsetLabel(), static_cast<LabelsAt8000*>(manager.SubManager())->label.get());
  EXPECT_EQ(comment->OffsetLabel(), nullptr);
  line->SetOffsetLabel(nullptr);
}

}  // namespace
}  // namespace orvanel
