#pragma once

#include <cstddef>

#include "json/Tape.h"

namespace lumora::json_detail {

// Replaces the content of `tree` (reusing its storage) with the editable form of a parsed
// document of a text `textSize` bytes long; false when the document does not fit the tree.
bool ReadTape(const simdjson::dom::document& doc, std::size_t textSize, JsonTree& tree);

}  // namespace lumora::json_detail
