#include "trees/CodeItemDelegate.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>

#include "project/Project.h"
#include "trees/CodeImages.h"
#include "trees/CodeTreeModel.h"
#include "trees/CodeTreeView.h"

namespace orvanel::ui {

TCodeItemDelegate::TCodeItemDelegate(TCodeTreeView* view)
    : QStyledItemDelegate(view), view_(view) {}

QSize TCodeItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  const int height = std::max(option.fontMetrics.height(), view_->Images().Size()) + 2;
  return {view_->viewport()->width(), height};
}

void TCodeItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const TTreeItem* item = view_->NodeAt(index);
  if (!item || !item->Line()) return;
  const TCodeRowLayout layout = view_->RowLayout(item, option.rect);
  const QPalette& palette = option.palette;
  painter->save();

  if (item->HasChildren()) {
    QStyleOption arrow;
    arrow.rect = layout.Arrow;
    arrow.palette = palette;
    arrow.state = QStyle::State_Children | QStyle::State_Item | QStyle::State_Enabled;
    if (view_->isExpanded(index)) arrow.state |= QStyle::State_Open;
    view_->style()->drawPrimitive(QStyle::PE_IndicatorBranch, &arrow, painter, view_);
  }
  if (layout.Capped) {
    QRect badge = layout.Badge.adjusted(1, 2, -2, -2);
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette.color(QPalette::Mid));
    painter->drawRoundedRect(badge, 3, 3);
    QFont small = option.font;
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter->setFont(small);
    painter->setPen(palette.color(QPalette::BrightText));
    painter->drawText(badge, Qt::AlignCenter, QStringLiteral("⋯%1").arg(layout.Level));
    painter->setFont(option.font);
  }

  const bool selected = item->Selected;
  if (selected) {
    QRect band(layout.StateImage.left(), option.rect.top(),
               option.rect.right() - layout.StateImage.left() + 1, option.rect.height());
    painter->fillRect(band, palette.brush(view_->hasFocus() ? QPalette::Active : QPalette::Inactive,
                                          QPalette::Highlight));
  }
  const TTraceFileLine& line = *item->Line();
  const TCodeImages& images = view_->Images();
  if (const QPixmap& mark = images.Picture(TCodeTreeModel::StateImageIndex(line)); !mark.isNull())
    painter->drawPixmap(layout.StateImage.topLeft(), mark);
  if (const QPixmap& picture = images.Picture(TCodeTreeModel::ImageIndex(line)); !picture.isNull())
    painter->drawPixmap(layout.Image.topLeft(), picture);

  const QColor color =
      selected ? palette.color(view_->hasFocus() ? QPalette::Active : QPalette::Inactive,
                               QPalette::HighlightedText)
               : view_->CodeModel()->TextColor(item);
  painter->setPen(color);
  painter->drawText(layout.Text, Qt::AlignLeft | Qt::AlignVCenter,
                    ShownText(option.fontMetrics, line, layout.Text.width()));
  if (option.state & QStyle::State_HasFocus && index == view_->currentIndex()) {
    QStyleOptionFocusRect focus;
    focus.rect = layout.Text.adjusted(-1, 0, 0, 0);
    focus.state = QStyle::State_KeyboardFocusChange;
    focus.palette = palette;
    view_->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, view_);
  }
  painter->restore();
}

QString TCodeItemDelegate::ShownText(const QFontMetrics& metrics, const TTraceFileLine& line,
                                     int width) {
  QString text = QString::fromStdString(line.DisplayText());
  const auto lineEnd = std::find_if(text.cbegin(), text.cend(), [](QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
  });
  if (lineEnd != text.cend()) {
    // The ellipsis says that more follows; the tool tip shows all of it.
    text.truncate(lineEnd - text.cbegin());
    const QString more = QStringLiteral("…");
    const QString first = metrics.elidedText(text, Qt::ElideRight,
                                             std::max(0, width - metrics.horizontalAdvance(more)));
    return first == text ? text + more : first;
  }
  return metrics.elidedText(text, Qt::ElideRight, width);
}

void TCodeItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
  const TTreeItem* item = view_->NodeAt(index);
  editor->setGeometry(item ? view_->RowLayout(item, option.rect).Text : option.rect);
}

void TCodeItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
  view_->Guarded([&] { QStyledItemDelegate::setModelData(editor, model, index); });
}

}  // namespace orvanel::ui
