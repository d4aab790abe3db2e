#include "project/Bookmarks.h"

#include "base/TextUtils.h"

namespace orvanel {

const TBookmarkList::Entry* TBookmarkList::Find(std::string_view offsetText) const {
  for (const Entry& e : entries_)
    if (SameText(e.OffsetText, offsetText)) return &e;
  return nullptr;
}

TMenuEntry* TBookmarkList::Append(std::string offsetText, std::string name,
                                  std::unique_ptr<TMenuEntry> entry) {
  entries_.push_back({std::move(offsetText), std::move(name), std::move(entry)});
  return entries_.back().MenuEntry.get();
}

}  // namespace orvanel
