#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "LiteralOffsetIndex.h"
#include "tree/OffsetIndex.h"

namespace orvanel {
namespace {

using test::SnesFallsThrough;
using test::TLiteralIndex;

struct TLineShape {
  int64_t offset = 0;
  int32_t opcode = 0xEA;
  uint8_t length = 1;
  int64_t target = 0;
  bool comment = false;
};

std::unique_ptr<TTraceFileLine> MakeLine(const TLineShape& shape) {
  auto line = std::make_unique<TTraceFileLine>();
  line->SetOffset(shape.offset);
  line->SetOpcodeVal(shape.opcode);
  line->SetOpcodeLen(shape.length);
  line->SetTargetOffset(shape.target);
  line->SetIsComment(shape.comment);
  return line;
}

// Lines made for one test; the index owns nothing.
class OffsetIndexTest : public ::testing::Test {
 protected:
  TTraceFileLine* Line(int64_t offset, int32_t opcode = 0xEA, uint8_t length = 1,
                       int64_t target = 0) {
    lines_.push_back(MakeLine({offset, opcode, length, target, false}));
    return lines_.back().get();
  }
  TTraceFileLine* Comment(int64_t offset = 0) {
    lines_.push_back(MakeLine({offset, 0, 0, 0, true}));
    return lines_.back().get();
  }

  TOffsetIndex index_{SnesFallsThrough};

 private:
  std::vector<std::unique_ptr<TTraceFileLine>> lines_;
};

using Order = std::vector<TTraceFileLine*>;

TEST_F(OffsetIndexTest, AKnownAddressGivesTheRecordAlreadyThere) {
  TTraceFileLine* first = Line(0x8000, 0xEA, 1);
  TTraceFileLine* next = Line(0x8001);
  EXPECT_EQ(index_.Register(first), first);
  EXPECT_EQ(index_.Register(next), next);
  TTraceFileLine* again = Line(0x8000, 0xEA, 1, 0x8001);
  EXPECT_EQ(index_.Register(again), first);
  EXPECT_EQ(index_.Register(first), first);
  EXPECT_EQ(index_.Count(), 2u);
  EXPECT_EQ(index_.InOrder(), (Order{first, next}));
  EXPECT_EQ(again->Successor(), nullptr);
  EXPECT_EQ(again->TargetNode(), nullptr);
  EXPECT_EQ(index_.Find(0x8000), first);
}

TEST_F(OffsetIndexTest, TheFrontLineTakesTheNextRecordAsSuccessorWithoutTests) {
  TTraceFileLine* alone = Line(0x9000);
  index_.Register(alone);
  EXPECT_EQ(alone->Successor(), nullptr);

  // Not adjacent, and a return: the front place links all the same, but sets no target.
  TTraceFileLine* front = Line(0x8000, 0x60, 1, 0x9000);
  EXPECT_EQ(index_.Register(front), front);
  EXPECT_EQ(front->Successor(), alone);
  EXPECT_EQ(front->TargetNode(), nullptr);
  EXPECT_EQ(index_.InOrder(), (Order{front, alone}));
}

TEST_F(OffsetIndexTest, AReturnHasNoSuccessorOtherInstructionsReachTheirNeighbour) {
  for (int32_t opcode : {0x40, 0x60, 0x6B}) {
    TOffsetIndex index(SnesFallsThrough);
    TTraceFileLine* head = Line(0x7000);
    TTraceFileLine* ret = Line(0x8000, opcode, 1);
    TTraceFileLine* after = Line(0x8001);
    index.Register(head);
    index.Register(ret);
    index.Register(after);
    EXPECT_EQ(ret->Successor(), nullptr) << opcode;
    // The same from the other side: the return registered after its neighbour.
    TTraceFileLine* later = Line(0x9001);
    TTraceFileLine* ret2 = Line(0x9000, opcode, 1);
    index.Register(later);
    index.Register(ret2);
    EXPECT_EQ(ret2->Successor(), nullptr) << opcode;
  }

  TTraceFileLine* head = Line(0x7000);
  TTraceFileLine* jsr = Line(0x8000, 0x20, 3, 0x8003);
  TTraceFileLine* next = Line(0x8003);
  TTraceFileLine* lda = Line(0x8010, 0xA9, 2);
  TTraceFileLine* gapAfterLda = Line(0x8013);
  index_.Register(head);
  index_.Register(next);
  index_.Register(jsr);  // linked to the record after it
  index_.Register(lda);
  index_.Register(gapAfterLda);
  EXPECT_EQ(jsr->Successor(), next);
  EXPECT_EQ(head->Successor(), nullptr);  // $7000 + 1 is not $8000
  EXPECT_EQ(lda->Successor(), nullptr);   // $8010 + 2 misses $8013
}

TEST_F(OffsetIndexTest, ATargetEqualToANewNeighbourIsLinkedForAnyInstruction) {
  TTraceFileLine* head = Line(0x7000);
  TTraceFileLine* load = Line(0x8000, 0xAD, 3, 0x8100);  // a load, no branch
  index_.Register(head);
  index_.Register(load);
  TTraceFileLine* data = Line(0x8100);
  index_.Register(data);
  EXPECT_EQ(load->TargetNode(), data);
  EXPECT_EQ(load->Successor(), nullptr);

  // The new line looks at the record after it.
  TTraceFileLine* far = Line(0x9000);
  index_.Register(far);
  TTraceFileLine* branch = Line(0x8200, 0xD0, 2, 0x9000);
  index_.Register(branch);
  EXPECT_EQ(branch->TargetNode(), far);

  // A return never links, not even its target.
  TTraceFileLine* ret = Line(0x9100, 0x60, 1, 0x9200);
  index_.Register(ret);
  TTraceFileLine* behindReturn = Line(0x9200);
  index_.Register(behindReturn);
  EXPECT_EQ(ret->TargetNode(), nullptr);
  // Only the next record counts: a target two records away is not linked.
  TTraceFileLine* jump = Line(0x8300, 0x4C, 3, 0x9100);
  index_.Register(jump);
  EXPECT_EQ(jump->TargetNode(), nullptr);
}

TEST_F(OffsetIndexTest, CommentRecordsStandWhereTheSearchPutsThem) {
  TTraceFileLine* c1 = Comment();
  EXPECT_EQ(index_.Register(c1), c1);
  EXPECT_EQ(index_.Find(0), c1);

  // A new address takes the comments before it; a second comment goes after the first.
  TTraceFileLine* a = Line(0x8000);
  index_.Register(a);
  TTraceFileLine* c2 = Comment();
  index_.Register(c2);
  EXPECT_EQ(index_.InOrder(), (Order{c1, c2, a}));
  // c2 stands right before $8000; its zero target and length do not reach it.
  EXPECT_EQ(c2->Successor(), nullptr);

  // A lower address is placed before $8000, after the comments.
  TTraceFileLine* low = Line(0x7000);
  index_.Register(low);
  EXPECT_EQ(index_.InOrder(), (Order{c1, c2, low, a}));
  TTraceFileLine* c3 = Comment(0x7FFF);
  c3->SetOpcodeLen(1);
  c3->SetTargetOffset(0x8000);
  index_.Register(c3);
  EXPECT_EQ(index_.InOrder(), (Order{c1, c2, low, c3, a}));
  // A comment counts as falling through: $7FFF + 1 reaches $8000, its target too.
  EXPECT_EQ(c3->Successor(), a);
  EXPECT_EQ(c3->TargetNode(), a);
  TTraceFileLine* a2 = Line(0x8000);
  EXPECT_EQ(index_.Register(a2), a);

  // A comment whose search stops at a record of its own offset gets that record.
  TTraceFileLine* c4 = Comment(0x8000);
  EXPECT_EQ(index_.Register(c4), a);
  EXPECT_EQ(index_.Count(), 5u);
}

TEST_F(OffsetIndexTest, AZeroTargetIsComparedAsStored) {
  // The comment is skipped by the search, so address 0 lands after it, and its target
  // field, 0 as for every line without a target, names the new line.
  TTraceFileLine* c = Comment(0x7000);
  index_.Register(c);
  TTraceFileLine* zero = Line(0);
  index_.Register(zero);
  EXPECT_EQ(index_.InOrder(), (Order{c, zero}));
  EXPECT_EQ(c->Successor(), nullptr);
  EXPECT_EQ(c->TargetNode(), zero);
}

TEST_F(OffsetIndexTest, FindGivesTheFirstRecordInListOrderCommentsIncluded) {
  EXPECT_EQ(index_.Find(0), nullptr);
  TTraceFileLine* zero = Line(0);
  index_.Register(zero);
  TTraceFileLine* c = Comment();
  EXPECT_EQ(index_.Register(c), zero);  // the comment is not inserted
  EXPECT_EQ(index_.Find(0), zero);

  TOffsetIndex index(SnesFallsThrough);
  TTraceFileLine* c1 = Comment();
  TTraceFileLine* c2 = Comment();
  index.Register(c1);
  index.Register(c2);
  TTraceFileLine* z = Line(0);
  index.Register(z);
  EXPECT_EQ(index.Find(0), c1);
  index.Remove(c1);
  EXPECT_EQ(index.Find(0), c2);
  index.Remove(c2);
  EXPECT_EQ(index.Find(0), z);

  // A comment after the record of its own offset is found after that record.
  TTraceFileLine* high = Comment(0x8000);
  index.Register(high);  // stands at the end
  TTraceFileLine* rec = Line(0x8000);
  index.Register(rec);  // takes the end gap: the comment now stands first
  EXPECT_EQ(index.Find(0x8000), high);
  TTraceFileLine* high2 = Comment(0x9000);
  index.Register(high2);
  TTraceFileLine* rec2 = Line(0x9000);
  TTraceFileLine* rec3 = Line(0x8800);
  index.Register(rec3);  // takes the end gap with high2 in it
  index.Register(rec2);  // lands after high2
  EXPECT_EQ(index.InOrder(), (Order{z, high, rec, high2, rec3, rec2}));
  EXPECT_EQ(index.Find(0x9000), high2);
}

TEST_F(OffsetIndexTest, OffsetsCompareSignedAndSumsWrap) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  TTraceFileLine* top = Comment(kMax);
  top->SetOpcodeLen(1);
  index_.Register(top);
  TTraceFileLine* bottom = Line(kMin);
  TTraceFileLine* minusOne = Line(-1, 0xEA, 1);
  TTraceFileLine* zero = Line(0);
  TTraceFileLine* last = Line(kMax, 0xEA, 255);
  index_.Register(zero);
  index_.Register(last);
  index_.Register(minusOne);
  index_.Register(bottom);
  EXPECT_EQ(index_.InOrder(), (Order{top, bottom, minusOne, zero, last}));
  EXPECT_EQ(top->Successor(), bottom);  // kMax + 1 wraps to kMin
  EXPECT_EQ(minusOne->Successor(), zero);
  EXPECT_EQ(index_.Find(kMin), bottom);
  EXPECT_EQ(index_.Find(kMax), top);
}

TEST_F(OffsetIndexTest, RemovingARecordKeepsTheOrderOfTheRest) {
  TTraceFileLine* c1 = Comment();
  TTraceFileLine* a = Line(0x8000);
  TTraceFileLine* c2 = Comment();
  TTraceFileLine* b = Line(0x8010);
  index_.Register(c1);
  index_.Register(a);
  index_.Register(c2);  // before a
  index_.Register(b);
  TTraceFileLine* c3 = Comment(0x8005);
  index_.Register(c3);  // before b
  EXPECT_EQ(index_.InOrder(), (Order{c1, c2, a, c3, b}));

  index_.Remove(a);  // its comments now stand before b
  EXPECT_EQ(index_.InOrder(), (Order{c1, c2, c3, b}));
  EXPECT_EQ(index_.Find(0x8000), nullptr);
  TTraceFileLine* a2 = Line(0x8000);
  EXPECT_EQ(index_.Register(a2), a2);
  EXPECT_EQ(index_.InOrder(), (Order{c1, c2, c3, a2, b}));

  index_.Remove(nullptr);
  index_.Remove(Line(0x8010));  // never registered
  EXPECT_EQ(index_.Count(), 5u);
  index_.Remove(b);
  index_.Remove(c2);
  EXPECT_EQ(index_.InOrder(), (Order{c1, c3, a2}));
  index_.Clear();
  EXPECT_EQ(index_.Count(), 0u);
  EXPECT_EQ(index_.Find(0), nullptr);
  EXPECT_TRUE(index_.InOrder().empty());
  TTraceFileLine* fresh = Line(0x8000);
  EXPECT_EQ(index_.Register(fresh), fresh);
  EXPECT_EQ(fresh->Successor(), nullptr);
}

TEST_F(OffsetIndexTest, ARecordThatBecomesACommentIsSkippedByLaterSearches) {
  TTraceFileLine* branch = Line(0x8000, 0xD0, 2);
  TTraceFileLine* next = Line(0x8010);
  index_.Register(branch);
  index_.Register(next);
  branch->SetIsComment(true);  // its displacement did not convert
  TTraceFileLine* again = Line(0x8000);
  EXPECT_EQ(index_.Register(again), again);
  EXPECT_EQ(index_.InOrder(), (Order{branch, again, next}));
  EXPECT_EQ(index_.Find(0x8000), branch);
  EXPECT_EQ(branch->Successor(), nullptr);  // $8000 + 2 is not $8000
}

TEST_F(OffsetIndexTest, NoRecordAndNoProjectRuleAreHandled) {
  EXPECT_EQ(index_.Register(nullptr), nullptr);
  EXPECT_EQ(index_.Count(), 0u);
  // Without a rule nothing falls through: only the front place links.
  TOffsetIndex index{std::function<bool(int32_t)>()};
  TTraceFileLine* a = Line(0x8000);
  TTraceFileLine* b = Line(0x8001);
  TTraceFileLine* c = Line(0x7000);
  index.Register(a);
  index.Register(b);
  index.Register(c);
  EXPECT_EQ(a->Successor(), nullptr);
  EXPECT_EQ(c->Successor(), a);
}

// --- the index against the plain list on long random runs ---------------------------

// One record made twice: one copy for each index, since both write links into records.
class TTwinPool {
 public:
  int Add(const TLineShape& shape) {
    const int id = static_cast<int>(literal_.size());
    literal_.push_back(MakeLine(shape));
    fast_.push_back(MakeLine(shape));
    ids_[literal_.back().get()] = id;
    ids_[fast_.back().get()] = id;
    return id;
  }
  int Size() const { return static_cast<int>(literal_.size()); }
  TTraceFileLine* Literal(int id) { return literal_[static_cast<size_t>(id)].get(); }
  TTraceFileLine* Fast(int id) { return fast_[static_cast<size_t>(id)].get(); }
  // -1 for none.
  int Id(const TTraceFileLine* line) const { return line == nullptr ? -1 : ids_.at(line); }
  std::vector<int> Ids(const std::vector<TTraceFileLine*>& lines) const {
    std::vector<int> result;
    for (const TTraceFileLine* line : lines) result.push_back(Id(line));
    return result;
  }

 private:
  std::vector<std::unique_ptr<TTraceFileLine>> literal_;
  std::vector<std::unique_ptr<TTraceFileLine>> fast_;
  std::unordered_map<const TTraceFileLine*, int> ids_;
};

struct TRunShape {
  int64_t addressRange;  // distinct addresses in use
  int operations;
};

class TRandomRun {
 public:
  TRandomRun(uint32_t seed, TRunShape shape) : random_(seed), shape_(shape) {}

  void Run() {
    for (int step = 0; step < shape_.operations; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      Step();
      if (::testing::Test::HasFailure()) return;
      if (step % 200 == 0 || step + 1 == shape_.operations) CompareAll();
      if (::testing::Test::HasFailure()) return;
    }
  }

 private:
  int64_t Pick(int64_t low, int64_t high) {
    return std::uniform_int_distribution<int64_t>(low, high)(random_);
  }
  bool Chance(int percent) { return Pick(0, 99) < percent; }
  // Wraps like the index's sums, so the extreme addresses stay defined.
  static int64_t Shift(int64_t value, int64_t by) {
    return static_cast<int64_t>(static_cast<uint64_t>(value) + static_cast<uint64_t>(by));
  }

  int64_t Address() {
    if (Chance(1)) {
      constexpr int64_t kExtremes[] = {std::numeric_limits<int64_t>::min(), -1, 0,
                                       std::numeric_limits<int64_t>::max()};
      return kExtremes[Pick(0, 3)];
    }
    return kBase + Pick(0, shape_.addressRange - 1);
  }

  TLineShape NewSpec() {
    TLineShape shape;
    const int64_t kind = Pick(0, 99);
    if (kind < 10) {
      shape.comment = true;  // from log text: offset 0
    } else if (kind < 20) {
      shape.comment = true;
      shape.offset = Address();
    } else {
      shape.offset = Address();
    }
    constexpr int32_t kOpcodes[] = {0x40, 0x60, 0x6B, 0xEA, 0x20, 0x22,
                                    0x4C, 0xD0, 0x80, 0xA9, 0xAD, 0x00};
    shape.opcode = shape.comment && Chance(70) ? 0 : kOpcodes[Pick(0, 11)];
    shape.length = static_cast<uint8_t>(Chance(3) ? Pick(0, 255) : Pick(0, 4));
    const int64_t target = Pick(0, 9);
    if (target < 3) {
      shape.target = 0;
    } else if (target < 8) {
      shape.target = Shift(shape.offset, Pick(-4, 4));  // next to a likely neighbour
    } else {
      shape.target = Address();
    }
    return shape;
  }

  int AnyRecord() { return static_cast<int>(Pick(0, pool_.Size() - 1)); }

  void Register(int id) {
    const int expected = pool_.Id(literal_.Register(pool_.Literal(id)));
    const int actual = pool_.Id(fast_.Register(pool_.Fast(id)));
    ASSERT_EQ(actual, expected) << "register " << id;
    CompareLinks(id);
  }

  void Step() {
    const int64_t op = Pick(0, 9999);
    if (op < 4000 || pool_.Size() == 0) {
      Register(pool_.Add(NewSpec()));
    } else if (op < 4800) {
      Register(AnyRecord());  // registered, discarded or removed before
    } else if (op < 8500) {
      const int64_t offset = Chance(10) ? 0 : Shift(Address(), Pick(-1, 1));
      ASSERT_EQ(pool_.Id(fast_.Find(offset)), pool_.Id(literal_.Find(offset))) << "find " << offset;
    } else if (op < 9940) {
      const int id = AnyRecord();
      literal_.Remove(pool_.Literal(id));
      fast_.Remove(pool_.Fast(id));
    } else if (op < 9995) {
      // A record (registered or not) turns into a comment.
      const int id = AnyRecord();
      pool_.Literal(id)->SetIsComment(true);
      pool_.Fast(id)->SetIsComment(true);
    } else {
      literal_.Clear();
      fast_.Clear();
    }
  }

  void CompareLinks(int id) {
    EXPECT_EQ(pool_.Id(pool_.Fast(id)->Successor()), pool_.Id(pool_.Literal(id)->Successor()))
        << "successor of " << id;
    EXPECT_EQ(pool_.Id(pool_.Fast(id)->TargetNode()), pool_.Id(pool_.Literal(id)->TargetNode()))
        << "target of " << id;
  }

  void CompareAll() {
    ASSERT_EQ(fast_.Count(), literal_.InOrder().size());
    ASSERT_EQ(pool_.Ids(fast_.InOrder()), pool_.Ids(literal_.InOrder()));
    for (int id = 0; id < pool_.Size(); ++id) CompareLinks(id);
  }

  static constexpr int64_t kBase = 0x808000;
  std::mt19937 random_;
  TRunShape shape_;
  TTwinPool pool_;
  TLiteralIndex literal_{SnesFallsThrough};
  TOffsetIndex fast_{SnesFallsThrough};
};

TEST(OffsetIndexRandomTest, GivesTheResultsOfThePlainListWalk) {
  // Few addresses: many duplicates and adjacent lines; more addresses: long gaps.
  constexpr TRunShape kShapes[] = {{8, 20000}, {40, 20000}, {300, 20000}, {3000, 20000}};
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TRandomRun(seed, kShapes[seed % 4]).Run();
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace orvanel
