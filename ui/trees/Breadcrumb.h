#pragma once
// The chain of calling lines of the selected code tree line, shown above the tree: the
// ancestors from the top level down, elided in the middle when they do not fit; a click on a
// part asks for that ancestor to be selected.
#include <QWidget>
#include <vector>

namespace orvanel {
class TTreeItem;
}

namespace orvanel::ui {

class TBreadcrumbBar : public QWidget {
  Q_OBJECT
 public:
  explicit TBreadcrumbBar(QWidget* parent = nullptr);

  // Shows the ancestors of the node (none: an empty bar).
  void SetNode(orvanel::TTreeItem* node);
  orvanel::TTreeItem* Node() const { return node_; }

 signals:
  // A part was clicked: the ancestor it stands for.
  void AncestorClicked(orvanel::TTreeItem* ancestor);

 private:
  orvanel::TTreeItem* node_ = nullptr;
};

}  // namespace orvanel::ui
