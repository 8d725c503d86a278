#pragma once
// The API's text: JSON string quoting, and the numbers its parameters carry.
#include <cstdint>
#include <optional>
#include <string>

namespace lumora::server {

// A JSON string literal (with the quotes), always valid UTF-8: well-formed UTF-8 passes through
// unchanged, every byte of anything else becomes U+FFFD.
// (The player's JSON writer round-trips text its parser checked; this one repairs file names and
// parameters from anyone, so the two stay apart.)
std::string JsonQuote(const std::string& text);

// A decimal id of 1 to 20 digits that fits 64 bits; anything else is nullopt.
std::optional<std::uint64_t> ParseId(const std::string& text);

// A non-negative decimal integer of at most 9 digits.
std::optional<int> ParseCount(const std::string& text);

}  // namespace lumora::server
