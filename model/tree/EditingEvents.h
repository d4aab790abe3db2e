#pragma once
// What the editing of a code tree tells the lists that hold tree items or line records (the
// visit history, the clipboard, the lines of a scope, a drag in progress): which items and
// records go away. Every deletion reports once, however many nodes it takes, so that no list
// keeps an item or a record that is gone.
#include <algorithm>
#include <functional>
#include <vector>

namespace orvanel {

class TProject;
class TTraceFileLine;
class TTreeItem;

// The items and records that one deletion takes away. The lists are sorted by address, so
// that a list holder asks about each of its entries at logarithmic cost.
struct TRemoval {
  explicit TRemoval(TProject& project) : Project(project) {}

  bool HoldsItem(const TTreeItem* item) const {
    return std::binary_search(Items.begin(), Items.end(), item, std::less<const TTreeItem*>());
  }
  bool HoldsLine(const TTraceFileLine* line) const {
    return std::binary_search(Lines.begin(), Lines.end(), line, std::less<const TTraceFileLine*>());
  }

  TProject& Project;  // the project whose tree loses the items
  // Every item that goes: the deleted nodes with their whole subtrees.
  std::vector<TTreeItem*> Items;
  // The records that no item shows any more; they are freed right after LinesGone.
  std::vector<TTraceFileLine*> Lines;
};

class TEditSubject;

class TEditObserver {
 public:
  TEditObserver() = default;
  // Stops watching every project it still watches.
  virtual ~TEditObserver();
  TEditObserver(const TEditObserver&) = delete;
  TEditObserver& operator=(const TEditObserver&) = delete;

  // The items are still in their tree (their parents and lines can be looked at).
  virtual void ItemsGoing(const TRemoval& /*removal*/) {}
  // The records are out of every index, list and link and are freed when this returns:
  // compare them by address only.
  virtual void LinesGone(const TRemoval& /*removal*/) {}
  // The project is being destroyed: everything of it goes, and it is no longer watched.
  // Only its address may be used.
  virtual void ProjectGone(TProject& /*project*/) {}

  void Watch(TEditSubject& subject);
  void Unwatch(TEditSubject& subject);
  bool Watches(const TEditSubject& subject) const;

 private:
  friend class TEditSubject;
  std::vector<TEditSubject*> subjects_;
};

// The observers of one project. Tells them that the project goes when it is destroyed, so
// that neither side ever holds the other after its end.
class TEditSubject {
 public:
  explicit TEditSubject(TProject& project) : project_(project) {}
  ~TEditSubject();
  TEditSubject(const TEditSubject&) = delete;
  TEditSubject& operator=(const TEditSubject&) = delete;

  TProject& Project() const { return project_; }
  bool Empty() const { return observers_.empty(); }
  void NotifyItemsGoing(const TRemoval& removal) const;
  void NotifyLinesGone(const TRemoval& removal) const;

 private:
  friend class TEditObserver;
  TProject& project_;
  std::vector<TEditObserver*> observers_;
};

}  // namespace orvanel
