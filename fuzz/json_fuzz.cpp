// Arbitrary bytes as a server answer, optionally followed by a NUL and a path of the fuzzer's.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonDocument.h"
#include "net/UrlEncode.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Every read of one path.
struct Answers {
  double number;
  std::string text, json, itemText, itemJson, at, absolute, sub, item;
  int count, type;
  bool exists, resolved;
  std::vector<std::string> names, values;

  bool operator==(const Answers&) const = default;
};

// The reads that keep a parsed document in its parsed form come first, so on a fresh parse
// each of them is asked of that form.
Answers Ask(const lumora::JsonDocument& doc, std::string_view path) {
  Answers a;
  a.number = doc.GetNumber(path);
  a.text = doc.GetText(path);
  a.count = doc.Count(path);
  a.type = doc.TypeOf(path);
  a.exists = doc.Exists(path);
  a.itemText = doc.GetItemText(0, path);
  a.absolute = path;
  a.resolved = doc.ResolvePath(a.absolute);
  a.sub = doc.GetSubDocument(path).ToText();
  a.item = doc.GetItemDocument(1, path).ToText();
  a.json = doc.GetText(path, true);
  a.itemJson = doc.GetItemText(0, path, true);
  a.at = doc.ToTextAt(path);
  doc.MemberNames(a.names, path);
  doc.NodeValues(a.values, path, true);
  Check(!std::isnan(a.number));
  Check(a.exists == (a.type != 0));
  Check(a.type == 0 || !a.sub.empty());
  Check(a.json == a.at);
  return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view text = input.substr(0, input.find('\0'));
  std::string_view path = text.size() < input.size() ? input.substr(text.size() + 1) : "";

  lumora::JsonDocument doc;
  bool parsed = doc.Parse(text);
  std::string out = doc.ToText();
  Check(!parsed || !out.empty());

  // What we write reads back the same (marks turn into backslashes, so skip those, raw or
  // escaped).
  bool marked = text.find("\xE2\x90\x80") != std::string_view::npos ||
                text.find("\\u2400") != std::string_view::npos;
  lumora::JsonDocument literal;
  if (literal.Parse(text, true) && !marked) {
    std::string once = literal.ToText();
    lumora::JsonDocument again;
    // A root beyond the double range writes null, which reads back as a failed parse.
    Check(again.Parse(once, true) == (once != "null"));
    Check(again.ToText() == once);
  }

  // Each path is asked of a fresh parse and of the editable form: both answer alike.
  lumora::JsonDocument tree = doc;
  tree.ToText();
  for (std::string_view p : {std::string_view(""), std::string_view("[0]"), std::string_view("a"),
                             std::string_view("da"), std::string_view("data[0].url"),
                             std::string_view("songs[0].ar[1].name"), path}) {
    lumora::JsonDocument fresh;
    Check(fresh.Parse(text) == parsed);
    Check(Ask(fresh, p) == Ask(tree, p));
  }

  // Edits through the fuzzer's path and with its text as value.
  lumora::JsonDocument edit = doc;
  edit.SetValue(path, text);
  edit.SetValue(path, text, true);
  edit.AddItem(path, text, true);
  edit.AddItem(path, text, false, true);
  edit.SetItem(2, path, text, true);
  edit.SetExpression("x", text);
  edit.RemoveItem(-1, path);
  edit.Delete(path);
  edit.SetNumber(path, 1.25);
  Ask(edit, path);
  edit.ToText();

  lumora::UrlEncode(text, 0);
  lumora::UrlEncode(text, 1);
  return 0;
}
