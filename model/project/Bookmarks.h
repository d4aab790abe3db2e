#pragma once
// Bookmarks: names for ROM offsets, each with a menu entry that jumps to its line. The list
// owns its menu entries; the UI turns each entry into a menu action.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

// A menu entry as the model sees it.
struct TMenuEntry {
  std::string Caption;
  std::string Hint;  // the offset text, for bookmarks added by the user
  int64_t Tag = 0;   // the offset
};

class TBookmarkList {
 public:
  struct Entry {
    std::string OffsetText;  // as entered: "$" and hex digits, or decimal digits
    std::string Name;
    std::unique_ptr<TMenuEntry> MenuEntry;
  };

  // The entry whose offset text equals the text ignoring letter case, or none.
  const Entry* Find(std::string_view offsetText) const;
  TMenuEntry* Append(std::string offsetText, std::string name, std::unique_ptr<TMenuEntry> entry);
  const std::vector<Entry>& Entries() const { return entries_; }
  size_t Count() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace orvanel
