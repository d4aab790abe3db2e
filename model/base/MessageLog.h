#pragma once
// Collects the messages of one operation so that a log with thousands of bad lines does not
// block the user with thousands of boxes: they are handed to the UI once, at the end.
#include <string>
#include <vector>

#include "base/UserInterface.h"

namespace orvanel {

class TMessageLog {
 public:
  void Add(std::string text) { messages_.push_back(std::move(text)); }
  const std::vector<std::string>& Messages() const { return messages_; }
  bool Empty() const { return messages_.empty(); }
  size_t Count() const { return messages_.size(); }
  // Forgets the messages from position `count` on (an operation that was taken back).
  void TruncateTo(size_t count) {
    if (count < messages_.size()) messages_.resize(count);
  }
  // Hands the collected messages to the UI (nothing when there are none) and forgets them.
  void Flush(TUserInterface& ui);

 private:
  std::vector<std::string> messages_;
};

// Flushes a message log when the operation that filled it ends, also by an error.
class TMessageFlushScope {
 public:
  TMessageFlushScope(TMessageLog& log, TUserInterface& ui) : log_(log), ui_(ui) {}
  ~TMessageFlushScope() { log_.Flush(ui_); }
  TMessageFlushScope(const TMessageFlushScope&) = delete;
  TMessageFlushScope& operator=(const TMessageFlushScope&) = delete;

 private:
  TMessageLog& log_;
  TUserInterface& ui_;
};

}  // namespace orvanel
