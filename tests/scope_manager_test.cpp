// The scope manager: finding and creating scopes, which scope a line belongs to, adding and
// deleting mappings, and lines that go away.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Errors.h"
#include "Scope.h"

namespace orvanel {
namespace {

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

std::vector<std::string> Keys(const TScopeNode& scope) {
  std::vector<std::string> keys;
  scope.ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) { keys.push_back(e.Key); });
  return keys;
}

std::vector<std::string> ScopeNames(const TScopeManager& manager) {
  std::vector<std::string> names;
  for (const auto& scope : manager.Scopes()) names.push_back(scope->ScopeName());
  return names;
}

bool Contains(const std::vector<TMappingNode*>* list, const TMappingNode* mapping) {
  if (list == nullptr) return false;
  for (const TMappingNode* m : *list)
    if (m == mapping) return true;
  return false;
}

// --- finding and creating scopes ---------------------------------------------------------

TEST(ScopeManagerTest, ScopeNamesAreLookedUpIgnoringCase) {
  TScopeManager manager;
  TScopeNode* global = manager.GetScope("Global", true);
  EXPECT_TRUE(global->IsGlobal());
  EXPECT_EQ(manager.GetScope("global", false), global);
  EXPECT_EQ(manager.GetScope("Bank1", true), global);  // isGlobal replaces the name
  TScopeNode* bank = manager.GetScope("Bank1", false);
  EXPECT_EQ(bank->Text(), "Bank1");
  EXPECT_FALSE(bank->IsGlobal());
  EXPECT_EQ(manager.GetScope("BANK1", false), bank);
  TScopeNode* unnamed = manager.GetScope("", false);
  EXPECT_EQ(unnamed->ScopeName(), "");
  EXPECT_EQ(manager.GetScope("", false), unnamed);
  EXPECT_EQ(ScopeNames(manager), (std::vector<std::string>{"Global", "Bank1", ""}));
  EXPECT_EQ(manager.FindScopeByName("gLoBaL"), global);
  EXPECT_EQ(manager.FindScopeByName("Bank2"), nullptr);
  EXPECT_EQ(manager.GlobalScope(), global);
}

TEST(ScopeManagerTest, AddedScopeOfAKnownNameIsDroppedForTheExistingOne) {
  TScopeManager manager;
  TScopeNode* bank = manager.GetScope("Bank1", false);
  auto duplicate = std::make_unique<TScopeNode>(&manager, false, "bank1");
  auto line = MakeLine(5);
  duplicate->AppendScopedOffset("5", line.get());
  EXPECT_EQ(manager.AddScope(std::move(duplicate)), bank);
  EXPECT_EQ(line->Scope(), nullptr);  // the dropped node leaves no line pointing at it
  EXPECT_EQ(manager.FindScope(*line, false), nullptr);
  EXPECT_EQ(manager.Scopes().size(), 1u);
  // A node of a new name comes with the keys it already lists.
  auto fresh = std::make_unique<TScopeNode>(&manager, false, "Bank2");
  fresh->AppendScopedOffset("5", nullptr);
  TScopeNode* added = manager.AddScope(std::move(fresh));
  EXPECT_EQ(ScopeNames(manager), (std::vector<std::string>{"Bank1", "Bank2"}));
  EXPECT_EQ(manager.FindScope(*line, false), added);
}

// --- the scope of a line -----------------------------------------------------------------

TEST(ScopeManagerTest, KeyInTwoScopesBelongsToTheScopeCreatedFirst) {
  TScopeManager manager;
  TScopeNode* first = manager.GetScope("First", false);
  TScopeNode* global = manager.GetScope("Global", true);
  TScopeNode* second = manager.GetScope("Second", false);
  second->AppendScopedOffset("32768", nullptr);
  first->AppendScopedOffset("32768", nullptr);
  auto line = MakeLine(0x8000);
  EXPECT_EQ(manager.FindScope(*line, false), first);
  // Without the key the line goes to Global.
  auto unlisted = MakeLine(0x9000);
  EXPECT_EQ(manager.FindScope(*unlisted, false), global);
  // Code cache lookups use the key with "_cc", ignoring its case.
  EXPECT_EQ(manager.FindScope(*line, true), global);
  second->AppendScopedOffset("32768_CC", nullptr);
  EXPECT_EQ(manager.FindScope(*line, true), second);
}

TEST(ScopeManagerTest, LineWithoutAListedKeyGetsTheLastGlobalScopeOrNone) {
  TScopeManager manager;
  auto line = MakeLine(1);
  EXPECT_EQ(manager.FindScope(*line, false), nullptr);
  manager.GetScope("Bank1", false);
  EXPECT_EQ(manager.FindScope(*line, false), nullptr);
  // A second scope with IsGlobal can only come from outside (a file); the last one counts.
  TScopeNode* a = manager.AddScope(std::make_unique<TScopeNode>(&manager, true, "Global"));
  TScopeNode* b = manager.AddScope(std::make_unique<TScopeNode>(&manager, true, "AlsoGlobal"));
  EXPECT_NE(a, b);
  EXPECT_EQ(manager.FindScope(*line, false), b);
}

TEST(ScopeManagerTest, KeyLeavingAScopeNoLongerClaimsTheLine) {
  TScopeManager manager;
  TScopeNode* global = manager.GetScope("Global", true);
  TScopeNode* bank = manager.GetScope("Bank1", false);
  auto line = MakeLine(0x8000);
  line->AttachScope(bank);
  EXPECT_EQ(manager.FindScope(*line, false), bank);
  line->AttachScope(global);
  // Global was created first and now lists the key itself.
  EXPECT_EQ(manager.FindScope(*line, false), global);
  line->AttachScope(nullptr);
  EXPECT_TRUE(global->ScopedOffsets().Empty());
  EXPECT_EQ(manager.FindScope(*line, false), global);
}

// --- adding mappings ---------------------------------------------------------------------

TEST(ScopeManagerTest, AddressIndexKeepsTextsApartAndIgnoresCase) {
  TScopeManager manager;
  TScopeNode* bank1 = manager.GetScope("Bank1", false);
  TScopeNode* bank2 = manager.GetScope("Bank2", false);
  TMappingNode* shortText = manager.AddMapping(bank1, "A", "$8000");
  TMappingNode* longText = manager.AddMapping(bank1, "B", "$008000");
  TMappingNode* again = manager.AddMapping(bank1, "C", "$8000");  // no duplicate check
  TMappingNode* elsewhere = manager.AddMapping(bank2, "D", "$7E0010");
  TMappingNode* upper = manager.AddMapping(bank1, "E", "$7e0010");
  EXPECT_EQ(bank1->Mappings().size(), 4u);
  ASSERT_NE(manager.FindAddressList("$8000"), nullptr);
  EXPECT_EQ(*manager.FindAddressList("$8000"), (std::vector<TMappingNode*>{shortText, again}));
  EXPECT_EQ(*manager.FindAddressList("$008000"), (std::vector<TMappingNode*>{longText}));
  EXPECT_EQ(*manager.FindAddressList("$7E0010"), (std::vector<TMappingNode*>{elsewhere, upper}));
  EXPECT_EQ(manager.FindAddressList(""), nullptr);
  EXPECT_EQ(manager.FindAddressList("32768"), nullptr);
}

TEST(ScopeManagerTest, MappingReadFromAFileIsSkippedWhenItsValueIsPresent) {
  TScopeManager manager;
  TScopeNode* bank = manager.GetScope("Bank1", false);
  TMappingNode* first = manager.AddMappingFromXml(bank, "Reset", "$8000");
  EXPECT_EQ(manager.AddMappingFromXml(bank, "Start", "32768"), first);
  EXPECT_EQ(bank->Mappings().size(), 1u);
  EXPECT_EQ(first->Address(), "$8000");
  EXPECT_EQ(first->MappingName(), "Reset");
  EXPECT_TRUE(Contains(manager.FindAddressList("$8000"), first));
  EXPECT_EQ(manager.FindAddressList("32768"), nullptr);
  // Another scope has its own values.
  TScopeNode* other = manager.GetScope("Bank2", false);
  EXPECT_NE(manager.AddMappingFromXml(other, "Start", "32768"), first);
  EXPECT_THROW(manager.AddMappingFromXml(bank, "Bad", "Player"), EConvertError);
  EXPECT_EQ(bank->Mappings().size(), 1u);
}

TEST(ScopeManagerTest, OperandMappingReadFromAFileIsSkippedWhenItsTextIsPresent) {
  TScopeManager manager;
  TScopeNode* bank = manager.GetScope("Bank1", false);
  TMappingNode* mode = manager.AddMappingFromXml(bank, "MODE", "#$12");
  EXPECT_EQ(manager.AddMappingFromXml(bank, "MODE2", "#$12"), mode);
  EXPECT_NE(manager.AddMappingFromXml(bank, "INDEXED", "$12,x"), mode);
  EXPECT_EQ(bank->Mappings().size(), 2u);
}

// --- deleting mappings -------------------------------------------------------------------

class DeleteMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    global = manager.GetScope("Global", true);
    bank = manager.GetScope("Bank1", false);
  }

  TScopeManager manager;
  TScopeNode* global = nullptr;
  TScopeNode* bank = nullptr;
};

TEST_F(DeleteMappingTest, OnlyMappingOfAScopeGivesItsLinesToGlobal) {
  TMappingNode* data = manager.AddMapping(bank, "PlayerX", "$7E0010");
  TMappingNode* globalData = manager.AddMapping(global, "Shared", "$7E0010");
  auto load = MakeTargetLine(0x8000, 0x7E0010);
  auto cached = MakeLine(0x8000, true);
  auto plain = MakeLine(0x8010);
  bank->AppendScopedOffset("100", nullptr);
  for (auto* l : {load.get(), cached.get(), plain.get()}) l->AttachScope(bank);
  bank->AppendScopedOffset("200", nullptr);
  EXPECT_EQ(load->TargetRef(), data);
  load->SetOffsetLabel(data);

  manager.DeleteMapping(data);

  EXPECT_EQ(ScopeNames(manager), (std::vector<std::string>{"Global"}));
  EXPECT_EQ(manager.FindScopeByName("Bank1"), nullptr);
  EXPECT_EQ(Keys(*global), (std::vector<std::string>{"32768", "32768_cc", "32784"}));
  for (auto* l : {load.get(), cached.get(), plain.get()}) EXPECT_EQ(l->Scope(), global);
  // Moving re-resolves the target in Global; no reference to the deleted node is left.
  EXPECT_EQ(load->TargetRef(), globalData);
  EXPECT_EQ(load->OffsetLabel(), nullptr);
  EXPECT_EQ(*manager.FindAddressList("$7E0010"), (std::vector<TMappingNode*>{globalData}));
  // The keys that had no line are gone, with the scope that listed them.
  auto stray = MakeLine(100);
  EXPECT_EQ(manager.FindScope(*stray, false), global);
}

TEST_F(DeleteMappingTest, ScopeWithMappingsLeftStays) {
  TMappingNode* a = manager.AddMapping(bank, "A", "$10");
  TMappingNode* b = manager.AddMapping(bank, "B", "$20");
  auto line = MakeLine(1);
  line->AttachScope(bank);
  line->SetOperandRef(a);
  manager.DeleteMapping(a);
  EXPECT_EQ(line->OperandRef(), nullptr);
  EXPECT_EQ(line->Scope(), bank);
  EXPECT_EQ(bank->Mappings().size(), 1u);
  EXPECT_EQ(bank->Mappings().front().get(), b);
  EXPECT_TRUE(manager.FindAddressList("$10")->empty());
  EXPECT_EQ(bank->FindMappingByOffset(0x10), nullptr);
}

TEST_F(DeleteMappingTest, LastMappingOfGlobalKeepsGlobalWithItsLines) {
  TMappingNode* only = manager.AddMapping(global, "A", "$10");
  auto line = MakeTargetLine(0x8000, 0x10);
  line->AttachScope(global);
  EXPECT_EQ(line->TargetRef(), only);
  manager.DeleteMapping(only);
  EXPECT_EQ(ScopeNames(manager), (std::vector<std::string>{"Global", "Bank1"}));
  EXPECT_EQ(line->Scope(), global);
  EXPECT_EQ(line->TargetRef(), nullptr);
  EXPECT_EQ(Keys(*global), (std::vector<std::string>{"32768"}));
  EXPECT_EQ(manager.FindScope(*line, false), global);
}

TEST_F(DeleteMappingTest, EveryKindOfReferenceIsCleared) {
  TMappingNode* mapping = manager.AddMapping(bank, "A", "$10");
  std::vector<std::unique_ptr<TTraceFileLine>> lines;
  for (int i = 0; i < 10; ++i) {
    lines.push_back(MakeLine(i));
    lines.back()->SetTargetRef(mapping);
    lines.back()->SetOperandRef(mapping);
    lines.back()->SetOffsetLabel(mapping);
  }
  TMappingNode* keep = manager.AddMapping(bank, "B", "$20");
  lines[3]->SetOperandRef(keep);
  manager.DeleteMapping(mapping);
  for (const auto& line : lines) {
    EXPECT_EQ(line->TargetRef(), nullptr);
    EXPECT_EQ(line->OffsetLabel(), nullptr);
  }
  EXPECT_EQ(lines[3]->OperandRef(), keep);
  ASSERT_EQ(keep->Referrers().size(), 1u);
  // The lines can take new references without touching the freed node.
  lines[0]->SetTargetRef(keep);
  EXPECT_EQ(keep->Referrers().size(), 2u);
}

TEST_F(DeleteMappingTest, LineThatLostItsKeyStillGetsAScopeWhenItsScopeGoes) {
  TMappingNode* mapping = manager.AddMapping(bank, "A", "$10");
  auto original = MakeLine(0x8000);
  original->AttachScope(bank);
  auto copy = MakeLine(0x8000);
  copy->AttachScope(bank);  // takes over the key
  manager.DeleteMapping(mapping);
  EXPECT_EQ(copy->Scope(), global);
  EXPECT_EQ(original->Scope(), global);
  original->AttachScope(nullptr);  // leaves without disturbing the copy's entry
  EXPECT_EQ(Keys(*global), (std::vector<std::string>{"32768"}));
  EXPECT_EQ(global->ScopedOffsets().At(global->ScopedOffsets().First()).Line, copy.get());
}

TEST_F(DeleteMappingTest, WithoutAGlobalScopeTheLinesLoseTheirScope) {
  TScopeManager bare;
  TScopeNode* scope = bare.GetScope("Bank1", false);
  TMappingNode* mapping = bare.AddMapping(scope, "A", "$10");
  auto line = MakeLine(1);
  line->AttachScope(scope);
  bare.DeleteMapping(mapping);
  EXPECT_TRUE(bare.Scopes().empty());
  EXPECT_EQ(line->Scope(), nullptr);
  EXPECT_EQ(bare.FindScope(*line, false), nullptr);
}

TEST_F(DeleteMappingTest, MappingOfAnotherManagerIsLeftAlone) {
  TScopeManager otherManager;
  TScopeNode* scope = otherManager.GetScope("Bank1", false);
  TMappingNode* mapping = otherManager.AddMapping(scope, "A", "$10");
  manager.DeleteMapping(mapping);
  manager.DeleteMapping(nullptr);
  EXPECT_EQ(scope->Mappings().size(), 1u);
}

// --- lines that go away ------------------------------------------------------------------

TEST(ScopeManagerTest, ForgottenLineLeavesEveryListAndKeepsItsKey) {
  TScopeManager manager;
  TScopeNode* bank = manager.GetScope("Bank1", false);
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
    EXPECT_EQ(goes->Scope(), nullptr);
    EXPECT_EQ(goes->TargetRef(), nullptr);
  }
  EXPECT_EQ(Keys(*bank), (std::vector<std::string>{"1"}));
  EXPECT_EQ(bank->ScopedOffsets().At(0).Line, nullptr);
  ASSERT_EQ(a->Referrers().size(), 1u);
  EXPECT_EQ(a->Referrers()[0].Line, stays.get());
  EXPECT_TRUE(b->Referrers().empty());
  // Deleting the mappings and the scope must not reach the freed line.
  manager.DeleteMapping(a);
  manager.DeleteMapping(b);
  EXPECT_TRUE(manager.Scopes().empty());
  EXPECT_EQ(stays->TargetRef(), nullptr);
}

TEST(ScopeManagerTest, ClearDetachesEveryLine) {
  TScopeManager manager;
  TScopeNode* bank = manager.GetScope("Bank1", false);
  TMappingNode* a = manager.AddMapping(bank, "A", "$10");
  auto line = MakeTargetLine(1, 0x10);
  line->AttachScope(bank);
  ASSERT_EQ(line->TargetRef(), a);
  manager.Clear();
  EXPECT_TRUE(manager.Scopes().empty());
  EXPECT_EQ(line->Scope(), nullptr);
  EXPECT_EQ(line->TargetRef(), nullptr);
  EXPECT_EQ(manager.FindScope(*line, false), nullptr);
  EXPECT_EQ(manager.FindAddressList("$10"), nullptr);
  line->AttachScope(manager.GetScope("Global", true));
  EXPECT_EQ(manager.FindScope(*line, false), manager.GlobalScope());
}

// --- offset labels through the sub-manager -----------------------------------------------

class FixedLabels : public TScopeManager {
 public:
  TMappingNode* FindMapping(int64_t offset, int64_t) override {
    return offset == 0x8000 ? label : nullptr;
  }
  TMappingNode* label = nullptr;
};

class WithLabels : public TScopeManager {
 public:
  std::unique_ptr<TScopeManager> CreateSubManager() override {
    return std::make_unique<FixedLabels>();
  }
};

TEST(ScopeManagerTest, OffsetLabelComesFromTheSubManagerExceptForComments) {
  WithLabels manager;
  manager.Init();
  auto* labels = static_cast<FixedLabels*>(manager.SubManager());
  ASSERT_NE(labels, nullptr);
  TScopeNode* root = labels->GetScope("Global", true);
  labels->label = labels->AddMapping(root, "Reset", "$8000");
  auto line = MakeLine(0x8000);
  auto comment = MakeLine(0x8000);
  comment->SetIsComment(true);
  manager.AssignOffsetLabel(*line);
  manager.AssignOffsetLabel(*comment);
  EXPECT_EQ(line->OffsetLabel(), labels->label);
  EXPECT_EQ(comment->OffsetLabel(), nullptr);
  // The base manager has no sub-manager and assigns nothing.
  TScopeManager plain;
  plain.Init();
  EXPECT_EQ(plain.SubManager(), nullptr);
  plain.AssignOffsetLabel(*line);
  EXPECT_EQ(line->OffsetLabel(), labels->label);
}

}  // namespace
}  // namespace orvanel
