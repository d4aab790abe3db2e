#pragma once
// "Set Line Scope": a line and every line below it take a scope.
namespace orvanel {
class TScopeNode;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::nav {

// The item's line takes the scope, then each child's, in child order, depth first: the whole
// subtree. No recursion, so a subtree thousands of levels deep is safe.
void SetScopeDeep(TTreeItem& item, TScopeNode* scope);

}  // namespace orvanel::nav
