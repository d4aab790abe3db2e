#include "ConsoleUserInterface.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace orvanel::app {

namespace {

// One message, one line: line ends inside a message become blanks.
void PrintLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

TConsoleUserInterface::TConsoleUserInterface() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void TConsoleUserInterface::ShowMessage(const std::string& text) {
  ++messages_;
  PrintLine(text);
}

void TConsoleUserInterface::ShowMessages(const std::vector<std::string>& texts) {
  for (const std::string& t : texts) ShowMessage(t);
  std::fprintf(stderr, "%zu message%s\n", texts.size(), texts.size() == 1 ? "" : "s");
}

TAnswer TConsoleUserInterface::AskYesNoCancel(const std::string& question) {
  PrintLine(question + " (answered No: nothing is asked in batch mode)");
  return TAnswer::No;
}

bool TConsoleUserInterface::AskYesNo(const std::string& question) {
  return AskYesNoCancel(question) == TAnswer::Yes;
}

bool TConsoleUserInterface::ExecuteFileDialog(TFileDialog& dialog) {
  PrintLine("No file name for \"" + dialog.Title + "\"");
  return false;
}

void TConsoleUserInterface::ProgressStart(int64_t maximum) {
  maximum_ = maximum;
  lastPercent_ = -1;
  ProgressPosition(0);
}

void TConsoleUserInterface::ProgressPosition(int64_t position) {
  if (!terminal_ || maximum_ <= 0) return;
  int percent = static_cast<int>(position * 100 / maximum_);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  int filled = percent / 2;
  std::fprintf(stderr, "\r[%-50s] %3d%%", std::string(static_cast<size_t>(filled), '#').c_str(),
               percent);
  std::fflush(stderr);
}

void TConsoleUserInterface::ProgressEnd() {
  if (terminal_ && maximum_ > 0) std::fprintf(stderr, "\n");
  maximum_ = 0;
}

}  // namespace orvanel::app
