#pragma once
// Small text helpers of the server: JSON string quoting, percent-decoding, query parsing.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::server {

// A JSON string literal (with the quotes), always valid UTF-8: well-formed UTF-8 passes through
// unchanged, every byte of anything else becomes U+FFFD.
std::string JsonQuote(const std::string& text);

// Percent-decodes; "+" stays "+" (the player encodes spaces as %20). Malformed escapes
// are kept literally.
std::string PercentDecode(const std::string& text);

// "a=1&b=x%20y" -> {a:1, b:"x y"}. The first occurrence of a name wins; a value runs to
// the next "&", so an unencoded "lumora_session=..." cookie keeps its "=".
std::map<std::string, std::string> ParseQuery(const std::string& query);

// A decimal id of 1 to 20 digits that fits 64 bits; anything else is nullopt.
std::optional<std::uint64_t> ParseId(const std::string& text);

// A non-negative decimal integer of at most 9 digits.
std::optional<int> ParseCount(const std::string& text);

}  // namespace lumora::server
