#pragma once
// The offset index as the plain list it stands for: every call walks the list from the front.
// The tests compare the product's index with it; the benchmark measures against it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "records/TraceLine.h"

namespace orvanel::test {

inline bool SnesFallsThrough(int32_t opcode) {
  return opcode != 0x40 && opcode != 0x60 && opcode != 0x6B;
}

class TLiteralIndex {
 public:
  explicit TLiteralIndex(std::function<bool(int32_t)> fallsThrough)
      : fallsThrough_(std::move(fallsThrough)) {}

  TTraceFileLine* Register(TTraceFileLine* line) {
    size_t p = 0;
    while (p < list_.size() && (list_[p]->Offset() < line->Offset() || list_[p]->IsComment())) {
      ++p;
    }
    if (p < list_.size() && list_[p]->Offset() == line->Offset()) return list_[p];
    list_.insert(list_.begin() + static_cast<std::ptrdiff_t>(p), line);
    if (p == 0) {
      if (list_.size() > 1) line->SetSuccessor(list_[1]);
      return line;
    }
    TTraceFileLine* before = list_[p - 1];
    TTraceFileLine* after = p + 1 < list_.size() ? list_[p + 1] : nullptr;
    if (fallsThrough_(before->OpcodeVal())) {
      if (Sum(*before) == static_cast<uint64_t>(line->Offset())) before->SetSuccessor(line);
      if (before->TargetOffset() == line->Offset()) before->SetTargetNode(line);
    }
    if (after != nullptr && fallsThrough_(line->OpcodeVal())) {
      if (Sum(*line) == static_cast<uint64_t>(after->Offset())) line->SetSuccessor(after);
      if (after->Offset() == line->TargetOffset()) line->SetTargetNode(after);
    }
    return line;
  }

  TTraceFileLine* Find(int64_t offset) const {
    for (TTraceFileLine* entry : list_) {
      if (entry->Offset() == offset) return entry;
    }
    return nullptr;
  }

  void Remove(TTraceFileLine* line) { std::erase(list_, line); }
  void Clear() { list_.clear(); }
  const std::vector<TTraceFileLine*>& InOrder() const { return list_; }

 private:
  static uint64_t Sum(const TTraceFileLine& line) {
    return static_cast<uint64_t>(line.Offset()) + line.OpcodeLen();
  }

  std::function<bool(int32_t)> fallsThrough_;
  std::vector<TTraceFileLine*> list_;
};

}  // namespace orvanel::test
