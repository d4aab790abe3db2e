#pragma once
// The model's user interface services, shown with Qt: message boxes, the two questions, file
// dialogs, the conversion's progress bar and the busy pointer. Tests script it: with a script
// set, messages, questions and file dialogs go to the script instead of modal boxes, and a
// dialog runner answers the window's own dialogs.
#include <QElapsedTimer>
#include <QPointer>
#include <functional>

#include "base/UserInterface.h"

class QDialog;
class QProgressBar;
class QWidget;

namespace orvanel::ui {

class TQtUserInterface : public TUserInterface {
 public:
  explicit TQtUserInterface(QWidget* parent) : parent_(parent) {}
  ~TQtUserInterface() override;

  void ShowMessage(const std::string& text) override;
  // One dialog with the count and the whole list.
  void ShowMessages(const std::vector<std::string>& texts) override;
  TAnswer AskYesNoCancel(const std::string& question) override;
  bool AskYesNo(const std::string& question) override;
  bool ExecuteFileDialog(TFileDialog& dialog) override;
  void ProgressStart(int64_t maximum) override;
  void ProgressPosition(int64_t position) override;
  void ProgressEnd() override;
  void BusyBegin() override;
  void BusyEnd() override;

  // Runs a dialog of the window modally (every modal dialog of the window goes through
  // here, so that tests can answer it); the dialog's result.
  int ExecDialog(QDialog& dialog);

  // The bar at the bottom of the code tree area, and the widget it stands in for while it
  // runs (the tree is hidden so that nothing reads it half built).
  void SetProgressBar(QProgressBar* bar, QWidget* coveredWhileRunning);

  // Scripting for tests: messages, questions, file dialogs, progress and the busy pointer go
  // to `script` (none: shown with Qt); `runner` answers the window's dialogs.
  void SetScript(TUserInterface* script) { script_ = script; }
  using TDialogRunner = std::function<int(QDialog&)>;
  void SetDialogRunner(TDialogRunner runner) { runner_ = std::move(runner); }
  bool Scripted() const { return script_ != nullptr; }
  // While a long operation shows its progress the window repaints but takes no commands.
  bool ProgressRunning() const { return progressRunning_; }

  // "Marro's SNES9x Trace Files|*.log|Any File|*.*" as a Qt filter.
  static QString QtFilter(const std::string& filter);

 private:
  QWidget* parent_;
  TUserInterface* script_ = nullptr;
  TDialogRunner runner_;
  QPointer<QProgressBar> bar_;
  QPointer<QWidget> covered_;
  bool coveredWasVisible_ = false;
  int64_t maximum_ = 0;
  bool progressRunning_ = false;
  QElapsedTimer sinceRepaint_;
  int busyDepth_ = 0;
};

}  // namespace orvanel::ui
