#include "window/QtUserInterface.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>

namespace orvanel::ui {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

TQtUserInterface::~TQtUserInterface() {
  delete progress_;
}

QString TQtUserInterface::QtFilter(const std::string& filter) {
  // Pairs of description and pattern become "Description (pattern)" entries.
  QStringList parts = Q(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    entries << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  return entries.join(";;");
}

void TQtUserInterface::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QApplication::applicationDisplayName(), Q(text));
}

void TQtUserInterface::ShowMessages(const std::vector<std::string>& texts) {
  if (texts.empty()) return;
  if (texts.size() == 1) return ShowMessage(texts.front());
  QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(),
                  QString("%1 messages").arg(texts.size()), QMessageBox::Ok, parent_);
  QStringList lines;
  constexpr size_t kShown = 20;
  for (size_t i = 0; i < texts.size() && i < kShown; ++i) lines << Q(texts[i]);
  if (texts.size() > kShown) lines << QString("... and %1 more").arg(texts.size() - kShown);
  box.setInformativeText(lines.join('\n'));
  QStringList all;
  for (const std::string& t : texts) all << Q(t);
  box.setDetailedText(all.join('\n'));
  box.exec();
}

TAnswer TQtUserInterface::AskYesNoCancel(const std::string& question) {
  auto answer = QMessageBox::warning(parent_, QApplication::applicationDisplayName(), Q(question),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) return TAnswer::Yes;
  if (answer == QMessageBox::No) return TAnswer::No;
  return TAnswer::Cancel;
}

bool TQtUserInterface::AskYesNo(const std::string& question) {
  return QMessageBox::warning(parent_, QApplication::applicationDisplayName(), Q(question),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TQtUserInterface::ExecuteFileDialog(TFileDialog& dialog) {
  QFileDialog qt(parent_, Q(dialog.Title), Q(dialog.FileName), QtFilter(dialog.Filter));
  qt.setAcceptMode(dialog.DialogKind == TFileDialog::Kind::Save ? QFileDialog::AcceptSave
                                                                : QFileDialog::AcceptOpen);
  qt.setFileMode(dialog.DialogKind == TFileDialog::Kind::Save ? QFileDialog::AnyFile
                                                              : QFileDialog::ExistingFile);
  if (!dialog.DefaultExt.empty()) qt.setDefaultSuffix(Q(dialog.DefaultExt));
  if (qt.exec() != QDialog::Accepted || qt.selectedFiles().isEmpty()) return false;
  dialog.FileName = qt.selectedFiles().front().toStdString();
  return true;
}

void TQtUserInterface::ProgressStart(int64_t maximum) {
  maximum_ = maximum > 0 ? maximum : 1;
  if (!progress_) {
    progress_ = new QProgressDialog(QStringLiteral("Converting the trace log..."), QString(), 0,
                                    1000, parent_);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(500);
  }
  progress_->setValue(0);
}

void TQtUserInterface::ProgressPosition(int64_t position) {
  if (!progress_) return;
  progress_->setValue(static_cast<int>(position * 1000 / maximum_));
}

void TQtUserInterface::ProgressEnd() {
  if (progress_) progress_->reset();
}

void TQtUserInterface::BusyBegin() {
  if (busyDepth_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TQtUserInterface::BusyEnd() {
  if (busyDepth_ > 0 && --busyDepth_ == 0) QApplication::restoreOverrideCursor();
}

}  // namespace orvanel::ui
