#pragma once
// What the address entry dialogs check before they close, and how they are prepared. The Qt
// dialogs only show these texts and states and call these checks.
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

class TScopeManager;
class TScopeNode;
class TTraceFileLine;

// A non-empty run of decimal digits (at most 255 characters).
bool IsDecimalText(std::string_view text);
// "$" and hexadecimal digits, optionally after one "#" ("$" is also accepted later on);
// at least 3 and at most 255 characters.
bool IsHexText(std::string_view text);

enum class TAddressFormat { Hex, Decimal };

// The message of every rejected entry.
inline constexpr const char* kIncorrectInputMessage = "There's an incorrect Input somewhere!";
// The offset fields take at most this many characters as typed.
inline constexpr size_t kOffsetFieldLimit = 7;

// The offset text as it stands after the dialog's own changes, and whether it may close
// (when not, the dialog shows kIncorrectInputMessage and stays open with that text).
struct TOffsetCheck {
  std::string Text;
  bool MayClose = false;
};

// The new-mapping dialog confirmed with OK: in "Hex" a text without "$" gets one in front;
// a text starting with "#" is checked from its second character on.
TOffsetCheck CheckMappingOffset(std::string_view typed, TAddressFormat format);
// The new-bookmark dialog confirmed with OK.
TOffsetCheck CheckBookmarkOffset(std::string_view typed, TAddressFormat format);

// How the new-mapping dialog opens.
struct TMappingDialogSetup {
  std::string Caption = "Define new Mapping";
  bool ShowScopePanel = true;
  bool LimitedScopeChecked = false;
  bool LimitedScopeEnabled = true;
  std::vector<std::string> ScopeNames;  // the entries of the scope combo box
  std::string ScopeText;
  bool ScopesEnabled = false;
  bool UpdateScopesOnClick = true;  // whether clicking "Limited Scope" enables the combo box
  std::string OffsetText;
  bool OffsetEnabled = true;
  size_t OffsetLimit = kOffsetFieldLimit;
  size_t NameLimit = 150;
};

// "Add New Mapping": every scope but "Global" (letter case counts) is offered.
TMappingDialogSetup NewMappingSetup(const TScopeManager& scopes);
// "Create Mapping at line" and "Mapping to Scope": the scope is fixed. A line without a scope
// opens as "Add New Mapping".
TMappingDialogSetup MappingAtLineSetup(const TScopeManager& scopes, const TTraceFileLine& line);
TMappingDialogSetup MappingToScopeSetup(const TScopeNode& scope);
// "Add New Label" and "Create Offset Label at Line".
TMappingDialogSetup NewLabelSetup();
TMappingDialogSetup LabelAtLineSetup(const TTraceFileLine& line);

// How the new-bookmark dialog opens: for a line its offset, fixed; else a free field.
struct TBookmarkDialogSetup {
  std::string Caption = "Create New Bookmark";
  std::string OffsetText;
  bool OffsetEnabled = true;
  bool FormatEnabled = true;
  size_t OffsetLimit = kOffsetFieldLimit;
};
TBookmarkDialogSetup BookmarkSetup(const TTraceFileLine* line);

}  // namespace orvanel
