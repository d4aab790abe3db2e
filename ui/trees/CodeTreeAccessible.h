#pragma once
// What a screen reader or a UI automation client is told about a code tree view. The rows
// are the view's shown rows (every row of an open branch, in order); each row reports its
// line's text, its level, whether it is selected (the model's selection, which Qt's own
// selection model never holds) and whether it is open, and the view reports its selected rows
// through the table interface. Answering for one row never walks its ancestors or siblings:
// levels are kept per row while the shape of the view stays as it is.
#include <QAccessibleWidget>
#include <QPersistentModelIndex>
#include <QPointer>
#include <unordered_map>
#include <vector>

namespace orvanel::ui {

class TCodeTreeView;

// Makes the view's accessible interface (installed once by the first code tree view).
void InstallCodeTreeAccessibility();

class TCodeTreeAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit TCodeTreeAccessible(TCodeTreeView* view);
  ~TCodeTreeAccessible() override;

  void* interface_cast(QAccessible::InterfaceType type) override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessible::State state() const override;

  // --- the table interface: one column, a row per shown row ---
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  QString columnDescription(int) const override { return {}; }
  QString rowDescription(int) const override { return {}; }
  int columnCount() const override { return 1; }
  int rowCount() const override { return childCount(); }
  int selectedCellCount() const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return selectedCellCount(); }
  QList<QAccessibleInterface*> selectedCells() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override;
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override;
  bool selectRow(int row) override;
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent* event) override;

  // The level of a shown row, 1 for a top-level line (the accessible tree level).
  int RowLevel(int row) const;
  TCodeTreeView* View() const;

 private:
  // Forgets the rows' interfaces and levels when the view's shape changed since.
  void Refresh() const;
  void Forget() const;

  mutable unsigned generation_ = 0;
  mutable std::unordered_map<int, QAccessible::Id> rows_;
  mutable std::vector<int> levels_;  // by row; 0 where not yet known
};

// One shown row of a code tree view.
class TCodeRowAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  TCodeRowAccessible(TCodeTreeView* view, const QModelIndex& index, int row);

  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override { return QAccessible::TreeItem; }
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // --- the table cell interface ---
  bool isSelected() const override;
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return 0; }
  int rowIndex() const override { return row_; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  // The accessible tree level: 1 for a top-level line.
  int Level() const;

 private:
  QPointer<TCodeTreeView> view_;
  QPersistentModelIndex index_;
  int row_;
};

}  // namespace orvanel::ui
