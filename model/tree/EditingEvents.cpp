#include "tree/EditingEvents.h"

#include <algorithm>

namespace orvanel {

TEditObserver::~TEditObserver() {
  for (TEditSubject* subject : subjects_) std::erase(subject->observers_, this);
}

void TEditObserver::Watch(TEditSubject& subject) {
  if (Watches(subject)) return;
  subjects_.push_back(&subject);
  subject.observers_.push_back(this);
}

void TEditObserver::Unwatch(TEditSubject& subject) {
  std::erase(subjects_, &subject);
  std::erase(subject.observers_, this);
}

bool TEditObserver::Watches(const TEditSubject& subject) const {
  return std::find(subjects_.begin(), subjects_.end(), &subject) != subjects_.end();
}

TEditSubject::~TEditSubject() {
  // An observer may stop watching other projects from ProjectGone: work on a copy.
  std::vector<TEditObserver*> observers = observers_;
  for (TEditObserver* o : observers) std::erase(o->subjects_, this);
  observers_.clear();
  for (TEditObserver* o : observers) o->ProjectGone(project_);
}

// Observers may start or stop watching while they are told: each is told from a copy of
// the list, and only if it still watches.
void TEditSubject::NotifyItemsGoing(const TRemoval& removal) const {
  std::vector<TEditObserver*> observers = observers_;
  for (TEditObserver* o : observers)
    if (o->Watches(*this)) o->ItemsGoing(removal);
}

void TEditSubject::NotifyLinesGone(const TRemoval& removal) const {
  std::vector<TEditObserver*> observers = observers_;
  for (TEditObserver* o : observers)
    if (o->Watches(*this)) o->LinesGone(removal);
}

}  // namespace orvanel
