#pragma once
// UTF-8 checks and the Latin-1 fallback for texts that are not UTF-8.
#include <string>
#include <string_view>

namespace orvanel {

// Length of the valid UTF-8 sequence at text[i], or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t i);
bool IsValidUtf8(std::string_view text);
// Each byte taken as a Latin-1 character, written as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace orvanel
