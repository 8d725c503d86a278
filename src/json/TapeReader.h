#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "json/Tape.h"

namespace lumora::json_detail {

// Exact digits of integers past 64 bits, keyed by the number's position among all numbers of
// the text.
using BigIntegers = std::unordered_map<std::size_t, std::string>;

// Replaces the content of `tree` (reusing its storage) with the editable form of a parsed
// document of a text `textSize` bytes long; false when the document does not fit the tree.
bool ReadTape(const simdjson::dom::document& doc, std::size_t textSize, JsonTree& tree,
              const BigIntegers* big = nullptr);

}  // namespace lumora::json_detail
