#pragma once
// A user interface for work without anyone to ask (benchmarks, fuzzing, tools): it keeps the
// messages, answers No to every question and cancels every file dialog.
#include <string>
#include <vector>

#include "base/UserInterface.h"

namespace orvanel {

class TSilentUserInterface : public TUserInterface {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowMessages(const std::vector<std::string>& texts) override {
    Messages.insert(Messages.end(), texts.begin(), texts.end());
  }
  TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::No; }
  bool AskYesNo(const std::string& question) override {
    return AskYesNoCancel(question) == TAnswer::Yes;
  }
  bool ExecuteFileDialog(TFileDialog&) override { return false; }
  void ProgressStart(int64_t) override {}
  void ProgressPosition(int64_t) override {}
  void ProgressEnd() override {}
  void BusyBegin() override {}
  void BusyEnd() override {}

  std::vector<std::string> Messages;
};

}  // namespace orvanel
