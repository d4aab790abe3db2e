#include <gtest/gtest.h>

#include "records/Scope.h"
#include "records/SnesTraceLine.h"
#include "scopes/AddressChecks.h"

namespace orvanel {
namespace {

TEST(AddressTexts, DecimalAndHexChecks) {
  EXPECT_TRUE(IsDecimalText("32768"));
  EXPECT_TRUE(IsDecimalText("0"));
  EXPECT_FALSE(IsDecimalText(""));
  EXPECT_FALSE(IsDecimalText("12a"));
  EXPECT_FALSE(IsDecimalText("$8000"));
  EXPECT_FALSE(IsDecimalText(std::string(256, '1')));
  EXPECT_TRUE(IsHexText("$12"));
  EXPECT_TRUE(IsHexText("#$1"));
  EXPECT_TRUE(IsHexText("$1$2"));  // a "$" is accepted later in the text too
  EXPECT_FALSE(IsHexText("$1"));
  EXPECT_FALSE(IsHexText("#12"));
  EXPECT_FALSE(IsHexText("12$"));
  EXPECT_FALSE(IsHexText("$12G"));
  EXPECT_FALSE(IsHexText("$1G2"));
  EXPECT_FALSE(IsHexText("$" + std::string(255, 'F')));
}

TEST(AddressTexts, TheNewMappingDialogClosesOnlyOnAcceptedOffsets) {
  struct Case {
    const char* typed;
    TAddressFormat format;
    const char* text;
    bool closes;
  };
  for (const Case& c :
       {Case{"8000", TAddressFormat::Hex, "$8000", true},
        Case{"1", TAddressFormat::Hex, "$1", false},
        Case{"#$12", TAddressFormat::Hex, "#$12", true},
        Case{"#12", TAddressFormat::Hex, "$#12", false},
        Case{"##$12", TAddressFormat::Hex, "##$12", true},
        Case{"$12G", TAddressFormat::Hex, "$12G", false}, Case{"", TAddressFormat::Hex, "$", false},
        Case{"12a", TAddressFormat::Decimal, "12a", false},
        Case{"1a", TAddressFormat::Decimal, "1a", false},
        Case{"32768", TAddressFormat::Decimal, "32768", true},
        Case{"$8000", TAddressFormat::Decimal, "$8000", false}}) {
    TOffsetCheck check = CheckMappingOffset(c.typed, c.format);
    EXPECT_EQ(check.Text, c.text) << c.typed;
    EXPECT_EQ(check.MayClose, c.closes) << c.typed;
  }
}

TEST(AddressTexts, TheNewBookmarkDialogChecksTheWholeText) {
  EXPECT_TRUE(CheckBookmarkOffset("81C2", TAddressFormat::Hex).MayClose);
  EXPECT_EQ(CheckBookmarkOffset("81C2", TAddressFormat::Hex).Text, "$81C2");
  // The bookmark check does not skip a leading "#": "#$12" passes the text check and
  // only the integer conversion refuses it when the bookmark is added.
  EXPECT_TRUE(CheckBookmarkOffset("#$12", TAddressFormat::Hex).MayClose);
  EXPECT_FALSE(CheckBookmarkOffset("##$12", TAddressFormat::Hex).MayClose);
  EXPECT_FALSE(CheckBookmarkOffset("", TAddressFormat::Decimal).MayClose);
  EXPECT_TRUE(CheckBookmarkOffset("33218", TAddressFormat::Decimal).MayClose);
}

TEST(AddressDialogs, PreparedForTheirCommands) {
  TScopeManager scopes;
  scopes.Init();
  scopes.GetScope("Global", true);
  scopes.GetScope("global2", false);
  TScopeNode* bank = scopes.GetScope("Bank", false);
  TMappingDialogSetup add = NewMappingSetup(scopes);
  EXPECT_EQ(add.ScopeNames, (std::vector<std::string>{"global2", "Bank"}));
  EXPECT_FALSE(add.LimitedScopeChecked);
  EXPECT_FALSE(add.ScopesEnabled);

  TSNESTraceFileLine line;
  line.SetOffset(0x8005);
  line.AttachScope(bank);
  TMappingDialogSetup atLine = MappingAtLineSetup(scopes, line);
  EXPECT_TRUE(atLine.LimitedScopeChecked);
  EXPECT_FALSE(atLine.LimitedScopeEnabled);
  EXPECT_EQ(atLine.ScopeText, "Bank");
  EXPECT_FALSE(atLine.UpdateScopesOnClick);
  EXPECT_TRUE(atLine.OffsetText.empty());

  TMappingDialogSetup label = LabelAtLineSetup(line);
  EXPECT_FALSE(label.ShowScopePanel);
  EXPECT_EQ(label.Caption, "Insert Label name for offset $008005");
  EXPECT_EQ(label.OffsetText, "$008005");
  EXPECT_FALSE(label.OffsetEnabled);
  EXPECT_EQ(NewLabelSetup().Caption, "Insert name and offset for a new label definition");

  TBookmarkDialogSetup mark = BookmarkSetup(&line);
  EXPECT_EQ(mark.OffsetText, "$008005");
  EXPECT_FALSE(mark.OffsetEnabled);
  EXPECT_FALSE(mark.FormatEnabled);
  EXPECT_TRUE(BookmarkSetup(nullptr).OffsetEnabled);
  line.AttachScope(nullptr);
  scopes.Clear();
}

}  // namespace
}  // namespace orvanel
