#pragma once
// The few toolkit services the model needs. The desktop program implements them with Qt,
// the batch converter on the terminal, the tests with a scripted fake.
#include <cstdint>
#include <string>
#include <vector>

namespace orvanel {

// A file dialog as the model sees it: the texts it shows and the file name it holds.
// A project remembers each of its files as the current file name of its dialog.
struct TFileDialog {
  enum class Kind { Open, Save };
  Kind DialogKind = Kind::Open;
  std::string Title;
  std::string Filter;      // "Description|*.ext|Any File|*.*"
  std::string DefaultExt;  // without the dot
  std::string FileName;
  int FilterIndex = 0;  // the entry of Filter chosen (0-based), as the confirmed dialog left it
  // A check box shown with the dialog when its text is not empty; the confirmed dialog
  // leaves its state in OptionChecked.
  std::string Option;
  bool OptionChecked = false;
};

enum class TAnswer { Yes, No, Cancel };

class TUserInterface {
 public:
  virtual ~TUserInterface() = default;

  // An information box with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // The messages one operation collected (for example the bad lines of one conversion),
  // handed over once at its end, in order.
  virtual void ShowMessages(const std::vector<std::string>& texts) = 0;
  // A warning box with Yes, No and Cancel.
  virtual TAnswer AskYesNoCancel(const std::string& question) = 0;
  // A warning box with Yes and No.
  virtual bool AskYesNo(const std::string& question) = 0;
  // Shows the dialog modally; true when confirmed, with the chosen name in FileName.
  virtual bool ExecuteFileDialog(TFileDialog& dialog) = 0;

  virtual void ProgressStart(int64_t maximum) = 0;
  virtual void ProgressPosition(int64_t position) = 0;
  virtual void ProgressEnd() = 0;

  virtual void BusyBegin() = 0;
  virtual void BusyEnd() = 0;
};

// Shows the busy pointer for as long as it lives.
class TBusyScope {
 public:
  explicit TBusyScope(TUserInterface& ui) : ui_(ui) { ui_.BusyBegin(); }
  ~TBusyScope() { ui_.BusyEnd(); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  TUserInterface& ui_;
};

}  // namespace orvanel
