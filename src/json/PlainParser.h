#pragma once

#include <string_view>

#include "json/JsonTree.h"

namespace lumora::json_detail {

// A plain JSON parser for the valid texts simdjson refuses: integers past 64 bits, numbers
// beyond the double range (read as infinities) and \u escapes of unpaired surrogates (kept in
// their three-byte form). As strict as simdjson otherwise, with the same nesting limit.
// Replaces the content of `tree`; false (tree unspecified) when the text is not JSON.
bool PlainParse(std::string_view text, JsonTree& tree);

}  // namespace lumora::json_detail
