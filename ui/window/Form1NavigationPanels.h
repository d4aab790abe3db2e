#pragma once
// What the main window keeps for navigation, search, line comments and the scope commands:
// the widget-free state and the three modeless find dialogs.
#include <QObject>
#include <functional>

#include "logic/NavigationState.h"
#include "window/MainWindow.h"

class QListWidget;

namespace orvanel::ui {

class TFindDialog;

struct TForm1::TNavigationPanels {
  nav::TNavigationState State;
  TFindDialog* FDOffset = nullptr;  // made on first use, owned by the window
  TFindDialog* FDText = nullptr;
  TFindDialog* FDFindTarget = nullptr;
};

// Closes the quick target list on a click outside its items (a click on an item is the
// list's own click).
class TCloseOnEmptyClick : public QObject {
  Q_OBJECT
 public:
  TCloseOnEmptyClick(QListWidget* list, std::function<void()> close);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QListWidget* list_;
  // Kept apart so that events that reach the filter while the list is being destroyed never
  // call the list.
  QObject* viewport_;
  std::function<void()> close_;
};

}  // namespace orvanel::ui
