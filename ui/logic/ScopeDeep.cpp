#include "logic/ScopeDeep.h"

#include <vector>

#include "records/Scope.h"
#include "tree/CodeTree.h"

namespace orvanel::nav {

void SetScopeDeep(TTreeItem& item, TScopeNode* scope) {
  std::vector<TTreeItem*> todo{&item};
  while (!todo.empty()) {
    TTreeItem* it = todo.back();
    todo.pop_back();
    if (TTraceFileLine* line = it->Line()) line->AttachScope(scope);
    const auto& children = it->Children();
    for (auto c = children.rbegin(); c != children.rend(); ++c) todo.push_back(*c);
  }
}

}  // namespace orvanel::nav
