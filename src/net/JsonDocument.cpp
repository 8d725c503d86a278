#include "net/JsonDocument.h"

#include <simdjson.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>

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

}  // namespace json_detail

namespace json_detail {

// A parsed answer kept as simdjson's own tape until something needs the editable tree: reading
// by path touches only the values on the way, so most of the answer is never converted.
struct Tape {
  simdjson::dom::document doc;
  // Item positions of large arrays, made on their first subscript.
  std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> items;
  // Member table of the large object looked into last (readers take several members in a row).
  std::uint32_t tableOf = UINT32_MAX;
  std::vector<std::uint32_t> table;  // tape positions of member names; 0 is a free slot
  // The path walked last and, for each of its steps, where the step ends in the path and the
  // position it reached: the next path sharing a prefix ("songs[7].name", then "songs[7].id")
  // resumes there.
  std::string walked;
  bool walkedBare = false;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> steps;
  std::size_t textSize = 0;  // of the parsed text, to size the tree when one is made
  // The large array subscripted last, and its item positions.
  std::uint32_t itemsOf = UINT32_MAX;
  std::vector<std::uint32_t>* lastItems = nullptr;
};

}  // namespace json_detail

struct JsonTree {
  std::vector<json_detail::Node> nodes;  // nodes[0] is the root
  std::string chars;
  // When set, the content is this tape and nodes/chars are unused.
  std::unique_ptr<json_detail::Tape> tape;
};

namespace {

using json_detail::Chars;
using json_detail::Kind;
using json_detail::Node;
using Index = std::uint32_t;
constexpr Index kNone = UINT32_MAX;

// Nesting limit of parsed and edited trees. It is simdjson's own default, and it bounds the
// recursion of every walker in this file.
constexpr int kMaxDepth = 1024;
// How far an item assignment may grow an array past its end (the holes read as null).
constexpr std::uint32_t kMaxArrayGrowth = 1 << 16;
// Indexes are 32 bits wide.
constexpr std::size_t kMaxText = std::size_t{1} << 31;
// Backslashes of text set through SetValue are kept as U+2400 and turned back on output.
constexpr std::string_view kBackslashMark = "\xE2\x90\x80";

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

std::string_view View(const JsonTree& t, Chars c) { return {t.chars.data() + c.at, c.len}; }
std::string_view NameAt(const char* chars, Chars c) { return {chars + c.at, c.len}; }

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

bool Present(const JsonTree& t, Index i) {
  return i != kNone && t.nodes[i].kind != Kind::Null && t.nodes[i].kind != Kind::Undefined;
}
bool Defined(const JsonTree& t, Index i) {
  return i != kNone && t.nodes[i].kind != Kind::Undefined;
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

Kind KindOf(const JsonTree& t, Index i) { return i == kNone ? Kind::Undefined : t.nodes[i].kind; }

std::string Unmark(std::string text) {
  std::size_t at = text.find(kBackslashMark);
  if (at == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (; at != std::string::npos; at = text.find(kBackslashMark, from)) {
    out.append(text, from, at - from);
    out += '\\';
    from = at + kBackslashMark.size();
  }
  out.append(text, from);
  return out;
}

std::string Mark(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') {
      out += kBackslashMark;
    } else {
      out += c;
    }
  }
  return out;
}

// Number to text the way script engines write it: shortest round-trip digits, plain notation
// for exponents from -7 to 20, otherwise d.ddde+n.
void AppendDouble(double v, std::string& out) {
  if (std::isnan(v)) {
    out += "NaN";
    return;
  }
  if (std::isinf(v)) {
    out += v < 0 ? "-Infinity" : "Infinity";
    return;
  }
  if (v == 0) {
    out += '0';
    return;
  }
  if (v < 0) {
    out += '-';
    v = -v;
  }
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string_view s(buf, res.ptr - buf);
  std::size_t e = s.find('e');
  std::string digits(1, s[0]);
  if (e > 1) digits.append(s.substr(2, e - 2));
  std::string_view expText = s.substr(e + 1);
  if (!expText.empty() && expText[0] == '+') expText.remove_prefix(1);
  int exp = 0;
  std::from_chars(expText.data(), expText.data() + expText.size(), exp);
  int n = exp + 1;
  int k = static_cast<int>(digits.size());
  if (k <= n && n <= 21) {
    out += digits;
    out.append(n - k, '0');
  } else if (0 < n && n <= 21) {
    out.append(digits, 0, n);
    out += '.';
    out.append(digits, n);
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(-n, '0');
    out += digits;
  } else {
    out += digits[0];
    if (k > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'e';
    out += n - 1 >= 0 ? '+' : '-';
    out += std::to_string(std::abs(n - 1));
  }
}

void AppendNumber(const JsonTree& t, const Node& n, std::string& out) {
  // Integers keep their digits, so ids beyond 2^53 survive; "-0" still reads as 0.
  std::string_view digits = View(t, n.text);
  if (!digits.empty() && digits != "-0") {
    out += digits;
  } else {
    AppendDouble(n.number, out);
  }
}

void AppendQuoted(std::string_view s, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  // Runs of plain characters go in whole; most strings have nothing to escape.
  std::size_t from = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s.data() + from, i - from);
    from = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  out.append(s.data() + from, s.size() - from);
  out += '"';
}

// JSON text of a defined node (tree depth is bounded by kMaxDepth).
void Stringify(const JsonTree& t, Index i, std::string& out) {
  const Node& n = t.nodes[i];
  switch (n.kind) {
    case Kind::Undefined:
    case Kind::Null:
      out += "null";
      break;
    case Kind::Bool:
      out += n.flag ? "true" : "false";
      break;
    case Kind::Number:
      if (std::isfinite(n.number)) {
        AppendNumber(t, n, out);
      } else {
        out += "null";
      }
      break;
    case Kind::String:
      AppendQuoted(View(t, n.text), out);
      break;
    case Kind::Array:
      out += '[';
      for (std::uint32_t k = 0; k < n.size; ++k) {
        if (k) out += ',';
        Stringify(t, n.first + k, out);
      }
      out += ']';
      break;
    case Kind::Object:
      out += '{';
      for (std::uint32_t k = 0; k < n.size; ++k) {
        if (k) out += ',';
        AppendQuoted(View(t, t.nodes[n.first + k].name), out);
        out += ':';
        Stringify(t, n.first + k, out);
      }
      out += '}';
      break;
  }
}

std::string JsonText(const JsonTree& t, Index i) {
  if (!Defined(t, i)) return {};
  std::string out;
  Stringify(t, i, out);
  return Unmark(std::move(out));
}

// The script toString of a present node; arrays join their elements with ",".
void AppendScriptText(const JsonTree& t, Index i, std::string& out) {
  const Node& n = t.nodes[i];
  switch (n.kind) {
    case Kind::Undefined:
    case Kind::Null:
      break;
    case Kind::Bool:
      out += n.flag ? "true" : "false";
      break;
    case Kind::Number:
      AppendNumber(t, n, out);
      break;
    case Kind::String:
      out += View(t, n.text);
      break;
    case Kind::Array:
      for (std::uint32_t k = 0; k < n.size; ++k) {
        if (k) out += ',';
        AppendScriptText(t, n.first + k, out);
      }
      break;
    case Kind::Object:
      out += "[object Object]";
      break;
  }
}

int Depth(const JsonTree& t, Index i) {
  const Node& n = t.nodes[i];
  int deepest = 0;
  if (n.kind == Kind::Array || n.kind == Kind::Object) {
    for (std::uint32_t k = 0; k < n.size; ++k) deepest = std::max(deepest, Depth(t, n.first + k));
  }
  return deepest + 1;
}

// Names that script engines treat as array indexes; objects list them first, ascending.
bool ArrayIndexName(std::string_view name, std::uint32_t& value) {
  if (name.empty() || name.size() > 10 || (name[0] == '0' && name.size() > 1)) return false;
  std::uint64_t v = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (v >= 0xFFFFFFFFull) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

Index FindMember(const JsonTree& t, Index obj, std::string_view name) {
  const Node& o = t.nodes[obj];
  std::uint16_t tag = NameTag(name);
  for (std::uint32_t k = 0; k < o.size; ++k) {
    const Node& m = t.nodes[o.first + k];
    if (m.tag == tag && m.name.len == name.size() && View(t, m.name) == name) return o.first + k;
  }
  return kNone;
}

// Opens a Null slot at position pos of container c, moving its block when it is full.
Index InsertSlot(JsonTree& t, Index c, std::uint32_t pos) {
  if (t.nodes[c].size == t.nodes[c].capacity) {
    std::uint32_t capacity = std::max<std::uint32_t>(4, t.nodes[c].capacity * 2);
    Index first = Block(t, capacity);
    Node& n = t.nodes[c];
    std::copy_n(t.nodes.begin() + n.first, n.size, t.nodes.begin() + first);
    n.first = first;
    n.capacity = capacity;
  }
  Node& n = t.nodes[c];
  auto begin = t.nodes.begin() + n.first;
  std::copy_backward(begin + pos, begin + n.size, begin + n.size + 1);
  ++n.size;
  t.nodes[n.first + pos] = Node{};
  return n.first + pos;
}

void EraseSlot(JsonTree& t, Index c, std::uint32_t pos) {
  Node& n = t.nodes[c];
  auto begin = t.nodes.begin() + n.first;
  std::copy(begin + pos + 1, begin + n.size, begin + pos);
  --n.size;
}

// Copies node s of another tree into t; the result is placed by the caller.
Node Import(JsonTree& t, const JsonTree& src, Index s) {
  Node n = src.nodes[s];
  n.name = {};
  n.tag = 0;
  n.text = AddChars(t, View(src, n.text));
  if (n.kind == Kind::Array || n.kind == Kind::Object) {
    n.capacity = n.size;
    n.first = Block(t, n.size);
    const Node& from = src.nodes[s];
    for (std::uint32_t k = 0; k < from.size; ++k) {
      Node child = Import(t, src, from.first + k);
      t.nodes[n.first + k] = child;
      if (n.kind == Kind::Object)
        SetName(t, n.first + k, View(src, src.nodes[from.first + k].name));
    }
  }
  return n;
}

// Writes value into slot i, keeping the slot's member name.
void Place(JsonTree& t, Index i, Node value) {
  value.name = t.nodes[i].name;
  value.tag = t.nodes[i].tag;
  t.nodes[i] = value;
}

// The slot of member `name`, made (in engine order) when missing.
Index MemberSlot(JsonTree& t, Index obj, std::string_view name) {
  Index existing = FindMember(t, obj, name);
  if (existing != kNone) return existing;
  std::uint32_t pos = t.nodes[obj].size;
  std::uint32_t index = 0;
  if (ArrayIndexName(name, index)) {
    pos = 0;
    std::uint32_t other = 0;
    while (pos < t.nodes[obj].size &&
           ArrayIndexName(View(t, t.nodes[t.nodes[obj].first + pos].name), other) &&
           other < index) {
      ++pos;
    }
  }
  Index slot = InsertSlot(t, obj, pos);
  SetName(t, slot, name);
  return slot;
}

// Puts integer-like member names first in ascending order, the rest keeping their order.
// `chars` holds the names (the tree's characters, or the parser's while a parse runs).
void OrderMembers(JsonTree& t, Index obj, const char* chars) {
  const Node o = t.nodes[obj];
  std::uint32_t v = 0;
  bool any = false;
  for (std::uint32_t k = 0; k < o.size && !any; ++k) {
    any = ArrayIndexName(NameAt(chars, t.nodes[o.first + k].name), v);
  }
  if (!any) return;
  struct Entry {
    bool index;
    std::uint32_t value;
    Node node;
  };
  std::vector<Entry> order;
  order.reserve(o.size);
  for (std::uint32_t k = 0; k < o.size; ++k) {
    const Node& n = t.nodes[o.first + k];
    bool isIndex = ArrayIndexName(NameAt(chars, n.name), v);
    order.push_back({isIndex, isIndex ? v : 0, n});
  }
  std::stable_sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) {
    if (a.index != b.index) return a.index;
    return a.index && a.value < b.value;
  });
  for (std::uint32_t k = 0; k < o.size; ++k) t.nodes[o.first + k] = order[k].node;
}

// A repeated name keeps its first place and takes the last value, as JSON.parse does.
void DropRepeatedNames(JsonTree& t, Index obj, const char* chars) {
  const Node o = t.nodes[obj];
  std::size_t n = o.size;
  if (n < 2) return;
  auto name = [&](std::size_t k) { return NameAt(chars, t.nodes[o.first + k].name); };
  if (n <= 64) {
    // Most objects are small and have no repeats: a quick probe table proves it.
    std::uint8_t table[256] = {};  // position + 1
    bool repeated = false;
    for (std::size_t k = 0; k < n && !repeated; ++k) {
      std::string_view s = name(k);
      std::size_t h = s.size() * 131 + t.nodes[o.first + k].tag * 7;
      for (std::size_t slot = h & 255;; slot = (slot + 1) & 255) {
        if (table[slot] == 0) {
          table[slot] = static_cast<std::uint8_t>(k + 1);
          break;
        }
        if (name(table[slot] - 1) == s) {
          repeated = true;
          break;
        }
      }
    }
    if (!repeated) return;
  }
  std::vector<std::pair<std::size_t, std::size_t>> hashes;  // (hash, position)
  hashes.reserve(n);
  for (std::size_t k = 0; k < n; ++k)
    hashes.emplace_back(std::hash<std::string_view>{}(name(k)), k);
  std::sort(hashes.begin(), hashes.end());
  std::vector<std::size_t> dropped;
  for (std::size_t i = 0; i + 1 < n;) {
    std::size_t j = i + 1;
    while (j < n && hashes[j].first == hashes[i].first) ++j;
    for (std::size_t a = i; a < j; ++a) {
      std::size_t keep = hashes[a].second;
      if (keep == SIZE_MAX) continue;
      for (std::size_t b = a + 1; b < j; ++b) {
        std::size_t later = hashes[b].second;
        if (later != SIZE_MAX && name(later) == name(keep)) {
          Place(t, o.first + static_cast<Index>(keep), t.nodes[o.first + later]);
          dropped.push_back(later);
          hashes[b].second = SIZE_MAX;
        }
      }
    }
    i = j;
  }
  if (dropped.empty()) return;
  std::sort(dropped.begin(), dropped.end());
  std::uint32_t out = 0;
  for (std::size_t k = 0, d = 0; k < n; ++k) {
    if (d < dropped.size() && dropped[d] == k) {
      ++d;
      continue;
    }
    t.nodes[o.first + out++] = t.nodes[o.first + k];
  }
  t.nodes[obj].size = out;
}

// ---- parsing --------------------------------------------------------------------------------

std::string_view Trim(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// simdjson's DOM rejects integers past 64 bits. Such tokens are parsed again as decimals
// (with ".0" appended), and their digits, keyed by the number's position among all numbers of the
// text, are put back as the node's exact text.
using BigIntegers = std::unordered_map<std::size_t, std::string>;

std::string RewriteBigIntegers(std::string_view text, BigIntegers& big) {
  std::string out;
  out.reserve(text.size() + 64);
  std::size_t ordinal = 0;
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '"') {
      std::size_t j = i + 1;
      while (j < text.size() && text[j] != '"') j += text[j] == '\\' ? 2 : 1;
      j = std::min(j + 1, text.size());
      out.append(text, i, j - i);
      i = j;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      std::size_t j = i + 1;
      while (j < text.size() &&
             ((text[j] >= '0' && text[j] <= '9') || text[j] == '.' || text[j] == 'e' ||
              text[j] == 'E' || text[j] == '+' || text[j] == '-')) {
        ++j;
      }
      std::string_view token = text.substr(i, j - i);
      out += token;
      std::size_t digits = token.size() - (token[0] == '-' ? 1 : 0);
      if (digits >= 20 && token.find_first_not_of("-0123456789") == std::string_view::npos) {
        big.emplace(ordinal, std::string(token));
        out += ".0";
      }
      ++ordinal;
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

constexpr std::int64_t kExactLimit = std::int64_t{1} << 53;

// Builds our tree straight from simdjson's tape (its documented DOM layout): one pass, no
// recursion; containers nest at most the parser's depth limit.
// Texts are shorter than 2^31 (kMaxText), so the top bit of an offset is free to mark digits
// that are placed after the strings once their length is known.
constexpr std::uint32_t kDigitsMark = std::uint32_t{1} << 31;

// simdjson's tape (its documented DOM layout): one 64-bit word a value, the type in the top
// byte; strings in a buffer of their own, each a 4-byte length, the bytes and a NUL.
struct TapeWords {
  const std::uint64_t* tape;
  const std::uint8_t* strings;

  explicit TapeWords(const simdjson::dom::document& doc)
      : tape(doc.tape.get()), strings(doc.string_buf.get()) {}

  char Type(std::size_t i) const { return static_cast<char>(tape[i] >> 56); }
  std::uint64_t Payload(std::size_t i) const {
    return tape[i] & simdjson::internal::JSON_VALUE_MASK;
  }
  // The number stored after the word at i.
  template <class T>
  T Word(std::size_t i) const {
    T v;
    std::memcpy(&v, &tape[i + 1], sizeof v);
    return v;
  }
  std::string_view String(std::size_t i) const {
    const std::uint8_t* at = strings + Payload(i);
    std::uint32_t len = 0;
    std::memcpy(&len, at, sizeof len);
    return {reinterpret_cast<const char*>(at + sizeof len), len};
  }
  // Index just past the value at i.
  std::size_t After(std::size_t i) const {
    switch (Type(i)) {
      case '[':
      case '{':
        return static_cast<std::uint32_t>(tape[i]);
      case 'l':
      case 'u':
      case 'd':
        return i + 2;
      default:
        return i + 1;
    }
  }
  std::uint32_t Count(std::size_t i) const {
    auto count = static_cast<std::uint32_t>((tape[i] >> 32) & simdjson::internal::JSON_COUNT_MASK);
    if (count < simdjson::internal::JSON_COUNT_MASK) return count;
    count = 0;  // saturated: count by hand
    bool object = Type(i) == '{';
    std::size_t end = After(i) - 1;
    for (std::size_t k = i + 1; k < end; ++count) k = After(object ? k + 1 : k);
    return count;
  }
};

class TapeReader : private TapeWords {
 public:
  TapeReader(const simdjson::dom::document& doc, JsonTree& tree, const BigIntegers* big)
      : TapeWords(doc), tree_(tree), big_(big) {}

  // Strings are not copied one by one: the tree takes simdjson's whole string buffer (each
  // string there is a length, the bytes and a NUL) and refers into it.
  bool Read() {
    std::size_t i = 1;  // tape[0] is the root word
    if (!Value(i, 0)) return false;
    if (!Containers(i)) return false;
    tree_.chars.assign(reinterpret_cast<const char*>(strings), stringsEnd_);
    if (!digits_.empty()) {
      // Members have been reordered since, so find the marked digits again.
      for (Node& n : tree_.nodes) {
        if (n.kind == Kind::Number && (n.text.at & kDigitsMark)) {
          n.text.at = (n.text.at & ~kDigitsMark) + static_cast<std::uint32_t>(stringsEnd_);
        }
      }
      tree_.chars += digits_;
    }
    return true;
  }

  bool Containers(std::size_t& i) {
    while (!stack_.empty()) {
      Frame f = stack_.back();
      char type = Type(i);
      if (type == ']' || type == '}') {
        if (f.object) {
          auto chars = reinterpret_cast<const char*>(strings);
          DropRepeatedNames(tree_, f.node, chars);
          OrderMembers(tree_, f.node, chars);
        }
        stack_.pop_back();
        ++i;
        continue;
      }
      if (f.next >= tree_.nodes[f.node].size) return false;
      Index slot = tree_.nodes[f.node].first + f.next;
      ++stack_.back().next;
      if (f.object) {
        if (type != '"') return false;
        std::string_view name = String(i);
        tree_.nodes[slot].name = Ref(i);
        tree_.nodes[slot].tag = NameTag(name);
        ++i;
      }
      if (!Value(i, slot)) return false;
    }
    return true;
  }

 private:
  struct Frame {
    Index node;
    std::uint32_t next;
    bool object;
  };

  // Where the string at tape index i will sit in the tree's characters.
  Chars Ref(std::size_t i) {
    std::uint64_t at = Payload(i);
    std::uint32_t len = 0;
    std::memcpy(&len, strings + at, sizeof len);
    Chars c{static_cast<std::uint32_t>(at + sizeof len), len};
    stringsEnd_ = std::max<std::size_t>(stringsEnd_, c.at + std::size_t{len} + 1);
    return c;
  }

  // Reads the value at tape index i into slot; i moves past it (or into a container).
  bool Value(std::size_t& i, Index slot) {
    char type = Type(i);
    switch (type) {
      case '[':
      case '{': {
        if (stack_.size() >= kMaxDepth) return false;
        std::uint32_t count = Count(i);
        Index first = Block(tree_, count);
        Node& n = tree_.nodes[slot];
        n.kind = type == '[' ? Kind::Array : Kind::Object;
        n.size = n.capacity = count;
        n.first = first;
        stack_.push_back({slot, 0, type == '{'});
        ++i;
        return true;
      }
      case '"': {
        Chars text = Ref(i);
        tree_.nodes[slot].kind = Kind::String;
        tree_.nodes[slot].text = text;
        ++i;
        return true;
      }
      case 'l':
      case 'u':
      case 'd':
        Number(i, type, slot);
        i += 2;
        return true;
      case 't':
      case 'f':
        tree_.nodes[slot].kind = Kind::Bool;
        tree_.nodes[slot].flag = type == 't';
        ++i;
        return true;
      case 'n':
        tree_.nodes[slot].kind = Kind::Null;
        ++i;
        return true;
      default:
        return false;
    }
  }

  void Number(std::size_t i, char type, Index slot) {
    char buf[32];
    std::string_view digits;
    double value = 0;
    if (type == 'l') {
      std::int64_t v = 0;
      std::memcpy(&v, &tape[i + 1], sizeof v);
      value = static_cast<double>(v);
      // Within 2^53 the double writes the same digits; keep text only for larger integers.
      if (v > kExactLimit || v < -kExactLimit) {
        digits = std::string_view(buf, std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
      }
    } else if (type == 'u') {
      std::uint64_t v = 0;
      std::memcpy(&v, &tape[i + 1], sizeof v);
      value = static_cast<double>(v);
      digits = std::string_view(buf, std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
    } else {
      std::memcpy(&value, &tape[i + 1], sizeof value);
      if (big_) {
        auto it = big_->find(ordinal_);
        if (it != big_->end()) digits = it->second;
      }
    }
    ++ordinal_;
    Chars text;
    if (!digits.empty()) {
      text = {static_cast<std::uint32_t>(digits_.size()) | kDigitsMark,
              static_cast<std::uint32_t>(digits.size())};
      digits_ += digits;
    }
    Node& n = tree_.nodes[slot];
    n.kind = Kind::Number;
    n.number = value;
    n.text = text;
  }

  JsonTree& tree_;
  const BigIntegers* big_;
  std::size_t ordinal_ = 0;  // numbers seen so far, in text order
  std::vector<Frame> stack_;
  std::size_t stringsEnd_ = 0;
  std::string digits_;  // exact digits of large integers, put after the strings
};

// One parser per thread: its buffers are sized for the largest answer seen, so it is not worth
// having two.
simdjson::dom::parser& Parser() {
  thread_local simdjson::dom::parser parser;
  return parser;
}

// Parses JSON data into `tree`, reusing its storage; false (tree unspecified) when the text is
// not JSON.
bool ParseInto(std::string_view text, JsonTree& tree) {
  if (text.size() >= kMaxText) return false;
  simdjson::dom::parser& parser = Parser();
  simdjson::dom::element root;
  auto error = parser.parse(text.data(), text.size()).get(root);
  BigIntegers big;
  std::string rewritten;
  if (error == simdjson::NUMBER_ERROR) {
    rewritten = RewriteBigIntegers(text, big);
    if (big.empty()) return false;
    error = parser.parse(rewritten).get(root);
  }
  if (error) return false;
  tree.nodes.clear();
  tree.chars.clear();
  tree.nodes.emplace_back();
  tree.nodes.reserve(text.size() / 16);
  return TapeReader(parser.doc, tree, big.empty() ? nullptr : &big).Read();
}

std::optional<JsonTree> ParseJson(std::string_view text) {
  JsonTree tree;
  if (!ParseInto(text, tree)) return std::nullopt;
  return tree;
}

// What the script engine made of text handed to eval: JSON data only, never code. A JSON
// string evaluates its content, of which only a number, true, false or null is kept.
// Blank text evaluates to undefined.
bool EvalInto(std::string_view text, JsonTree& tree) {
  if (Trim(text).empty()) {
    tree = TreeOf(Kind::Undefined);
    return true;
  }
  if (!ParseInto(text, tree)) return false;
  if (tree.nodes[0].kind != Kind::String) return true;
  JsonTree inner;
  if (!ParseInto(View(tree, tree.nodes[0].text), inner)) return false;
  Kind k = inner.nodes[0].kind;
  if (k == Kind::Object || k == Kind::Array || k == Kind::String) return false;
  tree = std::move(inner);
  return true;
}

std::optional<JsonTree> EvalData(std::string_view text) {
  JsonTree tree;
  if (!EvalInto(text, tree)) return std::nullopt;
  return tree;
}

// Parses an object or array answer into tape form; false (tree untouched) for anything else,
// which then takes the tree path. Numbers past 64 bits fail here, so a tape holds only numbers
// simdjson keeps exactly as the tree would.
bool ParseTape(std::string_view text, JsonTree& tree) {
  if (text.size() >= kMaxText) return false;
  simdjson::dom::parser& parser = Parser();
  simdjson::dom::element root;
  // simdjson reads past the end of what it parses, so it always works on its own padded copy.
  if (parser.parse(text.data(), text.size(), true).get(root)) return false;
  if (!root.is_array() && !root.is_object()) return false;
  if (!tree.tape) tree.tape = std::make_unique<json_detail::Tape>();
  // The tree takes the parsed document; the parser gets the tree's old buffers for next time.
  std::swap(tree.tape->doc, parser.doc);
  json_detail::Tape& tape = *tree.tape;
  tape.items.clear();
  tape.tableOf = kNone;
  tape.itemsOf = kNone;
  tape.lastItems = nullptr;
  tape.walked.clear();
  tape.steps.clear();
  tape.textSize = text.size();
  tree.nodes.clear();
  tree.chars.clear();
  return true;
}

// Turns a tape into the editable tree (simdjson's depth limit is below ours, so it cannot fail).
JsonTree& Materialize(JsonTree& tree) {
  if (!tree.tape) return tree;
  std::unique_ptr<json_detail::Tape> tape = std::move(tree.tape);
  tree.nodes.clear();
  tree.chars.clear();
  tree.nodes.emplace_back();
  tree.nodes.reserve(tape->textSize / 16);
  if (!TapeReader(tape->doc, tree, nullptr).Read()) tree = TreeOf(Kind::Null);
  return tree;
}

// ---- paths ----------------------------------------------------------------------------------

struct Step {
  bool isIndex = false;
  std::string_view name;
  std::uint64_t index = 0;
};

bool NameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool NameChar(unsigned char c) { return NameStart(c) || (c >= '0' && c <= '9'); }

// Takes one ".name" (or a bare name when `bare`) or "[digits]" off the front of `rest`.
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

// The editable tree as the path walkers see it.
struct TreeNav {
  const JsonTree& t;
  Index Root() const { return 0; }
  bool Present(Index i) const { return lumora::Present(t, i); }
  Index Child(Index i, const Step& step) const { return lumora::Child(t, i, step); }
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

Index TreeNav::Walk(std::string_view rest, bool bare) const { return WalkIn(*this, rest, bare); }

// The root name as a whole identifier at the front of the path ("data" is another name).
bool StartsWithRoot(std::string_view path) {
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

Index Locate(const JsonTree& t, std::string_view path) { return LocateIn(TreeNav{t}, path); }
std::string Absolute(const JsonTree& t, std::string_view path) {
  return AbsoluteIn(TreeNav{t}, path);
}

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

// ---- reading the tape -----------------------------------------------------------------------

// Objects and arrays this large get an index on first use; smaller ones are scanned.
constexpr std::uint32_t kIndexFrom = 16;

// Length and outer bytes tell most member names apart; the table compares names anyway.
std::size_t NameHash(std::string_view name) {
  std::uint64_t h = name.size();
  if (!name.empty()) {
    h |= std::uint64_t{static_cast<unsigned char>(name.front())} << 8 |
         std::uint64_t{static_cast<unsigned char>(name.back())} << 16 |
         std::uint64_t{static_cast<unsigned char>(name[name.size() / 2])} << 24;
  }
  h *= 0x9E3779B97F4A7C15ull;
  return static_cast<std::size_t>(h ^ (h >> 29));
}

// Paths over simdjson's tape (its documented DOM layout). Positions are tape indexes; texts are
// shorter than 2^31, so they fit an Index.
struct TapeNav : TapeWords {
  json_detail::Tape* store;

  explicit TapeNav(json_detail::Tape& s) : TapeWords(s.doc), store(&s) {}

  bool IsContainer(Index i) const { return i != kNone && (Type(i) == '[' || Type(i) == '{'); }

  Index Root() const { return 1; }  // tape[0] is the root word
  bool Present(Index i) const { return i != kNone && Type(i) != 'n'; }

  // A repeated name takes its last value, as JSON.parse does.
  Index Member(Index obj, std::string_view name) const {
    Index end = After(obj) - 1;
    if (Count(obj) >= kIndexFrom) return Indexed(obj, end, name);
    Index found = kNone;
    for (Index k = obj + 1; k < end; k = After(k + 1)) {
      if (String(k) == name) found = k + 1;
    }
    return found;
  }

  Index Indexed(Index obj, Index end, std::string_view name) const {
    std::vector<std::uint32_t>& table = store->table;
    if (store->tableOf != obj) {
      // The walk below goes one dependent load at a time; ask for the object's tape and
      // (about) its strings at once.
      std::size_t bytes = std::min<std::size_t>(std::size_t{end - obj} * 8, 8192);
      auto words = reinterpret_cast<const char*>(tape + obj);
      auto chars = reinterpret_cast<const char*>(strings + Payload(obj + 1));
      for (std::size_t off = 0; off < bytes; off += 64) {
        __builtin_prefetch(words + off);
        __builtin_prefetch(chars + off);
      }
      store->tableOf = kNone;
      table.assign(std::bit_ceil(std::size_t{Count(obj)} * 2), 0);
      std::size_t mask = table.size() - 1;
      for (Index k = obj + 1; k < end; k = After(k + 1)) {
        std::string_view key = String(k);
        for (std::size_t slot = NameHash(key) & mask;; slot = (slot + 1) & mask) {
          if (table[slot] == 0 || String(table[slot]) == key) {
            table[slot] = k;
            break;
          }
        }
      }
      store->tableOf = obj;
    }
    std::size_t mask = table.size() - 1;
    for (std::size_t slot = NameHash(name) & mask; table[slot] != 0; slot = (slot + 1) & mask) {
      if (String(table[slot]) == name) return table[slot] + 1;
    }
    return kNone;
  }

  Index Item(Index arr, std::uint64_t index) const {
    std::uint32_t count = Count(arr);
    if (index >= count) return kNone;
    if (count < kIndexFrom) {
      Index k = arr + 1;
      for (std::uint64_t n = 0; n < index; ++n) k = After(k);
      return k;
    }
    if (store->itemsOf != arr) {
      store->itemsOf = arr;
      store->lastItems = &store->items[arr];  // map values stay put when the map grows
    }
    // Grown only as far as asked, so reading the items in order walks each one once, just
    // before it is read anyway.
    std::vector<std::uint32_t>& items = *store->lastItems;
    if (index >= items.size()) {
      if (items.empty()) {
        items.reserve(count);
        items.push_back(arr + 1);
      }
      for (Index k = items.back(); items.size() <= index;) {
        k = After(k);
        items.push_back(k);
      }
    }
    return (*store->lastItems)[index];
  }

  Index Walk(std::string_view rest, bool bare) const {
    json_detail::Tape& s = *store;
    Index cur = Root();
    std::size_t at = 0;
    if (s.walkedBare == bare) {
      std::size_t common = static_cast<std::size_t>(
          std::mismatch(rest.begin(), rest.end(), s.walked.begin(), s.walked.end()).first -
          rest.begin());
      // The deepest step of the last path that ends inside the shared text, where this path's
      // own step ends too.
      std::size_t keep = s.steps.size();
      for (; keep > 0; --keep) {
        std::size_t end = s.steps[keep - 1].first;
        if (end <= common && (end == rest.size() || rest[end] == '.' || rest[end] == '[')) break;
      }
      s.steps.resize(keep);
      if (keep > 0) {
        at = s.steps.back().first;
        cur = s.steps.back().second;
      }
    } else {
      s.steps.clear();
    }
    s.walked.assign(rest);
    s.walkedBare = bare;
    std::string_view left = rest.substr(at);
    bool first = bare && at == 0;
    while (!left.empty()) {
      Step step;
      if (!TakeStep(left, step, first)) return kNone;
      first = false;
      cur = Child(cur, step);
      if (cur == kNone) return kNone;
      s.steps.emplace_back(static_cast<std::uint32_t>(rest.size() - left.size()), cur);
    }
    return cur;
  }

  Index Child(Index i, const Step& step) const {
    char type = Type(i);
    if (type == '[') return step.isIndex ? Item(i, step.index) : kNone;
    if (type != '{') return kNone;
    if (!step.isIndex) return Member(i, step.name);
    char buf[24];
    return Member(
        i, std::string_view(buf, std::to_chars(buf, buf + sizeof buf, step.index).ptr - buf));
  }

  Index ItemOf(Index i, int index) const {
    if (!Present(i)) return kNone;
    if (Type(i) == '[') return index < 0 ? kNone : Item(i, static_cast<std::uint64_t>(index));
    if (Type(i) == '{') return Member(i, std::to_string(index));
    return kNone;
  }

  void AppendNumber(Index i, std::string& out) const {
    char buf[32];
    switch (Type(i)) {
      case 'l':
        out.append(buf, std::to_chars(buf, buf + sizeof buf, Word<std::int64_t>(i)).ptr);
        break;
      case 'u':
        out.append(buf, std::to_chars(buf, buf + sizeof buf, Word<std::uint64_t>(i)).ptr);
        break;
      default:
        AppendDouble(Word<double>(i), out);
    }
  }

  double Number(Index i) const {
    switch (Type(i)) {
      case 'l':
        return static_cast<double>(Word<std::int64_t>(i));
      case 'u':
        return static_cast<double>(Word<std::uint64_t>(i));
      case 'd':
        return Word<double>(i);
      default:
        return 0;
    }
  }

  // The script toString of a present value, as AppendScriptText does for the tree.
  void AppendScriptText(Index i, std::string& out) const {
    switch (Type(i)) {
      case 't':
        out += "true";
        break;
      case 'f':
        out += "false";
        break;
      case 'l':
      case 'u':
      case 'd':
        AppendNumber(i, out);
        break;
      case '"':
        out += String(i);
        break;
      case '[': {
        Index end = After(i) - 1;
        for (Index k = i + 1; k < end; k = After(k)) {
          if (k != i + 1) out += ',';
          AppendScriptText(k, out);
        }
        break;
      }
      case '{':
        out += "[object Object]";
        break;
      default:
        break;
    }
  }

  int TypeCode(Index i) const {
    if (!Present(i)) return 0;
    switch (Type(i)) {
      case 't':
      case 'f':
        return 1;
      case 'l':
      case 'u':
      case 'd':
        return 2;
      case '{':
        return 4;
      case '[':
        return 5;
      case '"':
        return 6;
      default:
        return -1;
    }
  }

  // What SubDocumentOf gives for a value that is not a container.
  JsonTree SubTree(Index i) const {
    if (i == kNone) return TreeOf(Kind::Undefined);
    char type = Type(i);
    if (type == 't' || type == 'f') {
      JsonTree t = TreeOf(Kind::Bool);
      t.nodes[0].flag = type == 't';
      return t;
    }
    if (type == 'l' || type == 'u' || type == 'd') {
      JsonTree t = TreeOf(Kind::Number);
      t.nodes[0].number = Number(i);
      if (t.nodes[0].number == 0) t.nodes[0].number = 0;  // -0 writes as 0
      if (type != 'd') {
        // Integers keep their digits (within 2^53 the double would write the same ones).
        AppendNumber(i, t.chars);
        t.nodes[0].text = {0, static_cast<std::uint32_t>(t.chars.size())};
      }
      return t;
    }
    if (type == '"') {
      std::string quoted;
      AppendQuoted(String(i), quoted);
      std::optional<JsonTree> v = EvalData(Unmark(std::move(quoted)));
      if (v) return std::move(*v);
    }
    return TreeOf(Kind::Null);
  }
};

// An assignment target: the node holding it and the last step, after the path rule.
struct Target {
  std::string absolute;  // the steps' names point into this
  std::vector<Step> steps;
  Index parent = kNone;  // kNone when the target is the root itself
  bool ok = false;
};

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

// Grows array a with null items so that it has an item at `index`; false when too far out.
bool GrowTo(JsonTree& t, Index a, std::uint64_t index) {
  if (index >= std::uint64_t{t.nodes[a].size} + kMaxArrayGrowth) return false;
  while (t.nodes[a].size <= index) InsertSlot(t, a, t.nodes[a].size);
  return true;
}

// The node an assignment would write, creating an object member or array slot as the engine
// would; kNone when the engine would fail or ignore the assignment.
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

// Merge of a JSON value into an existing container, member by member.
void Merge(JsonTree& t, Index target, const JsonTree& src, Index s) {
  const Node from = src.nodes[s];
  if (t.nodes[target].kind == Kind::Array) {
    if (from.kind == Kind::Array) {
      for (std::uint32_t k = 0; k < from.size; ++k) {
        Node item = Import(t, src, from.first + k);
        Place(t, InsertSlot(t, target, t.nodes[target].size), item);
      }
    }
    return;
  }
  if (from.kind != Kind::Object && from.kind != Kind::Array) return;
  for (std::uint32_t k = 0; k < from.size; ++k) {
    std::string name = from.kind == Kind::Object
                           ? std::string(View(src, src.nodes[from.first + k].name))
                           : std::to_string(k);
    Index existing = FindMember(t, target, name);
    Kind kind = KindOf(t, existing);
    if (kind == Kind::Object || kind == Kind::Array) {
      Merge(t, existing, src, from.first + k);
    } else {
      // Strings, booleans, numbers and null are replaced.
      Node value = Import(t, src, from.first + k);
      Place(t, MemberSlot(t, target, name), value);
    }
  }
}

// The body of a single-quoted script string literal, decoded; nothing on a syntax error.
std::optional<std::string> DecodeQuoted(std::string_view body) {
  std::string out;
  auto appendUtf8 = [&out](std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  auto hex = [&body](std::size_t at, int count, std::uint32_t& v) {
    if (at + static_cast<std::size_t>(count) > body.size()) return false;
    v = 0;
    for (int k = 0; k < count; ++k) {
      char c = body[at + static_cast<std::size_t>(k)];
      int d = (c >= '0' && c <= '9')   ? c - '0'
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                       : -1;
      if (d < 0) return false;
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  };
  for (std::size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (c == '\'' || c == '\n' || c == '\r') return std::nullopt;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= body.size()) return std::nullopt;  // the backslash escapes the closing quote
    char e = body[i];
    std::uint32_t v = 0;
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'v':
        out += '\v';
        break;
      case '\n':
        break;  // line continuation
      case '\r':
        if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
        break;
      case 'x':
        if (!hex(i + 1, 2, v)) return std::nullopt;
        appendUtf8(v);
        i += 2;
        break;
      case 'u':
        if (!hex(i + 1, 4, v)) return std::nullopt;
        i += 4;
        if (v >= 0xD800 && v <= 0xDBFF) {
          std::uint32_t low = 0;
          if (i + 2 < body.size() && body[i + 1] == '\\' && body[i + 2] == 'u' &&
              hex(i + 3, 4, low) && low >= 0xDC00 && low <= 0xDFFF) {
            v = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          } else {
            v = 0xFFFD;
          }
        } else if (v >= 0xDC00 && v <= 0xDFFF) {
          v = 0xFFFD;
        }
        appendUtf8(v);
        break;
      default:
        if (e >= '0' && e <= '7') {  // legacy octal escape
          v = static_cast<std::uint32_t>(e - '0');
          std::size_t max = e <= '3' ? 3 : 2;
          for (std::size_t k = 1;
               k < max && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7'; ++k) {
            v = v * 8 + static_cast<std::uint32_t>(body[++i] - '0');
          }
          appendUtf8(v);
        } else {
          out += e;
        }
    }
  }
  return out;
}

// The value of an item argument: JSON data with the flag, else a quoted script literal.
std::optional<JsonTree> ItemValue(std::string_view value, bool json) {
  if (json) return ParseJson(value);
  std::optional<std::string> text = DecodeQuoted(value);
  if (!text) return std::nullopt;
  return StringTree(*text);
}

void CollectValues(const JsonTree& t, Index i, bool recursive, std::vector<std::string>& out) {
  const Node& n = t.nodes[i];
  for (std::uint32_t k = 0; k < n.size; ++k) {
    Index c = n.first + k;
    switch (t.nodes[c].kind) {
      case Kind::Array:
      case Kind::Object:
        if (recursive) CollectValues(t, c, recursive, out);
        break;
      case Kind::String:
      case Kind::Number:
      case Kind::Bool: {
        std::string text;
        AppendScriptText(t, c, text);
        out.push_back(std::move(text));
        break;
      }
      default:
        break;
    }
  }
}

// A new document holding what parsing the node's JSON text (non-literal) would give.
JsonDocument SubDocumentOf(const JsonTree& t, Index i) {
  Kind kind = KindOf(t, i);
  JsonTree tree;
  if (kind == Kind::Undefined) {
    tree = TreeOf(Kind::Undefined);
  } else if (kind == Kind::Null || (kind == Kind::Number && !std::isfinite(t.nodes[i].number))) {
    tree = TreeOf(Kind::Null);
  } else if (kind == Kind::Bool || kind == Kind::Number) {
    tree.nodes.push_back(Import(tree, t, i));
    if (tree.nodes[0].number == 0) tree.nodes[0].number = 0;  // -0 writes as 0
  } else {
    std::optional<JsonTree> v = EvalData(JsonText(t, i));
    tree = v ? std::move(*v) : TreeOf(Kind::Null);
  }
  return JsonDocument(std::make_shared<JsonTree>(std::move(tree)));
}

}  // namespace

// ---- JsonDocument ---------------------------------------------------------------------------

JsonDocument::JsonDocument() { Create(); }

JsonDocument::JsonDocument(EngineRef engine) : engine_(std::move(engine)) {
  if (!engine_) Create();
}

bool JsonDocument::Create() {
  engine_ = std::make_shared<JsonTree>(TreeOf(Kind::Object));
  return true;
}

bool JsonDocument::Parse(std::string_view text, bool literal) {
  // A fresh tree, so copies keep the old one; when nothing else holds the old one its storage
  // is reused, which spares a large answer most of its allocation.
  if (!engine_ || engine_.use_count() > 1) engine_ = std::make_shared<JsonTree>();
  JsonTree& tree = *engine_;
  // Objects and arrays read the same either way; only a root string or blank text differs.
  if (ParseTape(text, tree)) return true;
  tree.tape.reset();
  if (!(literal ? ParseInto(text, tree) : EvalInto(text, tree))) tree = TreeOf(Kind::Null);
  return Present(tree, 0);
}

void JsonDocument::Clear() { *engine_ = TreeOf(Kind::Object); }

std::string JsonDocument::ToText() const { return JsonText(Materialize(*engine_), 0); }

void JsonDocument::SetValue(std::string_view path, std::string_view value, bool json) {
  JsonTree& tree = Materialize(*engine_);
  if (!json) {
    Assign(tree, path, StringTree(Mark(value)));
    return;
  }
  if (value.empty()) value = "{}";
  Index existing = Locate(tree, path);
  if (Present(tree, existing) && tree.nodes[existing].kind == Kind::Object) {
    std::optional<JsonTree> source = ParseJson(value);
    Target t = Resolve(tree, path);
    if (!source || !t.ok || static_cast<int>(t.steps.size()) + Depth(*source, 0) > kMaxDepth) {
      return;
    }
    Merge(tree, existing, *source, 0);
    return;
  }
  std::optional<JsonTree> v = EvalData(value);
  if (v && v->nodes[0].kind != Kind::Undefined) Assign(tree, path, *v);
}

void JsonDocument::SetExpression(std::string_view path, std::string_view expression) {
  std::optional<JsonTree> v = EvalData(expression);
  if (v && v->nodes[0].kind != Kind::Undefined) Assign(Materialize(*engine_), path, *v);
}

bool JsonDocument::ResolvePath(std::string& path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    path = AbsoluteIn(nav, path);
    return nav.Present(LocateIn(nav, path));
  }
  path = Absolute(*engine_, path);
  return Present(*engine_, Locate(*engine_, path));
}

bool JsonDocument::Exists(std::string_view path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    return nav.Present(LocateIn(nav, path));
  }
  return Present(*engine_, Locate(*engine_, path));
}

int JsonDocument::TypeOf(std::string_view path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    return nav.TypeCode(LocateIn(nav, path));
  }
  Index i = Locate(*engine_, path);
  if (!Present(*engine_, i)) return 0;
  switch (engine_->nodes[i].kind) {
    case Kind::Bool:
      return 1;
    case Kind::Number:
      return 2;
    case Kind::Object:
      return 4;
    case Kind::Array:
      return 5;
    case Kind::String:
      return 6;
    default:
      return -1;
  }
}

std::string JsonDocument::GetText(std::string_view path, bool json) const {
  if (engine_->tape && !json) {
    TapeNav nav(*engine_->tape);
    Index i = LocateIn(nav, path);
    if (!nav.Present(i)) return {};
    std::string out;
    nav.AppendScriptText(i, out);
    return Unmark(std::move(out));
  }
  if (json) Materialize(*engine_);
  Index i = Locate(*engine_, path);
  if (json) return JsonText(*engine_, i);
  if (!Present(*engine_, i)) return {};
  std::string out;
  AppendScriptText(*engine_, i, out);
  return Unmark(std::move(out));
}

int JsonDocument::MemberNames(std::vector<std::string>& names, std::string_view path) const {
  names.clear();
  const JsonTree& t = Materialize(*engine_);
  Index i = Locate(t, path);
  if (Present(t, i) && t.nodes[i].kind == Kind::Object) {
    const Node& n = t.nodes[i];
    for (std::uint32_t k = 0; k < n.size; ++k)
      names.emplace_back(View(t, t.nodes[n.first + k].name));
  }
  return static_cast<int>(names.size());
}

int JsonDocument::Count(std::string_view path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    Index i = LocateIn(nav, path);
    return nav.Present(i) && nav.Type(i) == '[' ? static_cast<int>(nav.Count(i)) : 0;
  }
  Index i = Locate(*engine_, path);
  return Present(*engine_, i) && engine_->nodes[i].kind == Kind::Array
             ? static_cast<int>(engine_->nodes[i].size)
             : 0;
}

JsonDocument JsonDocument::GetSubDocument(std::string_view path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    Index i = LocateIn(nav, path);
    if (!nav.IsContainer(i)) return JsonDocument(std::make_shared<JsonTree>(nav.SubTree(i)));
    Materialize(*engine_);
  }
  return SubDocumentOf(*engine_, Locate(*engine_, path));
}

void JsonDocument::AddItem(std::string_view path, std::string_view value, bool json, bool atFront) {
  std::optional<JsonTree> item = ItemValue(value, json);
  if (!item) return;
  JsonTree& tree = Materialize(*engine_);
  Index slot = Slot(tree, Resolve(tree, path), 1 + Depth(*item, 0));
  if (slot == kNone) return;
  if (tree.nodes[slot].kind != Kind::Array) Place(tree, slot, TreeOf(Kind::Array).nodes[0]);
  Node copy = Import(tree, *item, 0);
  Place(tree, InsertSlot(tree, slot, atFront ? 0 : tree.nodes[slot].size), copy);
}

JsonDocument JsonDocument::GetItemDocument(int index, std::string_view path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    Index i = nav.ItemOf(LocateIn(nav, path), index);
    if (!nav.IsContainer(i)) return JsonDocument(std::make_shared<JsonTree>(nav.SubTree(i)));
    Materialize(*engine_);
  }
  return SubDocumentOf(*engine_, ItemOf(*engine_, Locate(*engine_, path), index));
}

std::string JsonDocument::GetItemText(int index, std::string_view path, bool json) const {
  if (engine_->tape && !json) {
    TapeNav nav(*engine_->tape);
    Index i = nav.ItemOf(LocateIn(nav, path), index);
    if (i == kNone || nav.Type(i) != '"') return {};
    return Unmark(std::string(nav.String(i)));
  }
  if (json) Materialize(*engine_);
  Index item = ItemOf(*engine_, Locate(*engine_, path), index);
  if (json) return JsonText(*engine_, item);
  if (KindOf(*engine_, item) != Kind::String) return {};
  return Unmark(std::string(View(*engine_, engine_->nodes[item].text)));
}

void JsonDocument::SetItem(int index, std::string_view path, std::string_view value, bool json) {
  std::optional<JsonTree> item = ItemValue(value, json);
  if (!item) return;
  JsonTree& tree = Materialize(*engine_);
  Index n = Locate(tree, path);
  if (!Present(tree, n)) return;
  Target t = Resolve(tree, path);
  if (!t.ok || static_cast<int>(t.steps.size()) + 1 + Depth(*item, 0) > kMaxDepth) return;
  if (tree.nodes[n].kind == Kind::Array) {
    if (index < 0) return;  // a named property on an array: nothing we keep
    if (!GrowTo(tree, n, static_cast<std::uint64_t>(index))) return;
    Node copy = Import(tree, *item, 0);
    Place(tree, tree.nodes[n].first + static_cast<Index>(index), copy);
  } else if (tree.nodes[n].kind == Kind::Object) {
    Node copy = Import(tree, *item, 0);
    Place(tree, MemberSlot(tree, n, std::to_string(index)), copy);
  }
}

void JsonDocument::RemoveItem(int index, std::string_view path) {
  JsonTree& tree = Materialize(*engine_);
  Index n = Locate(tree, path);
  if (!Present(tree, n) || tree.nodes[n].kind != Kind::Array) return;
  auto size = static_cast<long long>(tree.nodes[n].size);
  long long start = index < 0 ? std::max(size + index, 0LL) : std::min<long long>(index, size);
  if (start < size) EraseSlot(tree, n, static_cast<std::uint32_t>(start));
}

void JsonDocument::Delete(std::string_view path) {
  JsonTree& tree = Materialize(*engine_);
  Target t = Resolve(tree, path);
  if (!t.ok || t.parent == kNone) return;  // the root variable itself cannot be deleted
  const Step& last = t.steps.back();
  const Node& p = tree.nodes[t.parent];
  if (p.kind == Kind::Object) {
    Index i = FindMember(tree, t.parent,
                         last.isIndex ? std::string_view(std::to_string(last.index)) : last.name);
    if (i != kNone) EraseSlot(tree, t.parent, i - p.first);
  } else if (p.kind == Kind::Array && last.isIndex && last.index < p.size) {
    // A hole: reads as null, keeps the length.
    Place(tree, p.first + static_cast<Index>(last.index), TreeOf(Kind::Null).nodes[0]);
  }
}

void JsonDocument::SetNumber(std::string_view path, double value) {
  if (!std::isfinite(value)) return;
  JsonTree n = TreeOf(Kind::Number);
  n.nodes[0].number = value;
  Assign(Materialize(*engine_), path, n);
}

double JsonDocument::GetNumber(std::string_view path) const {
  if (engine_->tape) {
    TapeNav nav(*engine_->tape);
    return nav.Number(LocateIn(nav, path));
  }
  Index i = Locate(*engine_, path);
  return KindOf(*engine_, i) == Kind::Number ? engine_->nodes[i].number : 0;
}

std::string JsonDocument::ToTextAt(std::string_view path) const {
  const JsonTree& t = Materialize(*engine_);
  return JsonText(t, Locate(t, path));
}

JsonDocument::EngineRef JsonDocument::Engine() const { return engine_; }

int JsonDocument::NodeValues(std::vector<std::string>& values, std::string_view path,
                             bool recursive) const {
  values.clear();
  Materialize(*engine_);
  Index i = Locate(*engine_, path);
  if (Present(*engine_, i)) CollectValues(*engine_, i, recursive, values);
  return static_cast<int>(values.size());
}

}  // namespace lumora
