#include "window/MainWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTreeView>

#include "base/Errors.h"
#include "project/ProjectSession.h"
#include "trees/CodeTreeModel.h"

namespace orvanel::ui {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(CaptionText());
  resize(1000, 700);

  model_ = new TCodeTreeModel(this);
  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("CodeTree"));
  tree_->setUniformRowHeights(true);  // a tree of millions of items opens at once
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tree_->setModel(model_);
  setCentralWidget(tree_);

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* open = file->addAction(QStringLiteral("Open Project"), this, &TForm1::OpenProjectClick);
  open->setObjectName(QStringLiteral("OpenProject1"));
  open->setShortcut(QKeySequence::Open);
  QAction* close =
      file->addAction(QStringLiteral("Close Project"), this, &TForm1::CloseProjectClick);
  close->setObjectName(QStringLiteral("CloseProject1"));
  file->addSeparator();
  file->addAction(QStringLiteral("Exit"), this, &QWidget::close);

  status_ = new QLabel(this);
  statusBar()->addWidget(status_);
  UpdateStatus();
}

TForm1::~TForm1() {
  model_->SetProject(nullptr);
}

bool TForm1::OpenProjectFile(const QString& fileName) {
  try {
    std::string programDir = QCoreApplication::applicationDirPath().toStdString() + "/";
    ShowProject(OpenProject(fileName.toStdString(), ui_, programDir));
    return true;
  } catch (const std::exception& e) {
    ui_.ShowMessage(e.what());
    return false;
  }
}

void TForm1::OpenProjectClick() {
  QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open Project File"), QString(),
                                              QStringLiteral("Orvanel Project (*.tfp)"));
  if (!name.isEmpty()) OpenProjectFile(name);
}

void TForm1::CloseProjectClick() {
  ShowProject(nullptr);
}

void TForm1::ShowProject(std::unique_ptr<TSNESProject> project) {
  model_->SetProject(nullptr);
  project_ = std::move(project);
  model_->SetProject(project_.get());
  UpdateStatus();
}

void TForm1::UpdateStatus() {
  if (!project_) {
    status_->setText(QStringLiteral("No project"));
    return;
  }
  status_->setText(QString("%1 — %2 lines")
                       .arg(QString::fromStdString(project_->ProjectFileName))
                       .arg(project_->Tree().Count()));
}

}  // namespace orvanel::ui
