#pragma once
// A scripted user interface for tests: records every message and question, answers from
// queues set up by the test.
#include <deque>
#include <string>
#include <vector>

#include "base/UserInterface.h"

namespace orvanel::test {

class TFakeUserInterface : public TUserInterface {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowMessages(const std::vector<std::string>& texts) override {
    Batches.push_back(texts);
    Messages.insert(Messages.end(), texts.begin(), texts.end());
  }
  TAnswer AskYesNoCancel(const std::string& question) override;
  bool AskYesNo(const std::string& question) override;
  bool ExecuteFileDialog(TFileDialog& dialog) override;
  void ProgressStart(int64_t maximum) override {
    ProgressMaximum = maximum;
    ProgressShown = true;
  }
  void ProgressPosition(int64_t position) override { LastProgress = position; }
  void ProgressEnd() override { ProgressShown = false; }
  void BusyBegin() override { ++BusyDepth; }
  void BusyEnd() override { --BusyDepth; }

  std::vector<std::string> Messages;              // every message, in order
  std::vector<std::vector<std::string>> Batches;  // the batches handed over at once
  std::vector<std::string> Questions;             // every question asked
  std::deque<TAnswer> Answers;                    // answers to give, Yes when empty
  std::vector<std::string> DialogTitles;          // titles of the file dialogs shown
  std::deque<std::string> DialogFiles;            // names to choose; empty string = cancel
  std::deque<int> DialogFilterIndexes;            // filter entries to choose; 0 when empty
  std::vector<bool> OptionsOffered;               // how each dialog with a check box showed it
  std::deque<bool> OptionsChosen;  // check box states to confirm; as offered when empty
  int64_t ProgressMaximum = 0;
  int64_t LastProgress = 0;
  bool ProgressShown = false;
  int BusyDepth = 0;
};

}  // namespace orvanel::test
