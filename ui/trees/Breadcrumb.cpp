#include "trees/Breadcrumb.h"

namespace orvanel::ui {

TBreadcrumbBar::TBreadcrumbBar(QWidget* parent) : QWidget(parent) {}

void TBreadcrumbBar::SetNode(orvanel::TTreeItem* node) {
  node_ = node;
  update();
}

}  // namespace orvanel::ui
