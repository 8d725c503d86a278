#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// The parsed tree behind a document. Documents that share one tree see each other's changes.
struct JsonTree;

// One JSON answer, queried and edited by path: names joined by "." and decimal subscripts in
// brackets ("songs[0].al.picUrl"), relative to the root; "da" names the root itself. Missing or
// unusable nodes read as the empty text, 0 or false. Nothing here throws.
class JsonDocument {
 public:
  using EngineRef = std::shared_ptr<JsonTree>;

  JsonDocument();
  // A document over an existing tree (what Engine() hands out): both share it.
  explicit JsonDocument(EngineRef engine);

  // Starts a fresh tree whose root is the empty object; copies keep the old one.
  bool Create();
  // Replaces the content with the parsed text (on a fresh tree). Empty text leaves the root
  // undefined, text that is not JSON leaves it null. The literal flag keeps a root string as it
  // is; without it a root string holding a JSON number, true, false or null becomes that value
  // and any other string becomes null. True when the root is neither null nor undefined.
  // Numbers beyond the double range read as infinities (written as null), integers keep their
  // exact digits, unpaired surrogate escapes are kept; text is never evaluated as code.
  bool Parse(std::string_view text, bool literal = false);
  void Clear();
  std::string ToText() const;

  // Without the JSON flag the value is stored as text, each backslash kept as U+2400 and written
  // back as a backslash on output (the text is already-escaped JSON string content). With it the
  // value is JSON ("" meaning {}), merged into an existing object or replacing the node.
  void SetValue(std::string_view path, std::string_view value, bool json = false);
  // Sets the node to the JSON value of the expression (a root-string rule as Parse's).
  void SetExpression(std::string_view path, std::string_view expression);

  // Rewrites the path to its absolute form ("da..."); true when the node exists and is not null.
  bool ResolvePath(std::string& path) const;
  bool Exists(std::string_view path) const;
  // What TypeOf answers (there is no 3).
  enum NodeType : int {
    kOther = -1,
    kMissing = 0,  // or null
    kBoolean = 1,
    kNumber = 2,
    kObject = 4,
    kArray = 5,
    kString = 6,
  };
  int TypeOf(std::string_view path) const;
  // The value as text (script toString form), or with the JSON flag its JSON text.
  std::string GetText(std::string_view path, bool json = false) const;
  // Member names of an object in member order; replaces the list's content. Returns the count.
  int MemberNames(std::vector<std::string>& names, std::string_view path = {}) const;
  // Array length, 0 for anything else.
  int Count(std::string_view path) const;
  // A new, independent document holding the node (see Parse for string nodes).
  JsonDocument GetSubDocument(std::string_view path) const;

  // Appends (or puts at the front) an item to the array at path, making the node an array first.
  void AddItem(std::string_view path, std::string_view value, bool json = false,
               bool atFront = false);
  JsonDocument GetItemDocument(int index, std::string_view path) const;
  // Text of a string item (empty for any other item), or the item's JSON text with the flag.
  std::string GetItemText(int index, std::string_view path, bool json = false) const;
  // Without the JSON flag the value is the body of a single-quoted script string literal.
  void SetItem(int index, std::string_view path, std::string_view value, bool json = false);
  // Removes one item of an array; a negative index counts from the end.
  void RemoveItem(int index, std::string_view path);
  void Delete(std::string_view path);
  void SetNumber(std::string_view path, double value);
  // The node as a number, converted as the script engine's Number() does: texts such as " 12 "
  // or "0x10" read as their number, true as 1, null as 0, an array as its text. A missing node,
  // an object or any other text reads as 0. Numbers beyond the double range are infinities.
  double GetNumber(std::string_view path) const;
  std::string ToTextAt(std::string_view path) const;
  EngineRef Engine() const;
  // Strings, numbers and booleans among the node's members, descending into containers when
  // recursive; replaces the list's content. Returns the count.
  int NodeValues(std::vector<std::string>& values, std::string_view path,
                 bool recursive = true) const;

 private:
  std::string rootName_ = "da";
  EngineRef tree_;
};

}  // namespace lumora
