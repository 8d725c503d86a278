#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumora::json_detail {

// The body of a single-quoted script string literal, decoded; nothing on a syntax error.
std::optional<std::string> DecodeQuoted(std::string_view body);

}  // namespace lumora::json_detail
