#include "json/JsonTree.h"

#include "json/Tape.h"

namespace lumora {

// Out of line, where the tape is a complete type.
JsonTree::JsonTree() = default;
JsonTree::JsonTree(JsonTree&&) noexcept = default;
JsonTree& JsonTree::operator=(JsonTree&&) noexcept = default;
JsonTree::~JsonTree() = default;

namespace json_detail {

JsonTree TreeOf(Kind kind) {
  JsonTree t;
  t.nodes.emplace_back();
  t.nodes[0].kind = kind;
  return t;
}

JsonTree StringTree(std::string_view text) {
  JsonTree t = TreeOf(Kind::String);
  t.chars = text;
  t.nodes[0].text = {0, static_cast<std::uint32_t>(text.size())};
  return t;
}

Chars AddChars(JsonTree& t, std::string_view s) {
  Chars c{static_cast<std::uint32_t>(t.chars.size()), static_cast<std::uint32_t>(s.size())};
  t.chars.append(s);
  return c;
}

Index Block(JsonTree& t, std::uint32_t count) {
  auto first = static_cast<Index>(t.nodes.size());
  t.nodes.resize(t.nodes.size() + count);
  return first;
}

void ResetStorage(JsonTree& t, std::size_t textSize) {
  std::size_t nodes = textSize / kTextBytesPerNode;
  bool releaseNodes = Oversized(t.nodes.capacity() * sizeof(Node), nodes * sizeof(Node));
  bool releaseChars = Oversized(t.chars.capacity(), textSize);
  t.nodes.clear();
  t.chars.clear();
  if (releaseNodes) t.nodes.shrink_to_fit();
  if (releaseChars) t.chars.shrink_to_fit();
}

std::uint16_t NameTag(std::string_view name) {
  if (name.empty()) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(name.front()) << 8 |
                                    static_cast<unsigned char>(name.back()));
}

void SetName(JsonTree& t, Index slot, std::string_view name) {
  Chars stored = AddChars(t, name);
  t.nodes[slot].name = stored;
  t.nodes[slot].tag = NameTag(name);
}

}  // namespace json_detail

}  // namespace lumora
