#pragma once
// The visit history of the code tree: the visited items, newest first. A visit made after
// Back is put in front of all entries (nothing newer is cut off); Back and Forward move a
// position through the list without recording.
#include <cstddef>
#include <deque>

namespace orvanel {
class TTreeItem;
struct TRemoval;
}  // namespace orvanel

namespace orvanel::nav {

class TVisitHistory {
 public:
  static constexpr size_t kLimit = 32000;

  // The selection change: records the item unless Back or Forward caused it, and ends the
  // navigation either way.
  void SelectionChanged(TTreeItem* item);
  // The item Back (Forward) shows, with the history moved there; none when disabled. The
  // selection change that follows is not recorded.
  TTreeItem* Back();
  TTreeItem* Forward();
  bool CanGoBack() const { return !entries_.empty() && pos_ + 1 < entries_.size(); }
  bool CanGoForward() const { return pos_ > 0; }
  // Ends a Back or Forward whose selection was not reported (the item was selected already).
  void EndNavigation() { navigating_ = false; }

  // Drops the entries of items that go away; the position keeps showing the same entry, or
  // the next older one when its own goes.
  void Forget(const TRemoval& removal);
  void Clear();

  size_t Count() const { return entries_.size(); }
  size_t Position() const { return pos_; }
  TTreeItem* At(size_t index) const { return entries_[index]; }
  bool Navigating() const { return navigating_; }

 private:
  std::deque<TTreeItem*> entries_;
  size_t pos_ = 0;
  bool navigating_ = false;
};

}  // namespace orvanel::nav
