#include "base/MessageLog.h"

namespace orvanel {

void TMessageLog::Flush(TUserInterface& ui) {
  if (messages_.empty()) return;
  std::vector<std::string> batch;
  batch.swap(messages_);
  ui.ShowMessages(batch);
}

}  // namespace orvanel
