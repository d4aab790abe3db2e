#pragma once
// The main window of the desktop program.
#include <QMainWindow>
#include <memory>

#include "window/QtUserInterface.h"

class QTreeView;
class QLabel;

namespace orvanel {
class TSNESProject;
}

namespace orvanel::ui {

class TCodeTreeModel;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;
  static QString CaptionText() { return QStringLiteral("Velkor Ver1.0 Beta - Orvanel"); }

  // Opens a project file as "Open Project" does; false (with a message) when it cannot.
  bool OpenProjectFile(const QString& fileName);
  TSNESProject* CurrentProject() const { return project_.get(); }
  QTreeView* CodeTree() const { return tree_; }

 private:
  void OpenProjectClick();
  void CloseProjectClick();
  void ShowProject(std::unique_ptr<TSNESProject> project);
  void UpdateStatus();

  TQtUserInterface ui_{this};
  std::unique_ptr<TSNESProject> project_;
  TCodeTreeModel* model_;
  QTreeView* tree_;
  QLabel* status_;
};

}  // namespace orvanel::ui
