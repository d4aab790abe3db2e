#pragma once
// The project's trace line records ordered by address: one record per address. Behaves
// exactly like an ordered list walked from the front (comment records included, standing
// wherever the walk put them), at logarithmic cost per call.
//
// A record keeps its Offset while it is registered. It may turn into a comment (a branch
// whose displacement does not convert): later searches skip it as they skip every comment.
// A comment record never turns back into an instruction while registered.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "records/TraceLine.h"

namespace orvanel {

class TOffsetIndex {
 public:
  // fallsThrough(opcode): whether execution can go on with the next instruction in memory.
  explicit TOffsetIndex(std::function<bool(int32_t)> fallsThrough);
  ~TOffsetIndex();
  TOffsetIndex(const TOffsetIndex&) = delete;
  TOffsetIndex& operator=(const TOffsetIndex&) = delete;

  // The record that stands for the line's address: one registered before (the index is
  // then unchanged), or the line itself after it was inserted and linked to its
  // neighbours (Successor for adjacent addresses, TargetNode for a target equal to the
  // neighbour's address).
  TTraceFileLine* Register(TTraceFileLine* line);
  // The first record in list order whose Offset equals offset (comment records included).
  TTraceFileLine* Find(int64_t offset) const;
  // Takes a record out of the index from every place it stands (a record that no tree item
  // shows any more); the comments before it stay where they stand. Links of other records
  // to it are left to the caller.
  void Remove(TTraceFileLine* line);
  void Clear();
  size_t Count() const;
  // The records in list order (tests, tools).
  std::vector<TTraceFileLine*> InOrder() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvanel
