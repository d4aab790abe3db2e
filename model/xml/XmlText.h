#pragma once
// Character-level helpers of the XML layer: what XML 1.0 can hold, the escaping of
// attribute values and the check of element and attribute names.
#include <string>
#include <string_view>

namespace orvanel::xmltext {

// Appends the text with every character that XML 1.0 cannot hold replaced by U+FFFD.
void AppendSafe(std::string& out, std::string_view text);
// Appends the text as the content of a double-quoted attribute value: made safe as above,
// the markup characters as entities, and tab, line feed and carriage return as character
// references so that they survive the normalisation of attribute values on reading.
void AppendAttributeValue(std::string& out, std::string_view text);
// Whether the text is a valid XML name (an element or attribute name).
bool IsName(std::string_view name);

}  // namespace orvanel::xmltext
