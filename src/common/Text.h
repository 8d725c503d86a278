#pragma once
// Text rules shared by every part of the program. Text is UTF-8 in a std::string; comparisons
// are byte comparisons and "no case" folds ASCII letters only.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// Removes ASCII spaces and the full-width space U+3000 at both ends; tabs, CR and LF stay.
std::string trimText(std::string_view text);

// The parts between separators, in order. A leading separator gives an empty first part, two
// adjacent ones an empty part between them, a separator at the very end no empty last part, the
// empty text no parts. A separator only matches at the start of a character, never inside a
// multi-byte one. An empty separator gives the whole text as the one part.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);

// The parts joined with the separator between them (none at the end).
std::string joinText(const std::vector<std::string>& parts, std::string_view separator);

// Position of the first occurrence of `what` at or after `from`, folding ASCII case;
// std::string_view::npos when absent. An empty `what` is found at `from`.
std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from = 0);
bool containsNoCase(std::string_view text, std::string_view what);
bool equalsNoCase(std::string_view a, std::string_view b);

// The text with its ASCII letters in lower case; every other byte as it was.
std::string ToLowerAscii(std::string text);

// The text with every occurrence of `what` removed, folding ASCII case.
std::string removeAllNoCase(std::string_view text, std::string_view what);

// The text between the first `start` marker and the first `end` marker after it; empty when
// either is missing. Case-sensitive.
std::string TextBetween(std::string_view text, std::string_view start, std::string_view end);

// The text before the first occurrence of the separator; empty when it does not occur.
std::string TextBefore(std::string_view text, std::string_view separator);

// Splits at the separator, keeps the first occurrence of each exactly equal part, in order, and
// joins the kept parts with the separator.
std::string RemoveDuplicateMembers(std::string_view text, std::string_view separator);

// Whole seconds as minutes ":" seconds, each at least two digits; minutes keep growing past 99:
// 65 -> "01:05", 6000 -> "100:00". A negative count (a failed position read) reads as 0.
std::string ClockText(std::int64_t seconds);

}  // namespace lumora
