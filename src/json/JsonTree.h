#pragma once
// The document's storage: an editable tree of nodes in one array, or a parsed tape kept as it is
// until something needs the tree.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

namespace json_detail {

// Null first, so a zeroed node is a null.
enum class Kind : std::uint8_t { Null, Undefined, Bool, Number, String, Array, Object };

// A run of bytes in the tree's character store.
struct Chars {
  std::uint32_t at = 0;
  std::uint32_t len = 0;
};

// Nodes live in one array per tree and refer to each other by index, so a parse costs a few
// large allocations instead of several per value. A container's children are one block of that
// array; editing a container may move its block to the end (the old one is left unused until the
// next Parse replaces the tree).
struct Node {
  Kind kind = Kind::Null;
  bool flag = false;      // Bool: the value
  std::uint16_t tag = 0;  // first and last byte of the member name: most lookups stop here
  std::uint32_t size = 0;
  std::uint32_t capacity = 0;
  std::uint32_t first = 0;  // index of the first child
  double number = 0;
  Chars text;  // String: the text. Number: the exact digits of an integer literal, if any.
  Chars name;  // member name, for a member of an object
};

// A parsed answer in the parser's own form (see Tape.h).
struct Tape;

}  // namespace json_detail

struct JsonTree {
  JsonTree();
  JsonTree(JsonTree&&) noexcept;
  JsonTree& operator=(JsonTree&&) noexcept;
  ~JsonTree();

  std::vector<json_detail::Node> nodes;  // nodes[0] is the root
  std::string chars;
  // When set, the content is this tape and nodes/chars are unused.
  std::unique_ptr<json_detail::Tape> tape;
};

namespace json_detail {

using Index = std::uint32_t;
constexpr Index kNone = UINT32_MAX;

// Nesting limit of parsed and edited trees. It is simdjson's own default, and it bounds the
// recursion of every walker of the tree: a deeper text fails to parse (the root reads as null)
// and an edit that would go deeper is ignored.
constexpr int kMaxDepth = 1024;
// How far an item assignment may grow an array past its end (the holes read as null).
constexpr std::uint32_t kMaxArrayGrowth = 1 << 16;
// Integers within this many write the same digits as their double; beyond it a number node
// keeps the digits of its literal, so ids survive exactly.
constexpr std::int64_t kExactLimit = std::int64_t{1} << 53;
// Indexes are 32 bits wide.
constexpr std::size_t kMaxText = std::size_t{1} << 31;

JsonTree TreeOf(Kind kind);
JsonTree StringTree(std::string_view text);

inline std::string_view View(const JsonTree& t, Chars c) { return {t.chars.data() + c.at, c.len}; }
inline std::string_view NameAt(const char* chars, Chars c) { return {chars + c.at, c.len}; }

Chars AddChars(JsonTree& t, std::string_view s);
// Appends `count` null nodes; returns the first one's index.
Index Block(JsonTree& t, std::uint32_t count);

inline bool Present(const JsonTree& t, Index i) {
  return i != kNone && t.nodes[i].kind != Kind::Null && t.nodes[i].kind != Kind::Undefined;
}
inline bool Defined(const JsonTree& t, Index i) {
  return i != kNone && t.nodes[i].kind != Kind::Undefined;
}
inline Kind KindOf(const JsonTree& t, Index i) {
  return i == kNone ? Kind::Undefined : t.nodes[i].kind;
}

// Storage is kept for the next answer unless it is far more than that answer needs: one very
// large answer must not leave its buffers behind for the rest of the run.
inline bool Oversized(std::size_t capacityBytes, std::size_t neededBytes) {
  constexpr std::size_t kAlwaysKept = std::size_t{1} << 20;
  return capacityBytes > kAlwaysKept && capacityBytes / 4 > neededBytes;
}
// About one node for every 16 bytes of JSON text.
constexpr std::size_t kTextBytesPerNode = 16;
// Empties the tree for the content of a text `textSize` bytes long, reusing its storage.
void ResetStorage(JsonTree& t, std::size_t textSize);

std::uint16_t NameTag(std::string_view name);
void SetName(JsonTree& t, Index slot, std::string_view name);

}  // namespace json_detail

}  // namespace lumora
