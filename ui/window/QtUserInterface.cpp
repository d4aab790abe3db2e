#include "window/QtUserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QStringList>
#include <algorithm>

#include "dialogs/MessagesDialog.h"

namespace orvanel::ui {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

constexpr int kProgressSteps = 1000;
// How often the window is repainted while a long operation runs.
constexpr qint64 kRepaintIntervalMs = 50;

}  // namespace

TQtUserInterface::~TQtUserInterface() {
  script_ = nullptr;
  while (busyDepth_ > 0) BusyEnd();
}

QString TQtUserInterface::QtFilter(const std::string& filter) {
  // Pairs of description and pattern become "Description (pattern)" entries.
  QStringList parts = Q(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    entries << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  return entries.join(";;");
}

int TQtUserInterface::ExecDialog(QDialog& dialog) {
  if (runner_) return runner_(dialog);
  return dialog.exec();
}

void TQtUserInterface::ShowMessage(const std::string& text) {
  if (script_) return script_->ShowMessage(text);
  QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), Q(text),
                  QMessageBox::Ok, parent_);
  ExecDialog(box);
}

void TQtUserInterface::ShowMessages(const std::vector<std::string>& texts) {
  if (script_) return script_->ShowMessages(texts);
  if (texts.empty()) return;
  if (texts.size() == 1) return ShowMessage(texts.front());
  TMessagesDialog dialog(texts, parent_);
  ExecDialog(dialog);
}

TAnswer TQtUserInterface::AskYesNoCancel(const std::string& question) {
  if (script_) return script_->AskYesNoCancel(question);
  QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), Q(question),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent_);
  int answer = ExecDialog(box);
  if (answer == QMessageBox::Yes) return TAnswer::Yes;
  if (answer == QMessageBox::No) return TAnswer::No;
  return TAnswer::Cancel;
}

bool TQtUserInterface::AskYesNo(const std::string& question) {
  if (script_) return script_->AskYesNo(question);
  QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), Q(question),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return ExecDialog(box) == QMessageBox::Yes;
}

bool TQtUserInterface::ExecuteFileDialog(TFileDialog& dialog) {
  if (script_) return script_->ExecuteFileDialog(dialog);
  QFileDialog qt(parent_, Q(dialog.Title), Q(dialog.FileName), QtFilter(dialog.Filter));
  bool save = dialog.DialogKind == TFileDialog::Kind::Save;
  qt.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  qt.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!dialog.DefaultExt.empty()) qt.setDefaultSuffix(Q(dialog.DefaultExt));
  QCheckBox* option = nullptr;
  if (!dialog.Option.empty()) {
    // A native dialog takes no widget of ours; Qt's own lays out in a grid.
    qt.setOption(QFileDialog::DontUseNativeDialog);
    if (auto* grid = qobject_cast<QGridLayout*>(qt.layout())) {
      option = new QCheckBox(Q(dialog.Option), &qt);
      option->setObjectName(QStringLiteral("FileDialogOption"));
      option->setChecked(dialog.OptionChecked);
      grid->addWidget(option, grid->rowCount(), 0, 1, -1);
    }
  }
  if (ExecDialog(qt) != QDialog::Accepted || qt.selectedFiles().isEmpty()) return false;
  dialog.FileName = qt.selectedFiles().front().toStdString();
  if (option) dialog.OptionChecked = option->isChecked();
  // Which entry was chosen matters where two entries share a pattern (two kinds of .sym).
  dialog.FilterIndex = std::max<int>(0, qt.nameFilters().indexOf(qt.selectedNameFilter()));
  return true;
}

void TQtUserInterface::SetProgressBar(QProgressBar* bar, QWidget* coveredWhileRunning) {
  bar_ = bar;
  covered_ = coveredWhileRunning;
}

void TQtUserInterface::ProgressStart(int64_t maximum) {
  if (script_) script_->ProgressStart(maximum);
  maximum_ = maximum > 0 ? maximum : 1;
  progressRunning_ = true;
  if (!bar_) return;
  coveredWasVisible_ = covered_ && covered_->isVisible();
  if (coveredWasVisible_) covered_->hide();
  bar_->setRange(0, kProgressSteps);
  bar_->setValue(0);
  bar_->show();
  bar_->repaint();
  sinceRepaint_.start();
}

void TQtUserInterface::ProgressPosition(int64_t position) {
  if (script_) script_->ProgressPosition(position);
  if (!bar_) return;
  int64_t clamped = std::clamp<int64_t>(position, 0, maximum_);
  bar_->setValue(static_cast<int>(clamped * kProgressSteps / maximum_));
  // The window is repainted at a bounded rate; clicks and keys wait until the work is done.
  if (sinceRepaint_.elapsed() >= kRepaintIntervalMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
    sinceRepaint_.restart();
  }
}

void TQtUserInterface::ProgressEnd() {
  if (script_) script_->ProgressEnd();
  progressRunning_ = false;
  if (!bar_) return;
  bar_->hide();
  if (coveredWasVisible_ && covered_) covered_->show();
  coveredWasVisible_ = false;
}

void TQtUserInterface::BusyBegin() {
  if (script_) script_->BusyBegin();
  if (busyDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TQtUserInterface::BusyEnd() {
  if (script_) script_->BusyEnd();
  if (busyDepth_ > 0 && --busyDepth_ == 0) QApplication::restoreOverrideCursor();
}

}  // namespace orvanel::ui
