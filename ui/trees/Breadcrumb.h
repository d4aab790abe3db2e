#pragma once
// The chain of calling lines of the selected code tree line, shown above the tree: the
// ancestors from the top level down to the line, elided in the middle when they do not fit;
// a click on a part asks for that ancestor to be selected. Only the parts shown are put into
// words, so a line thousands of levels deep costs a walk up its parents and a few texts.
#include <QPointer>
#include <QWidget>
#include <vector>

namespace orvanel {
class TTreeItem;
}

namespace orvanel::ui {

class TCodeTreeView;

class TBreadcrumbBar : public QWidget {
  Q_OBJECT
 public:
  explicit TBreadcrumbBar(QWidget* parent = nullptr);

  // Follows the view: shows the path of its selected node; a click selects in the view.
  void SetView(TCodeTreeView* view);
  // Shows the texts as they are after every change the view's rows follow (a rename, a
  // move, a new label or scope): the path is laid out again once the change is over.
  void FollowChanges(TCodeTreeView* view);
  // The path as shown, in words (also the bar's accessible name).
  QString PathText() const;
  // Shows the path to the node (none: an empty bar). The node must stay alive while shown:
  // with SetView the bar follows the view's selection, which never keeps a deleted node.
  void SetNode(orvanel::TTreeItem* node);
  orvanel::TTreeItem* Node() const { return node_; }

  // One part of the path as laid out: the item (none for the elision mark), its text, where.
  struct TPart {
    orvanel::TTreeItem* Item = nullptr;
    QString Text;
    QRect Rect;
  };
  const std::vector<TPart>& Parts() const { return parts_; }
  QSize sizeHint() const override;

 signals:
  // A part was clicked: the ancestor it stands for.
  void AncestorClicked(orvanel::TTreeItem* ancestor);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Layout();
  void RefreshSoon();

  orvanel::TTreeItem* node_ = nullptr;
  QPointer<TCodeTreeView> followed_;
  bool refreshPending_ = false;
  std::vector<TPart> parts_;
};

}  // namespace orvanel::ui
