// A mapping: a name for an address text, and the lines that currently refer to it.
#include "base/TextUtils.h"
#include "records/Scope.h"

namespace orvanel {

namespace {

std::optional<int64_t> ValueOf(std::string_view address) {
  if (TMappingNode::IsOperandText(address)) return 0;
  int64_t value = 0;
  if (!TryStrToInt(address, value)) return std::nullopt;
  return value;
}

}  // namespace

// Operand texts such as #$12 or $12,x have no address of their own.
bool TMappingNode::IsOperandText(std::string_view address) {
  return address.find_first_of("[#,") != std::string_view::npos;
}

TMappingNode::TMappingNode(std::string name, std::string address)
    : name_(std::move(name)), address_(std::move(address)), numeric_(ValueOf(address_)) {}

// The referring lines are not touched: the manager clears them before a mapping goes away
// while they live on, and they may already be gone when the whole model is.
TMappingNode::~TMappingNode() = default;

int64_t TMappingNode::NumericAddress() const {
  if (numeric_) return *numeric_;
  return StrToInt(address_);  // throws the conversion's own error for this text
}

uint32_t TMappingNode::AddReferrer(TTraceFileLine* line, TRefKind kind) {
  referrers_.push_back(TReferrer{line, kind});
  return static_cast<uint32_t>(referrers_.size() - 1);
}

void TMappingNode::RemoveReferrer(uint32_t slot) {
  if (slot >= referrers_.size()) return;
  if (slot + 1 != referrers_.size()) {
    referrers_[slot] = referrers_.back();
    const TReferrer& moved = referrers_[slot];
    moved.Line->referrerSlot_[static_cast<int>(moved.Kind)] = slot;
  }
  referrers_.pop_back();
}

void TMappingNode::ClearReferrers() {
  for (const TReferrer& r : referrers_)
    for (TMappingNode*& ref : r.Line->refs_)
      if (ref == this) ref = nullptr;
  referrers_.clear();
}

void TMappingNode::ForgetReferrer(TTraceFileLine* line) {
  if (line == nullptr) return;
  for (int k = 0; k < 3; ++k) {
    if (line->refs_[k] != this) continue;
    auto holds = [&](uint32_t slot) {
      return referrers_[slot].Line == line && static_cast<int>(referrers_[slot].Kind) == k;
    };
    uint32_t slot = line->referrerSlot_[k];
    if (slot >= referrers_.size() || !holds(slot)) {
      slot = 0;  // the line's slot is out of date: look for its entry
      while (slot < referrers_.size() && !holds(slot)) ++slot;
    }
    if (slot < referrers_.size()) RemoveReferrer(slot);
    line->refs_[k] = nullptr;
  }
}

}  // namespace orvanel
