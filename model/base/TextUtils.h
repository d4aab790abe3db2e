#pragma once
// Small text helpers shared by the whole model, with the toolkit's semantics
// (1-based columns, copies that stop at the end of the text, the integer conversion).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanel {

// The one integer conversion of the system: optional leading blanks, an optional sign,
// then decimal digits, or hexadecimal digits after "$" or "0x". The value is 32-bit: a
// hexadecimal value up to $FFFFFFFF wraps to a negative 32-bit value, a decimal value out
// of range is an error. The result is widened to 64 bits with its sign.
// Anything else throws EConvertError("'<text>' is not a valid integer value").
int64_t StrToInt(std::string_view text);
// The same conversion without the error: false when the text is no valid integer.
bool TryStrToInt(std::string_view text, int64_t& value);

// The message of a failed integer conversion.
std::string InvalidIntegerMessage(std::string_view text);
// The message of an XML attribute that should hold an integer and does not (none when the
// attribute is missing): "attribute offset: '12a' is not a number", "... is out of range",
// "attribute offset is missing". Long values are shortened.
std::string AttributeNumberMessage(std::string_view name, std::optional<std::string_view> text);

// Upper-case hexadecimal digits of the 64-bit pattern of the value, at least `digits` wide
// (a negative value gives 16 digits, as the toolkit's 64-bit formatting does).
std::string IntToHex(int64_t value, int digits);
// "$" and at least six upper-case hexadecimal digits: the offset text of an address.
std::string DollarHex(int64_t value);

// Characters from 1-based column `column` on, at most `count` of them; what lies past the
// end of the text is simply not there (an empty result when the column is past the end).
std::string_view CopyColumns(std::string_view text, int64_t column, int64_t count);
// Characters from 1-based column `column` to the end of the text.
std::string_view CopyFrom(std::string_view text, int64_t column);

// Removes blanks and control characters at both ends (the toolkit's Trim).
std::string_view Trim(std::string_view text);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);  // equal ignoring ASCII letter case

// 1-based position of the first occurrence of `what` in `text`, 0 when absent or empty.
int64_t Pos(std::string_view what, std::string_view text);

}  // namespace orvanel
