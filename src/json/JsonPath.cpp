#include "json/JsonPath.h"

#include "json/TreeEdit.h"

namespace lumora::json_detail {

namespace {

bool NameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool NameChar(unsigned char c) { return NameStart(c) || (c >= '0' && c <= '9'); }

}  // namespace

bool TakeStep(std::string_view& rest, Step& step, bool bare) {
  if (!bare && !rest.empty() && rest[0] == '[') {
    std::size_t close = rest.find(']');
    if (close == std::string_view::npos || close == 1 || close > 16) return false;
    std::string_view digits = rest.substr(1, close - 1);
    if (digits[0] == '0' && digits.size() > 1) return false;
    std::uint64_t v = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    step = {true, {}, v};
    rest.remove_prefix(close + 1);
    return true;
  }
  if (!bare) {
    if (rest.empty() || rest[0] != '.') return false;
    rest.remove_prefix(1);
  }
  if (rest.empty() || !NameStart(static_cast<unsigned char>(rest[0]))) return false;
  std::size_t end = 1;
  while (end < rest.size() && NameChar(static_cast<unsigned char>(rest[end]))) ++end;
  step = {false, rest.substr(0, end), 0};
  rest.remove_prefix(end);
  return true;
}

Index Child(const JsonTree& t, Index i, const Step& step) {
  const Node& n = t.nodes[i];
  if (n.kind == Kind::Array) {
    if (!step.isIndex || step.index >= n.size) return kNone;
    return n.first + static_cast<Index>(step.index);
  }
  if (n.kind != Kind::Object) return kNone;
  if (step.isIndex) return FindMember(t, i, std::to_string(step.index));
  return FindMember(t, i, step.name);
}

Index TreeNav::Walk(std::string_view rest, bool bare) const { return WalkIn(*this, rest, bare); }

Index ItemOf(const JsonTree& t, Index i, int index) {
  if (!Present(t, i)) return kNone;
  const Node& n = t.nodes[i];
  if (n.kind == Kind::Array) {
    if (index < 0 || static_cast<std::uint32_t>(index) >= n.size) return kNone;
    return n.first + static_cast<Index>(index);
  }
  if (n.kind == Kind::Object) return FindMember(t, i, std::to_string(index));
  return kNone;
}

Target Resolve(const JsonTree& tree, std::string_view path) {
  Target t;
  t.absolute = Absolute(tree, path);
  std::string_view rest = std::string_view(t.absolute).substr(2);
  while (!rest.empty()) {
    Step step;
    if (!TakeStep(rest, step, false)) return t;
    t.steps.push_back(step);
  }
  if (t.steps.empty()) {
    t.ok = true;
    return t;
  }
  Index cur = 0;
  for (std::size_t i = 0; i + 1 < t.steps.size(); ++i) {
    cur = Child(tree, cur, t.steps[i]);
    if (cur == kNone) return t;
  }
  // Assigning through null or undefined fails in the engine.
  if (!Present(tree, cur)) return t;
  t.parent = cur;
  t.ok = true;
  return t;
}

bool GrowTo(JsonTree& t, Index a, std::uint64_t index) {
  if (index >= std::uint64_t{t.nodes[a].size} + kMaxArrayGrowth) return false;
  while (t.nodes[a].size <= index) InsertSlot(t, a, t.nodes[a].size);
  return true;
}

Index Slot(JsonTree& tree, const Target& t, int valueDepth) {
  if (!t.ok) return kNone;
  if (static_cast<int>(t.steps.size()) + valueDepth > kMaxDepth) return kNone;
  if (t.parent == kNone) return 0;
  const Step& last = t.steps.back();
  Kind kind = tree.nodes[t.parent].kind;
  if (kind == Kind::Object) {
    return MemberSlot(tree, t.parent,
                      last.isIndex ? std::string_view(std::to_string(last.index)) : last.name);
  }
  if (kind == Kind::Array && last.isIndex) {
    if (!GrowTo(tree, t.parent, last.index)) return kNone;
    return tree.nodes[t.parent].first + static_cast<Index>(last.index);
  }
  return kNone;  // a primitive, or a named property on an array: nothing we keep
}

void Assign(JsonTree& tree, std::string_view path, const JsonTree& value) {
  Target t = Resolve(tree, path);
  Index slot = Slot(tree, t, Depth(value, 0));
  if (slot != kNone) Place(tree, slot, Import(tree, value, 0));
}

}  // namespace lumora::json_detail
