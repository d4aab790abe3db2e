#pragma once
// Shows a project's code tree in a Qt view. Lazy: rows are looked up in the model's tree only
// when the view asks for them, so a tree of millions of items opens at once.
#include <QAbstractItemModel>
#include <QColor>

namespace orvanel {
class TProject;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::ui {

class TCodeTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit TCodeTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}
  // Shows another project's tree (none for an empty view).
  void SetProject(TProject* project);
  TProject* Project() const { return project_; }

  QModelIndex index(int row, int column, const QModelIndex& parent) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex&) const override { return 1; }
  QVariant data(const QModelIndex& index, int role) const override;

  TTreeItem* ItemAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const TTreeItem* item) const;
  // A toolkit colour ($00BBGGRR, or $FF000000 + a system colour index) as a Qt colour.
  static QColor ToQColor(int32_t color);

 private:
  TProject* project_ = nullptr;
};

}  // namespace orvanel::ui
