#pragma once
// Owns the line records of one project. Every record is freed exactly once: when it is
// removed or when the store is cleared.
#include <memory>
#include <vector>

#include "records/TraceLine.h"

namespace orvanel {

class TLineStore {
 public:
  TTraceFileLine* Add(std::unique_ptr<TTraceFileLine> line) {
    line->storeSlot_ = static_cast<uint32_t>(lines_.size());
    lines_.push_back(std::move(line));
    return lines_.back().get();
  }
  // Frees one record (its references must have been cleared by the caller).
  void Remove(TTraceFileLine* line) {
    uint32_t slot = line->storeSlot_;
    if (slot >= lines_.size() || lines_[slot].get() != line) return;
    if (slot + 1 != lines_.size()) {
      lines_[slot] = std::move(lines_.back());
      lines_[slot]->storeSlot_ = slot;
    }
    lines_.pop_back();
  }
  bool Contains(const TTraceFileLine* line) const {
    return line->storeSlot_ < lines_.size() && lines_[line->storeSlot_].get() == line;
  }
  size_t Count() const { return lines_.size(); }
  const std::vector<std::unique_ptr<TTraceFileLine>>& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  std::vector<std::unique_ptr<TTraceFileLine>> lines_;
};

}  // namespace orvanel
