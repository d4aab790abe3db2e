#pragma once
// The batch converter's user interface: messages on standard error, one per line, a
// progress bar when standard error is a terminal, no dialogs (every name is given).
#include <cstdint>

#include "base/UserInterface.h"

namespace orvanel::app {

class TConsoleUserInterface : public TUserInterface {
 public:
  TConsoleUserInterface();
  void ShowMessage(const std::string& text) override;
  void ShowMessages(const std::vector<std::string>& texts) override;
  TAnswer AskYesNoCancel(const std::string& question) override;
  bool AskYesNo(const std::string& question) override;
  bool ExecuteFileDialog(TFileDialog& dialog) override;
  void ProgressStart(int64_t maximum) override;
  void ProgressPosition(int64_t position) override;
  void ProgressEnd() override;
  void BusyBegin() override {}
  void BusyEnd() override {}

  int MessageCount() const { return messages_; }

 private:
  bool terminal_;
  int64_t maximum_ = 0;
  int lastPercent_ = -1;
  int messages_ = 0;
};

}  // namespace orvanel::app
