#pragma once
// Shows a scope manager's tree (scopes at the top level, their mappings below) in a Qt view.
// Lazy and copy-free: an index's internal pointer is the manager's own node (a mapping's
// pointer carries a tag bit to tell it from a scope); the manager's listener turns each added
// or removed node into one Qt signal.
#include <QAbstractItemModel>

#include "records/Scope.h"

namespace orvanel::ui {

class TScopeTreeModel : public QAbstractItemModel, private TScopeListener {
  Q_OBJECT
 public:
  explicit TScopeTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}
  ~TScopeTreeModel() override;
  void SetManager(TScopeManager* manager);
  TScopeManager* Manager() const { return manager_; }

  QModelIndex index(int row, int column, const QModelIndex& parent) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex&) const override { return 1; }
  bool hasChildren(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  TScopeNode* ScopeAt(const QModelIndex& index) const;      // none for a mapping's row
  TMappingNode* MappingAt(const QModelIndex& index) const;  // none for a scope's row
  QModelIndex IndexOf(const TScopeNode* scope) const;
  QModelIndex IndexOf(const TMappingNode* mapping) const;

 private:
  void ScopeAdding(size_t row) override;
  void ScopeAdded() override;
  void ScopeRemoving(size_t row) override;
  void ScopeRemoved() override;
  void MappingAdding(TScopeNode* scope, size_t row) override;
  void MappingAdded() override;
  void MappingRemoving(TScopeNode* scope, size_t row) override;
  void MappingRemoved() override;
  void ScopesResetting() override;
  void ScopesReset() override;
  void ManagerGone() override;

  TScopeManager* manager_ = nullptr;
};

}  // namespace orvanel::ui
