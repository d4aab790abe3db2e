#pragma once
// Draws a row of a code tree view: the expand arrow at the line's (capped) depth, the depth
// badge, the bookmark mark, the line's picture and its text in its font colour; renames
// comment lines in place.
#include <QStyledItemDelegate>

namespace orvanel {
class TTraceFileLine;
}

namespace orvanel::ui {

class TCodeTreeView;

class TCodeItemDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit TCodeItemDelegate(TCodeTreeView* view);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // Rows are of one height and drawn to the view's width; the size never measures a text.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override;

  // The text a row shows in `width` pixels: a text of several lines (a comment with line
  // breaks) shows its first line and an ellipsis, a long one is cut with an ellipsis.
  static QString ShownText(const QFontMetrics& metrics, const TTraceFileLine& line, int width);

 private:
  TCodeTreeView* view_;
};

}  // namespace orvanel::ui
