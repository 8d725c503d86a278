#pragma once
// Text to tree: JSON data, what the script engine's eval made of a text, and the tape form.

#include <optional>
#include <string_view>

#include "json/JsonTree.h"

namespace lumora::json_detail {

// Parses JSON data into `tree`, reusing its storage; false (tree unspecified) when the text is
// not JSON.
bool ParseInto(std::string_view text, JsonTree& tree);
std::optional<JsonTree> ParseJson(std::string_view text);

// What the script engine made of text handed to eval: JSON data only, never code. A JSON
// string evaluates its content, of which only a number, true, false or null is kept.
// Blank text evaluates to undefined.
bool EvalInto(std::string_view text, JsonTree& tree);
std::optional<JsonTree> EvalData(std::string_view text);

// Parses an object or array answer into tape form; false (tree untouched) for anything else,
// which then takes the tree path.
bool ParseTape(std::string_view text, JsonTree& tree);
// Turns a tape into the editable tree (simdjson's depth limit is below ours, so it cannot fail).
JsonTree& Materialize(JsonTree& tree);

}  // namespace lumora::json_detail
