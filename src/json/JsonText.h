#pragma once
// Values as text and numbers: JSON text, the script engine's toString form and Number().

#include <cstdint>
#include <string>
#include <string_view>

#include "json/JsonTree.h"

namespace lumora::json_detail {

// Backslashes of text set through SetValue are kept as U+2400 and turned back on output.
constexpr std::string_view kBackslashMark = "\xE2\x90\x80";
std::string Mark(std::string_view text);
std::string Unmark(std::string text);

void AppendDouble(double v, std::string& out);
void AppendNumber(const JsonTree& t, const Node& n, std::string& out);
void AppendUtf8(std::uint32_t cp, std::string& out);
// Text as a JSON string. Unpaired surrogates (kept from \u escapes as their three-byte form)
// are written as \u escapes again.
void AppendQuoted(std::string_view s, std::string& out);
// Text as script text: an unpaired surrogate becomes U+FFFD, so what callers get is UTF-8.
void AppendScriptString(std::string_view s, std::string& out);
// JSON text of the node, empty for an undefined one.
std::string JsonText(const JsonTree& t, Index i);
// The script toString of a present node; arrays join their elements with ",".
void AppendScriptText(const JsonTree& t, Index i, std::string& out);
// Number() of a node (NaN for kNone, as for a missing member).
double ScriptNumber(const JsonTree& t, Index i);

}  // namespace lumora::json_detail
