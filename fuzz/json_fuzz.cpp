// Arbitrary bytes as a server answer, optionally followed by a NUL and a path of the fuzzer's.
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

void Query(const lumora::JsonDocument& doc, std::string_view path) {
  std::vector<std::string> list;
  doc.GetText(path);
  doc.GetText(path, true);
  doc.Count(path);
  int type = doc.TypeOf(path);
  Check(doc.Exists(path) == (type != 0));
  doc.GetNumber(path);
  doc.MemberNames(list, path);
  doc.NodeValues(list, path, true);
  doc.GetItemText(0, path);
  std::string sub = doc.GetSubDocument(path).ToText();
  Check(type == 0 || !sub.empty());
  doc.GetItemDocument(1, path).ToText();
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

  // What we write reads back the same (marks turn into backslashes, so skip those).
  lumora::JsonDocument literal;
  if (literal.Parse(text, true) && text.find("\xE2\x90\x80") == std::string_view::npos) {
    std::string once = literal.ToText();
    lumora::JsonDocument again;
    Check(again.Parse(once, true));
    Check(again.ToText() == once);
  }

  for (std::string_view p : {std::string_view(""), std::string_view("[0]"), std::string_view("a"),
                             std::string_view("da"), std::string_view("data[0].url"),
                             std::string_view("songs[0].ar[1].name"), path}) {
    Query(doc, p);
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
  Query(edit, path);
  edit.ToText();

  lumora::UrlEncode(text, 0);
  lumora::UrlEncode(text, 1);
  return 0;
}
