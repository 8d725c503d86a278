#pragma once
// Writing values out: JSON text, the script engine's toString form, numbers and quoting.

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
void AppendQuoted(std::string_view s, std::string& out);
// JSON text of the node, empty for an undefined one.
std::string JsonText(const JsonTree& t, Index i);
// The script toString of a present node; arrays join their elements with ",".
void AppendScriptText(const JsonTree& t, Index i, std::string& out);

}  // namespace lumora::json_detail
