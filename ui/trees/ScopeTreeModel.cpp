#include "trees/ScopeTreeModel.h"

namespace orvanel::ui {

namespace {
constexpr quintptr kMappingTag = 1;  // nodes are aligned: the low bit is free

quintptr IdOf(const TScopeNode* scope) {
  return reinterpret_cast<quintptr>(scope);
}
quintptr IdOf(const TMappingNode* mapping) {
  return reinterpret_cast<quintptr>(mapping) | kMappingTag;
}
}  // namespace

TScopeTreeModel::~TScopeTreeModel() {
  if (manager_) manager_->RemoveListener(this);
}

void TScopeTreeModel::SetManager(TScopeManager* manager) {
  beginResetModel();
  if (manager_) manager_->RemoveListener(this);
  manager_ = manager;
  if (manager_) manager_->AddListener(this);
  endResetModel();
}

TScopeNode* TScopeTreeModel::ScopeAt(const QModelIndex& index) const {
  if (!index.isValid() || (index.internalId() & kMappingTag)) return nullptr;
  return reinterpret_cast<TScopeNode*>(index.internalId());
}

TMappingNode* TScopeTreeModel::MappingAt(const QModelIndex& index) const {
  if (!index.isValid() || !(index.internalId() & kMappingTag)) return nullptr;
  return reinterpret_cast<TMappingNode*>(index.internalId() & ~kMappingTag);
}

QModelIndex TScopeTreeModel::IndexOf(const TScopeNode* scope) const {
  if (!manager_ || !scope) return {};
  const size_t row = manager_->RowOf(scope);
  if (row >= manager_->Scopes().size()) return {};
  return createIndex(static_cast<int>(row), 0, IdOf(scope));
}

QModelIndex TScopeTreeModel::IndexOf(const TMappingNode* mapping) const {
  if (!manager_ || !mapping || !mapping->Parent()) return {};
  const size_t row = mapping->Parent()->RowOf(mapping);
  if (row >= mapping->Parent()->Mappings().size()) return {};
  return createIndex(static_cast<int>(row), 0, IdOf(mapping));
}

QModelIndex TScopeTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!manager_ || column != 0 || row < 0) return {};
  const auto r = static_cast<size_t>(row);
  if (!parent.isValid()) {
    const auto& scopes = manager_->Scopes();
    return r < scopes.size() ? createIndex(row, 0, IdOf(scopes[r].get())) : QModelIndex();
  }
  const TScopeNode* scope = ScopeAt(parent);
  if (!scope || r >= scope->Mappings().size()) return {};
  return createIndex(row, 0, IdOf(scope->Mappings()[r].get()));
}

QModelIndex TScopeTreeModel::parent(const QModelIndex& child) const {
  const TMappingNode* mapping = MappingAt(child);
  return mapping ? IndexOf(mapping->Parent()) : QModelIndex();
}

int TScopeTreeModel::rowCount(const QModelIndex& parent) const {
  if (!manager_ || parent.column() > 0) return 0;
  if (!parent.isValid()) return static_cast<int>(manager_->Scopes().size());
  const TScopeNode* scope = ScopeAt(parent);
  return scope ? static_cast<int>(scope->Mappings().size()) : 0;
}

bool TScopeTreeModel::hasChildren(const QModelIndex& parent) const {
  return rowCount(parent) > 0;
}

QVariant TScopeTreeModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (const TScopeNode* scope = ScopeAt(index)) return QString::fromStdString(scope->Text());
  if (const TMappingNode* mapping = MappingAt(index))
    return QString::fromStdString(mapping->Text());
  return {};
}

Qt::ItemFlags TScopeTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (MappingAt(index) || !ScopeAt(index)->HasChildren()) flags |= Qt::ItemNeverHasChildren;
  return flags;
}

// --- the manager's changes --------------------------------------------------------------------

void TScopeTreeModel::ScopeAdding(size_t row) {
  beginInsertRows({}, static_cast<int>(row), static_cast<int>(row));
}

void TScopeTreeModel::ScopeAdded() {
  endInsertRows();
}

void TScopeTreeModel::ScopeRemoving(size_t row) {
  beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
}

void TScopeTreeModel::ScopeRemoved() {
  endRemoveRows();
}

void TScopeTreeModel::MappingAdding(TScopeNode* scope, size_t row) {
  beginInsertRows(IndexOf(scope), static_cast<int>(row), static_cast<int>(row));
}

void TScopeTreeModel::MappingAdded() {
  endInsertRows();
}

void TScopeTreeModel::MappingRemoving(TScopeNode* scope, size_t row) {
  beginRemoveRows(IndexOf(scope), static_cast<int>(row), static_cast<int>(row));
}

void TScopeTreeModel::MappingRemoved() {
  endRemoveRows();
}

void TScopeTreeModel::ScopesResetting() {
  beginResetModel();
}

void TScopeTreeModel::ScopesReset() {
  endResetModel();
}

void TScopeTreeModel::ManagerGone() {
  beginResetModel();
  manager_ = nullptr;
  endResetModel();
}

}  // namespace orvanel::ui
