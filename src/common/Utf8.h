#pragma once
// Well-formed UTF-8, one rule for the player and the server: no overlong forms, no surrogates,
// nothing past U+10FFFF. (The JSON parser keeps its own copy of the rule in its hot loop.)
#include <cstddef>
#include <string_view>

namespace lumora {

// The length of the well-formed sequence that starts at text[at] (1 for ASCII); 0 when none does.
// Then *invalid, when given, is the length of the maximal invalid subpart there (at least 1): the
// bytes one replacement character stands for.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at,
                               std::size_t* invalid = nullptr);

bool IsUtf8(std::string_view text);

}  // namespace lumora
