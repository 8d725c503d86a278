#pragma once
// Numbers from text: JSON number literals and the script engine's Number() of a string.

#include <cstddef>
#include <string_view>

namespace lumora::json_detail {

// Length of the JSON number literal at the front of `text` (strict grammar), 0 when none.
std::size_t JsonNumberLength(std::string_view text);
// The nearest double to a number literal already checked to be one (decimal, or hex digits
// after "0x"), whatever the locale; beyond the double range it is an infinity, as the engine
// reads it.
double LiteralValue(std::string_view literal);
// Number() of a string: blanks around are ignored, blank text is 0, "0x" takes hex digits,
// "Infinity" keeps its sign; anything else is NaN.
double StringToNumber(std::string_view text);

}  // namespace lumora::json_detail
