#include "FakeUserInterface.h"

namespace orvanel::test {

TAnswer TFakeUserInterface::AskYesNoCancel(const std::string& question) {
  Questions.push_back(question);
  if (Answers.empty()) return TAnswer::Yes;
  TAnswer a = Answers.front();
  Answers.pop_front();
  return a;
}

bool TFakeUserInterface::AskYesNo(const std::string& question) {
  return AskYesNoCancel(question) == TAnswer::Yes;
}

bool TFakeUserInterface::ExecuteFileDialog(TFileDialog& dialog) {
  DialogTitles.push_back(dialog.Title);
  if (DialogFiles.empty()) return false;
  std::string name = DialogFiles.front();
  DialogFiles.pop_front();
  if (name.empty()) return false;
  dialog.FileName = name;
  if (!dialog.Option.empty()) {
    OptionsOffered.push_back(dialog.OptionChecked);
    if (!OptionsChosen.empty()) {
      dialog.OptionChecked = OptionsChosen.front();
      OptionsChosen.pop_front();
    }
  }
  dialog.FilterIndex = 0;
  if (!DialogFilterIndexes.empty()) {
    dialog.FilterIndex = DialogFilterIndexes.front();
    DialogFilterIndexes.pop_front();
  }
  return true;
}

}  // namespace orvanel::test
