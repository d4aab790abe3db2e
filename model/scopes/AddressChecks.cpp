#include "scopes/AddressChecks.h"

#include "records/Scope.h"
#include "records/TraceLine.h"

namespace orvanel {

namespace {

constexpr size_t kMaxCheckedLength = 255;

bool IsHexDigitOrDollar(char c) {
  return c == '$' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

bool IsDecimalText(std::string_view text) {
  if (text.empty() || text.size() > kMaxCheckedLength) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool IsHexText(std::string_view text) {
  if (text.size() < 3 || text.size() > kMaxCheckedLength) return false;
  size_t i = text[0] == '#' ? 1 : 0;
  if (text[i] != '$') return false;
  for (; i < text.size(); ++i)
    if (!IsHexDigitOrDollar(text[i])) return false;
  return true;
}

TOffsetCheck CheckMappingOffset(std::string_view typed, TAddressFormat format) {
  TOffsetCheck check{std::string(typed), false};
  if (format == TAddressFormat::Hex) {
    if (check.Text.find('$') == std::string::npos) check.Text = "$" + check.Text;
    std::string_view t = check.Text;
    check.MayClose = IsHexText(!t.empty() && t[0] == '#' ? t.substr(1) : t);
  } else {
    check.MayClose = IsDecimalText(check.Text);
  }
  return check;
}

TOffsetCheck CheckBookmarkOffset(std::string_view typed, TAddressFormat format) {
  TOffsetCheck check{std::string(typed), false};
  if (format == TAddressFormat::Hex) {
    if (check.Text.find('$') == std::string::npos) check.Text = "$" + check.Text;
    check.MayClose = IsHexText(check.Text);
  } else {
    check.MayClose = IsDecimalText(check.Text);
  }
  return check;
}

// The scopes the combo box offers: all but "Global" (letter case counts).
static std::vector<std::string> OfferedScopes(const TScopeManager& scopes) {
  std::vector<std::string> names;
  for (const auto& scope : scopes.Scopes())
    if (scope->ScopeName() != "Global") names.push_back(scope->ScopeName());
  return names;
}

TMappingDialogSetup NewMappingSetup(const TScopeManager& scopes) {
  TMappingDialogSetup setup;
  setup.ScopeNames = OfferedScopes(scopes);
  return setup;
}

TMappingDialogSetup MappingAtLineSetup(const TScopeManager& scopes, const TTraceFileLine& line) {
  if (!line.Scope()) return NewMappingSetup(scopes);
  TMappingDialogSetup setup = MappingToScopeSetup(*line.Scope());
  setup.ScopeNames = OfferedScopes(scopes);
  return setup;
}

TMappingDialogSetup MappingToScopeSetup(const TScopeNode& scope) {
  TMappingDialogSetup setup;
  setup.LimitedScopeChecked = true;
  setup.LimitedScopeEnabled = false;
  setup.ScopeText = scope.ScopeName();
  setup.ScopesEnabled = false;
  setup.UpdateScopesOnClick = false;
  return setup;
}

TMappingDialogSetup NewLabelSetup() {
  TMappingDialogSetup setup;
  setup.ShowScopePanel = false;
  setup.Caption = "Insert name and offset for a new label definition";
  return setup;
}

TMappingDialogSetup LabelAtLineSetup(const TTraceFileLine& line) {
  TMappingDialogSetup setup;
  setup.ShowScopePanel = false;
  setup.Caption = "Insert Label name for offset " + line.OffsetText();
  setup.OffsetText = line.OffsetText();
  setup.OffsetEnabled = false;
  return setup;
}

TBookmarkDialogSetup BookmarkSetup(const TTraceFileLine* line) {
  TBookmarkDialogSetup setup;
  if (line) {
    setup.OffsetText = line->OffsetText();
    setup.OffsetEnabled = false;
    setup.FormatEnabled = false;
  }
  return setup;
}

}  // namespace orvanel
