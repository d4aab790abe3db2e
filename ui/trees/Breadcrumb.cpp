#include "trees/Breadcrumb.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "records/TraceLine.h"
#include "tree/CodeTree.h"
#include "trees/CodeTreeModel.h"
#include "trees/CodeTreeView.h"

namespace orvanel::ui {

namespace {
constexpr int kPad = 4;
const QString kSeparator = QStringLiteral(" › ");
constexpr int kPartLimit = 260;  // the widest one part may be, in pixels

// A text of several lines (a comment) stands as its first line and an ellipsis, as in the tree.
QString PartText(const TTreeItem* item) {
  if (!item->Line()) return {};
  const std::string text = item->Line()->DisplayText();
  const size_t lineEnd = text.find_first_of("\r\n");
  if (lineEnd == std::string::npos) return QString::fromStdString(text);
  return QString::fromStdString(text.substr(0, lineEnd)) + QStringLiteral("…");
}
}  // namespace

TBreadcrumbBar::TBreadcrumbBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("BreadcrumbBar"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(false);
}

QSize TBreadcrumbBar::sizeHint() const {
  return {200, fontMetrics().height() + 2 * kPad};
}

void TBreadcrumbBar::SetView(TCodeTreeView* view) {
  connect(view, &TCodeTreeView::SelectedNodeChanged, this, &TBreadcrumbBar::SetNode);
  connect(this, &TBreadcrumbBar::AncestorClicked, view, &TCodeTreeView::SelectNode);
  SetNode(view->SelectedNode());
}

void TBreadcrumbBar::FollowChanges(TCodeTreeView* view) {
  followed_ = view;
  QAbstractItemModel* model = view->CodeModel();
  connect(model, &QAbstractItemModel::dataChanged, this, &TBreadcrumbBar::RefreshSoon);
  connect(model, &QAbstractItemModel::rowsMoved, this, &TBreadcrumbBar::RefreshSoon);
  connect(model, &QAbstractItemModel::rowsInserted, this, &TBreadcrumbBar::RefreshSoon);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &TBreadcrumbBar::RefreshSoon);
  connect(model, &QAbstractItemModel::modelReset, this, &TBreadcrumbBar::RefreshSoon);
  connect(model, &QAbstractItemModel::layoutChanged, this, &TBreadcrumbBar::RefreshSoon);
  connect(view, &TCodeTreeView::NodesRepainted, this, &TBreadcrumbBar::RefreshSoon);
}

// Once the change is over: while it runs, items may be on their way out of the tree. The
// view's selection never holds an item that is gone.
void TBreadcrumbBar::RefreshSoon() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshPending_ = false;
    if (followed_) SetNode(followed_->SelectedNode());
  });
}

void TBreadcrumbBar::SetNode(orvanel::TTreeItem* node) {
  node_ = node;
  Layout();
  update();
}

QString TBreadcrumbBar::PathText() const {
  QStringList texts;
  for (const TPart& part : parts_) texts << part.Text;
  return texts.join(kSeparator);
}

void TBreadcrumbBar::resizeEvent(QResizeEvent*) {
  Layout();
}

// The first ancestor (the top-level call) always shows; then as many of the nearest lines as
// fit, the node last; between them a mark that stands for the levels left out.
void TBreadcrumbBar::Layout() {
  parts_.clear();
  if (!node_) {
    setAccessibleName(QString());
    return;
  }
  std::vector<TTreeItem*> chain;  // the node up to the top level
  for (TTreeItem* it = node_; it; it = it->Parent()) chain.push_back(it);
  const QFontMetrics fm = fontMetrics();
  const int sep = fm.horizontalAdvance(kSeparator);
  int room = width() - 2 * kPad;
  auto sized = [&](TTreeItem* item) {
    TPart part{item, fm.elidedText(PartText(item), Qt::ElideRight, kPartLimit), {}};
    part.Rect.setWidth(fm.horizontalAdvance(part.Text));
    return part;
  };
  std::vector<TPart> tail;  // nearest first
  TPart head = sized(chain.back());
  room -= head.Rect.width();
  const size_t inner = chain.size() - 1;  // the lines below the top-level call
  QString mark;
  for (size_t i = 0; i < inner; ++i) {
    TPart part = sized(chain[i]);
    const size_t hidden = inner - i - 1;
    const QString nextMark = hidden ? QStringLiteral("⋯%1").arg(hidden) : QString();
    const int need = part.Rect.width() + sep + (hidden ? fm.horizontalAdvance(nextMark) + sep : 0);
    if (need > room && !tail.empty()) {
      mark = QStringLiteral("⋯%1").arg(inner - i);
      break;
    }
    room -= part.Rect.width() + sep;
    tail.push_back(part);
  }
  std::vector<TPart> parts;
  parts.push_back(head);
  if (!mark.isEmpty()) parts.push_back({nullptr, mark, QRect(0, 0, fm.horizontalAdvance(mark), 0)});
  parts.insert(parts.end(), tail.rbegin(), tail.rend());
  int x = kPad;
  for (TPart& part : parts) {
    part.Rect = QRect(x, 0, part.Rect.width(), height());
    x += part.Rect.width() + sep;
  }
  parts_ = std::move(parts);
  setAccessibleName(PathText());
}

void TBreadcrumbBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& pal = palette();
  for (size_t i = 0; i < parts_.size(); ++i) {
    const TPart& part = parts_[i];
    const bool last = i + 1 == parts_.size();
    painter.setPen(pal.color(part.Item && !last ? QPalette::Link : QPalette::WindowText));
    painter.drawText(part.Rect, Qt::AlignLeft | Qt::AlignVCenter, part.Text);
    if (!last) {
      painter.setPen(pal.color(QPalette::PlaceholderText));
      painter.drawText(QRect(part.Rect.right() + 1, 0, width(), height()),
                       Qt::AlignLeft | Qt::AlignVCenter, kSeparator);
    }
  }
}

void TBreadcrumbBar::mousePressEvent(QMouseEvent* event) {
  for (const TPart& part : parts_)
    if (part.Item && part.Rect.contains(event->position().toPoint())) {
      emit AncestorClicked(part.Item);
      return;
    }
}

}  // namespace orvanel::ui
