// Scope nodes on their own: the key list, the mapping lookups and the referrer lists.
#include "Scope.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Errors.h"

namespace orvanel {
namespace {

std::unique_ptr<TTraceFileLine> MakeLine(int64_t offset, bool codeCache = false) {
  auto line = std::make_unique<TTraceFileLine>();
  line->SetOffset(offset);
  line->SetFlag(lfIsCodeCacheLine, codeCache);
  return line;
}

std::vector<std::string> Keys(const TScopeNode& scope) {
  std::vector<std::string> keys;
  scope.ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) { keys.push_back(e.Key); });
  return keys;
}

std::vector<const TTraceFileLine*> Lines(const TScopeNode& scope) {
  std::vector<const TTraceFileLine*> lines;
  scope.ScopedOffsets().ForEach([&](const TScopedOffsets::Entry& e) { lines.push_back(e.Line); });
  return lines;
}

// Every referrer entry must be found again through the slot its line remembers.
void ExpectSlotsConsistent(const TMappingNode& mapping) {
  const auto& referrers = mapping.Referrers();
  for (size_t i = 0; i < referrers.size(); ++i) {
    const TReferrer& r = referrers[i];
    EXPECT_EQ(r.Line->referrerSlot_[static_cast<int>(r.Kind)], i);
    EXPECT_EQ(r.Line->Ref(r.Kind), &mapping);
  }
}

class ScopeTest : public ::testing::Test {
 protected:
  TScopeManager manager;
  TScopeNode* scope = manager.GetScope("Bank1", false);
  TScopeNode* other = manager.GetScope("Bank2", false);
};

// --- numeric values ----------------------------------------------------------------------

TEST(MappingNodeTest, NumericValueOfAddressAndOperandTexts) {
  EXPECT_EQ(TMappingNode("a", "$8000").NumericAddress(), 0x8000);
  EXPECT_EQ(TMappingNode("a", "$008000").NumericAddress(), 0x8000);
  EXPECT_EQ(TMappingNode("a", "32768").NumericAddress(), 0x8000);
  EXPECT_EQ(TMappingNode("a", "$7e0010").NumericAddress(), 0x7E0010);
  // Operand texts have the value 0, whatever else they hold.
  EXPECT_EQ(TMappingNode("a", "#$12").NumericAddress(), 0);
  EXPECT_EQ(TMappingNode("a", "$12,x").NumericAddress(), 0);
  EXPECT_EQ(TMappingNode("a", "[$10]").NumericAddress(), 0);
  EXPECT_EQ(TMappingNode("a", "junk#").NumericAddress(), 0);
  EXPECT_EQ(TMappingNode("Player", "$7E0010").Text(), "Player=$7E0010");
}

TEST(MappingNodeTest, TextThatIsNoNumberFailsWithTheConversionMessage) {
  TMappingNode mapping("a", "PlayerX");
  EXPECT_FALSE(mapping.TryNumericAddress().has_value());
  try {
    mapping.NumericAddress();
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'PlayerX' is not a valid integer value");
  }
  EXPECT_THROW(TMappingNode("a", "").NumericAddress(), EConvertError);
  EXPECT_THROW(TMappingNode("a", "$").NumericAddress(), EConvertError);
}

// --- mapping lookups ---------------------------------------------------------------------

TEST_F(ScopeTest, ShortAndLongHexTextsAreDifferentTextsOfOneValue) {
  TMappingNode* shortText = manager.AddMapping(scope, "A", "$8000");
  TMappingNode* longText = manager.AddMapping(scope, "B", "$008000");
  EXPECT_EQ(scope->FindMappingByOffset(0x8000), shortText);
  EXPECT_EQ(scope->FindMappingByText("$008000"), longText);
  EXPECT_EQ(scope->FindMappingByText("$8000"), shortText);
  EXPECT_EQ(scope->FindMappingByOffset(0x8001), nullptr);
  // Removing the first leaves the second as the first of that value.
  scope->RemoveChild(shortText);
  EXPECT_EQ(scope->FindMappingByOffset(0x8000), longText);
  EXPECT_EQ(scope->FindMappingByText("$8000"), nullptr);
}

TEST_F(ScopeTest, TextSearchOfMappingsCountsLetterCase) {
  TMappingNode* upper = manager.AddMapping(scope, "A", "$7E0010");
  EXPECT_EQ(scope->FindMappingByText("$7e0010"), nullptr);
  EXPECT_EQ(scope->FindMappingByText("$7E0010"), upper);
  EXPECT_EQ(scope->FindMappingByOffset(0x7E0010), upper);
}

TEST_F(ScopeTest, OperandTextIsFoundForOffsetZero) {
  TMappingNode* mode = manager.AddMapping(scope, "MODE_TITLE", "#$12");
  EXPECT_EQ(scope->FindMappingByOffset(0), mode);
  EXPECT_EQ(scope->FindMappingByOffset(0x12), nullptr);
  EXPECT_EQ(scope->FindMappingByText("#$12"), mode);
}

TEST_F(ScopeTest, MappingThatIsNoNumberStopsTheSearchOnlyBeforeTheMatch) {
  TMappingNode* first = manager.AddMapping(scope, "A", "$10");
  manager.AddMapping(scope, "Bad", "Player");
  TMappingNode* third = manager.AddMapping(scope, "C", "$20");
  EXPECT_EQ(scope->FindMappingByOffset(0x10), first);
  EXPECT_THROW(scope->FindMappingByOffset(0x20), EConvertError);
  EXPECT_THROW(scope->FindMappingByOffset(0x30), EConvertError);
  // The text search does not convert anything.
  EXPECT_EQ(scope->FindMappingByText("$20"), third);
  EXPECT_NE(scope->FindMappingByText("Player"), nullptr);
  scope->RemoveChild(scope->FindMappingByText("Player"));
  EXPECT_EQ(scope->FindMappingByOffset(0x20), third);
  EXPECT_EQ(scope->FindMappingByOffset(0x30), nullptr);
}

// --- the key list ------------------------------------------------------------------------

TEST_F(ScopeTest, LaterLineOfAnOffsetTakesOverTheKey) {
  auto a = MakeLine(32768), b = MakeLine(32768), cached = MakeLine(32768, true);
  a->AttachScope(scope);
  b->AttachScope(scope);
  cached->AttachScope(scope);
  EXPECT_EQ(Keys(*scope), (std::vector<std::string>{"32768", "32768_cc"}));
  EXPECT_EQ(Lines(*scope), (std::vector<const TTraceFileLine*>{b.get(), cached.get()}));
  // The line that lost its entry leaving the scope takes nothing with it.
  a->AttachScope(other);
  EXPECT_EQ(Lines(*scope), (std::vector<const TTraceFileLine*>{b.get(), cached.get()}));
  EXPECT_EQ(Keys(*other), (std::vector<std::string>{"32768"}));
}

TEST_F(ScopeTest, LineTakesTheEntryReadWithoutALine) {
  scope->AppendScopedOffset("100", nullptr);
  scope->AppendScopedOffset("32768_CC", nullptr);
  scope->AppendScopedOffset("200", nullptr);
  auto line = MakeLine(32768, true);
  line->AttachScope(scope);
  EXPECT_EQ(Keys(*scope), (std::vector<std::string>{"100", "32768_CC", "200"}));
  EXPECT_EQ(Lines(*scope)[1], line.get());
  EXPECT_EQ(scope->ScopedOffsets().Count(), 3u);
}

TEST_F(ScopeTest, DuplicateKeysAreKeptAndTheFirstLiveOneIsFound) {
  scope->AppendScopedOffset("5", nullptr);
  scope->AppendScopedOffset("5", nullptr);
  auto line = MakeLine(5);
  line->AttachScope(scope);
  EXPECT_EQ(scope->ScopedOffsets().Find("5"), 0u);
  EXPECT_EQ(Lines(*scope), (std::vector<const TTraceFileLine*>{line.get(), nullptr}));
  // Leaving removes the line's own entry; the duplicate stays and becomes the one found.
  line->AttachScope(nullptr);
  EXPECT_EQ(Keys(*scope), (std::vector<std::string>{"5"}));
  ASSERT_NE(scope->ScopedOffsets().Find("5"), TScopedOffsets::npos);
  line->AttachScope(scope);
  EXPECT_EQ(Lines(*scope), (std::vector<const TTraceFileLine*>{line.get()}));
}

TEST_F(ScopeTest, ReattachingToTheSameScopeMovesTheKeyToTheEnd) {
  auto a = MakeLine(1), b = MakeLine(2);
  a->AttachScope(scope);
  b->AttachScope(scope);
  a->AttachScope(scope);
  EXPECT_EQ(Keys(*scope), (std::vector<std::string>{"2", "1"}));
}

TEST_F(ScopeTest, ManyLinesLeavingKeepOrderAndLookups) {
  std::vector<std::unique_ptr<TTraceFileLine>> lines;
  for (int i = 0; i < 1000; ++i) {
    lines.push_back(MakeLine(i));
    lines.back()->AttachScope(scope);
  }
  std::vector<int> order(1000);
  for (int i = 0; i < 1000; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  std::vector<bool> gone(1000, false);
  for (int n = 0; n < 950; ++n) {
    lines[order[n]]->AttachScope(other);
    gone[order[n]] = true;
  }
  std::vector<std::string> expected;
  for (int i = 0; i < 1000; ++i)
    if (!gone[i]) expected.push_back(std::to_string(i));
  EXPECT_EQ(Keys(*scope), expected);
  EXPECT_EQ(Keys(*scope).front(), expected.front());
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(scope->HoldsOffset(i), !gone[i]) << i;
  // The remaining lines still find their own entries.
  for (int i = 0; i < 1000; ++i)
    if (!gone[i]) lines[i]->AttachScope(other);
  EXPECT_TRUE(scope->ScopedOffsets().Empty());
  EXPECT_EQ(other->ScopedOffsets().Count(), 1000u);
  EXPECT_EQ(manager.FindScope(*lines[order[0]], false), other);
}

TEST_F(ScopeTest, HoldsCountsOnlyThePlainDecimalKey) {
  auto cached = MakeLine(0x8000, true);
  cached->AttachScope(scope);
  EXPECT_FALSE(scope->HoldsOffset(0x8000));
  EXPECT_FALSE(scope->HoldsLine(*cached));
  scope->AppendScopedOffset("32768", nullptr);
  EXPECT_TRUE(scope->HoldsOffset(0x8000));
  EXPECT_TRUE(scope->HoldsLine(*cached));
}

TEST_F(ScopeTest, StartAndEndLineSkipKeysWithoutLinesAndPreferTheEarlierEntry) {
  EXPECT_EQ(scope->StartLine(), nullptr);
  EXPECT_EQ(scope->EndLine(), nullptr);
  scope->AppendScopedOffset("1", nullptr);
  EXPECT_EQ(scope->StartLine(), nullptr);
  auto mid = MakeLine(50), low = MakeLine(10), lowCached = MakeLine(10, true), high = MakeLine(90);
  auto highCached = MakeLine(90, true);
  for (auto* l : {mid.get(), low.get(), lowCached.get(), high.get(), highCached.get()})
    l->AttachScope(scope);
  EXPECT_EQ(scope->StartLine(), low.get());
  EXPECT_EQ(scope->EndLine(), high.get());
}

TEST_F(ScopeTest, ForgottenLineLeavesItsKeyBehind) {
  auto line = MakeLine(7);
  line->AttachScope(scope);
  scope->ForgetLine(line.get());
  EXPECT_EQ(Keys(*scope), (std::vector<std::string>{"7"}));
  EXPECT_EQ(Lines(*scope), (std::vector<const TTraceFileLine*>{nullptr}));
  EXPECT_EQ(manager.FindScope(*line, false), scope);
}

// --- referrers ---------------------------------------------------------------------------

TEST_F(ScopeTest, ReferrersStayFindableThroughRemovalsInAnyOrder) {
  TMappingNode* mapping = manager.AddMapping(scope, "A", "$10");
  std::vector<std::unique_ptr<TTraceFileLine>> lines;
  for (int i = 0; i < 40; ++i) {
    lines.push_back(MakeLine(i));
    lines.back()->SetTargetRef(mapping);
    if (i % 3 == 0) lines.back()->SetOperandRef(mapping);
    if (i % 4 == 0) lines.back()->SetOffsetLabel(mapping);
  }
  ExpectSlotsConsistent(*mapping);
  std::mt19937 random(3);
  std::vector<int> order(40);
  for (int i = 0; i < 40; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), random);
  for (int i : order) {
    lines[i]->SetTargetRef(nullptr);
    ExpectSlotsConsistent(*mapping);
    if (i % 2 == 0) {
      lines[i]->SetOperandRef(nullptr);
      ExpectSlotsConsistent(*mapping);
    }
  }
  for (const TReferrer& r : mapping->Referrers()) EXPECT_NE(r.Kind, TRefKind::TargetRef);
  mapping->ClearReferrers();
  EXPECT_TRUE(mapping->Referrers().empty());
  for (const auto& line : lines) {
    EXPECT_EQ(line->OperandRef(), nullptr);
    EXPECT_EQ(line->OffsetLabel(), nullptr);
  }
}

TEST_F(ScopeTest, AttachingTakesTheScopesMappingOfTargetOrOperand) {
  TMappingNode* data = manager.AddMapping(scope, "PlayerX", "$7E0010");
  TMappingNode* mode = manager.AddMapping(scope, "MODE", "#$12");
  auto load = MakeLine(0x8000);
  load->SetHasTarget(true);
  load->SetTargetOffset(0x7E0010);
  auto immediate = MakeLine(0x8003);
  immediate->SetOperand("#$12");
  immediate->SetFlag(lfHasOperand, true);
  load->AttachScope(scope);
  immediate->AttachScope(scope);
  EXPECT_EQ(load->TargetRef(), data);
  EXPECT_EQ(immediate->OperandRef(), mode);
  // A scope without such mappings clears the references again.
  load->AttachScope(other);
  immediate->AttachScope(other);
  EXPECT_EQ(load->TargetRef(), nullptr);
  EXPECT_EQ(immediate->OperandRef(), nullptr);
  EXPECT_TRUE(data->Referrers().empty());
  EXPECT_TRUE(mode->Referrers().empty());
}

}  // namespace
}  // namespace orvanel
