#pragma once
// Paths: names joined by "." and decimal subscripts in brackets, relative to the root or
// starting with the root's own name "da".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/JsonTree.h"

namespace lumora::json_detail {

struct Step {
  bool isIndex = false;
  std::string_view name;
  std::uint64_t index = 0;
};

// Takes one ".name" (or a bare name when `bare`) or "[digits]" off the front of `rest`.
bool TakeStep(std::string_view& rest, Step& step, bool bare);

Index Child(const JsonTree& t, Index i, const Step& step);

// The editable tree as the path walkers see it.
struct TreeNav {
  const JsonTree& t;
  Index Root() const { return 0; }
  bool Present(Index i) const { return json_detail::Present(t, i); }
  Index Child(Index i, const Step& step) const { return json_detail::Child(t, i, step); }
  Index Walk(std::string_view rest, bool bare) const;
};

template <class Nav>
Index WalkIn(const Nav& nav, std::string_view rest, bool bare) {
  Index cur = nav.Root();
  while (!rest.empty()) {
    Step step;
    if (!TakeStep(rest, step, bare)) return kNone;
    bare = false;
    cur = nav.Child(cur, step);
    if (cur == kNone) return kNone;
  }
  return cur;
}

// The root name as a whole identifier at the front of the path ("data" is another name).
inline bool StartsWithRoot(std::string_view path) {
  return path.starts_with("da") && (path.size() == 2 || path[2] == '.' || path[2] == '[');
}

// The node a path names under the path rule, or kNone when the engine would find nothing.
template <class Nav>
Index LocateIn(const Nav& nav, std::string_view path) {
  if (StartsWithRoot(path)) {
    Index n = nav.Walk(path.substr(2), false);
    if (nav.Present(n)) return n;
  }
  if (path.empty()) return nav.Root();
  return nav.Walk(path, path[0] != '[');
}

template <class Nav>
std::string AbsoluteIn(const Nav& nav, std::string_view path) {
  if (StartsWithRoot(path) && nav.Present(nav.Walk(path.substr(2), false)))
    return std::string(path);
  if (path.empty()) return "da";
  if (path[0] == '[') return "da" + std::string(path);
  return "da." + std::string(path);
}

inline Index Locate(const JsonTree& t, std::string_view path) { return LocateIn(TreeNav{t}, path); }
inline std::string Absolute(const JsonTree& t, std::string_view path) {
  return AbsoluteIn(TreeNav{t}, path);
}

Index ItemOf(const JsonTree& t, Index i, int index);

// An assignment target: the node holding it and the last step, after the path rule.
struct Target {
  std::string absolute;  // the steps' names point into this
  std::vector<Step> steps;
  Index parent = kNone;  // kNone when the target is the root itself
  bool ok = false;
};

Target Resolve(const JsonTree& tree, std::string_view path);
// Grows array a with null items so that it has an item at `index`; false when too far out.
bool GrowTo(JsonTree& t, Index a, std::uint64_t index);
// The node an assignment would write, creating an object member or array slot as the engine
// would; kNone when the engine would fail or ignore the assignment.
Index Slot(JsonTree& tree, const Target& t, int valueDepth);
void Assign(JsonTree& tree, std::string_view path, const JsonTree& value);

}  // namespace lumora::json_detail
