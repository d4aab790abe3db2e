#pragma once
// The model's user interface services, shown with Qt.
#include <QWidget>

#include "base/UserInterface.h"

class QProgressDialog;

namespace orvanel::ui {

class TQtUserInterface : public TUserInterface {
 public:
  explicit TQtUserInterface(QWidget* parent) : parent_(parent) {}
  ~TQtUserInterface() override;

  void ShowMessage(const std::string& text) override;
  void ShowMessages(const std::vector<std::string>& texts) override;
  TAnswer AskYesNoCancel(const std::string& question) override;
  bool AskYesNo(const std::string& question) override;
  bool ExecuteFileDialog(TFileDialog& dialog) override;
  void ProgressStart(int64_t maximum) override;
  void ProgressPosition(int64_t position) override;
  void ProgressEnd() override;
  void BusyBegin() override;
  void BusyEnd() override;

  // "Marro's SNES9x Trace Files|*.log|Any File|*.*" as a Qt filter.
  static QString QtFilter(const std::string& filter);

 private:
  QWidget* parent_;
  QProgressDialog* progress_ = nullptr;
  int64_t maximum_ = 0;
  int busyDepth_ = 0;
};

}  // namespace orvanel::ui
