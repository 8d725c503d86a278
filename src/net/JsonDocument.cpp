#include "net/JsonDocument.h"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>

namespace lumora {

namespace json_detail {

enum class Kind : std::uint8_t { Undefined, Null, Bool, Number, String, Array, Object };

struct Node {
  Kind kind = Kind::Null;
  // Bool: the value. Number: `text` holds the exact source digits of an integer literal.
  bool flag = false;
  double number = 0;
  std::string text;
  std::vector<Node> items;         // array elements, or object member values
  std::vector<std::string> names;  // object member names, parallel to items
};

}  // namespace json_detail

struct JsonTree {
  json_detail::Node root;
};

namespace {

using json_detail::Kind;
using json_detail::Node;

// Nesting limit of parsed and edited trees. It is simdjson's own default, and it bounds the
// recursion of every walker in this file.
constexpr int kMaxDepth = 1024;
// How far an item assignment may grow an array past its end (the holes read as null).
constexpr std::uint64_t kMaxArrayGrowth = 1 << 16;
// Backslashes of text set through SetValue are kept as U+2400 and turned back on output.
constexpr std::string_view kBackslashMark = "\xE2\x90\x80";

bool Present(const Node* n) { return n && n->kind != Kind::Null && n->kind != Kind::Undefined; }
bool Defined(const Node* n) { return n && n->kind != Kind::Undefined; }

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

void AppendNumber(const Node& n, std::string& out) {
  // Integers keep their digits, so ids beyond 2^53 survive; "-0" still reads as 0.
  if (!n.text.empty() && n.text != "-0") {
    out += n.text;
  } else {
    AppendDouble(n.number, out);
  }
}

void AppendQuoted(std::string_view s, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
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
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

// JSON text of a defined node (tree depth is bounded by kMaxDepth).
void Stringify(const Node& n, std::string& out) {
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
        AppendNumber(n, out);
      } else {
        out += "null";
      }
      break;
    case Kind::String:
      AppendQuoted(n.text, out);
      break;
    case Kind::Array:
      out += '[';
      for (std::size_t i = 0; i < n.items.size(); ++i) {
        if (i) out += ',';
        Stringify(n.items[i], out);
      }
      out += ']';
      break;
    case Kind::Object:
      out += '{';
      for (std::size_t i = 0; i < n.items.size(); ++i) {
        if (i) out += ',';
        AppendQuoted(n.names[i], out);
        out += ':';
        Stringify(n.items[i], out);
      }
      out += '}';
      break;
  }
}

std::string JsonText(const Node* n) {
  if (!Defined(n)) return {};
  std::string out;
  Stringify(*n, out);
  return Unmark(std::move(out));
}

// The script toString of a present node; arrays join their elements with ",".
void AppendScriptText(const Node& n, std::string& out) {
  switch (n.kind) {
    case Kind::Undefined:
    case Kind::Null:
      break;
    case Kind::Bool:
      out += n.flag ? "true" : "false";
      break;
    case Kind::Number:
      AppendNumber(n, out);
      break;
    case Kind::String:
      out += n.text;
      break;
    case Kind::Array:
      for (std::size_t i = 0; i < n.items.size(); ++i) {
        if (i) out += ',';
        AppendScriptText(n.items[i], out);
      }
      break;
    case Kind::Object:
      out += "[object Object]";
      break;
  }
}

int Depth(const Node& n) {
  int deepest = 0;
  for (const Node& child : n.items) deepest = std::max(deepest, Depth(child));
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

Node* FindMember(Node& obj, std::string_view name) {
  for (std::size_t i = 0; i < obj.names.size(); ++i) {
    if (obj.names[i] == name) return &obj.items[i];
  }
  return nullptr;
}

const Node* FindMember(const Node& obj, std::string_view name) {
  return FindMember(const_cast<Node&>(obj), name);
}

void SetMember(Node& obj, std::string_view name, Node value) {
  if (Node* existing = FindMember(obj, name)) {
    *existing = std::move(value);
    return;
  }
  std::size_t at = obj.names.size();
  std::uint32_t index = 0;
  if (ArrayIndexName(name, index)) {
    at = 0;
    std::uint32_t other = 0;
    while (at < obj.names.size() && ArrayIndexName(obj.names[at], other) && other < index) ++at;
  }
  obj.names.insert(obj.names.begin() + static_cast<std::ptrdiff_t>(at), std::string(name));
  obj.items.insert(obj.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(value));
}

// Puts integer-like member names first in ascending order, the rest keeping their order.
void OrderMembers(Node& obj) {
  std::uint32_t v = 0;
  bool any = false;
  for (const auto& name : obj.names) {
    if (ArrayIndexName(name, v)) {
      any = true;
      break;
    }
  }
  if (!any) return;
  struct Entry {
    bool index;
    std::uint32_t value;
    std::size_t at;
  };
  std::vector<Entry> order;
  order.reserve(obj.names.size());
  for (std::size_t i = 0; i < obj.names.size(); ++i) {
    bool isIndex = ArrayIndexName(obj.names[i], v);
    order.push_back({isIndex, isIndex ? v : 0, i});
  }
  std::stable_sort(order.begin(), order.end(), [](const Entry& a, const Entry& b) {
    if (a.index != b.index) return a.index;
    return a.index && a.value < b.value;
  });
  std::vector<std::string> names;
  std::vector<Node> items;
  names.reserve(order.size());
  items.reserve(order.size());
  for (const Entry& e : order) {
    names.push_back(std::move(obj.names[e.at]));
    items.push_back(std::move(obj.items[e.at]));
  }
  obj.names = std::move(names);
  obj.items = std::move(items);
}

// ---- parsing --------------------------------------------------------------------------------

std::string_view Trim(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

Node OfKind(Kind kind) {
  Node n;
  n.kind = kind;
  return n;
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

struct Converter {
  const BigIntegers* big = nullptr;
  std::size_t ordinal = 0;  // numbers seen so far, in text order

  bool Number(simdjson::dom::element e, Node& out) {
    out.kind = Kind::Number;
    char buf[32];
    if (e.is_int64()) {
      std::int64_t v = e.get_int64().value_unsafe();
      out.number = static_cast<double>(v);
      out.text.assign(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    } else if (e.is_uint64()) {
      std::uint64_t v = e.get_uint64().value_unsafe();
      out.number = static_cast<double>(v);
      out.text.assign(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    } else {
      out.number = e.get_double().value_unsafe();
      if (big) {
        auto it = big->find(ordinal);
        if (it != big->end()) out.text = it->second;
      }
    }
    ++ordinal;
    return true;
  }

  // Depth is bounded by the parser's own limit (kMaxDepth).
  bool Convert(simdjson::dom::element e, Node& out, int depth) {
    using simdjson::dom::element_type;
    if (depth > kMaxDepth) return false;
    switch (e.type()) {
      case element_type::ARRAY: {
        simdjson::dom::array arr = e.get_array().value_unsafe();
        out.kind = Kind::Array;
        out.items.reserve(arr.size());
        for (simdjson::dom::element child : arr) {
          out.items.emplace_back();
          if (!Convert(child, out.items.back(), depth + 1)) return false;
        }
        return true;
      }
      case element_type::OBJECT:
        return Object(e.get_object().value_unsafe(), out, depth);
      case element_type::INT64:
      case element_type::UINT64:
      case element_type::DOUBLE:
        return Number(e, out);
      case element_type::STRING:
        out.kind = Kind::String;
        out.text = e.get_string().value_unsafe();
        return true;
      case element_type::BOOL:
        out.kind = Kind::Bool;
        out.flag = e.get_bool().value_unsafe();
        return true;
      case element_type::NULL_VALUE:
        out.kind = Kind::Null;
        return true;
    }
    return false;
  }

  bool Object(simdjson::dom::object obj, Node& out, int depth) {
    out.kind = Kind::Object;
    out.names.reserve(obj.size());
    out.items.reserve(obj.size());
    for (auto [key, value] : obj) {
      out.names.emplace_back(key);
      out.items.emplace_back();
      if (!Convert(value, out.items.back(), depth + 1)) return false;
    }
    DropRepeatedNames(out);
    OrderMembers(out);
    return true;
  }

  // A repeated name keeps its first place and takes the last value, as JSON.parse does.
  static void DropRepeatedNames(Node& obj) {
    std::size_t n = obj.names.size();
    if (n < 2) return;
    std::vector<std::pair<std::size_t, std::size_t>> hashes;  // (hash, position)
    hashes.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      hashes.emplace_back(std::hash<std::string>{}(obj.names[i]), i);
    }
    std::sort(hashes.begin(), hashes.end());
    std::vector<std::size_t> dropped;
    for (std::size_t i = 0; i + 1 < n;) {
      std::size_t j = i + 1;
      while (j < n && hashes[j].first == hashes[i].first) ++j;
      // Within one hash, keep the first place of each name and move its last value there.
      for (std::size_t a = i; a < j; ++a) {
        std::size_t first = hashes[a].second;
        if (first == SIZE_MAX) continue;
        for (std::size_t b = a + 1; b < j; ++b) {
          std::size_t later = hashes[b].second;
          if (later != SIZE_MAX && obj.names[later] == obj.names[first]) {
            obj.items[first] = std::move(obj.items[later]);
            dropped.push_back(later);
            hashes[b].second = SIZE_MAX;
          }
        }
      }
      i = j;
    }
    if (dropped.empty()) return;
    std::sort(dropped.begin(), dropped.end());
    std::size_t out = 0;
    for (std::size_t i = 0, d = 0; i < n; ++i) {
      if (d < dropped.size() && dropped[d] == i) {
        ++d;
        continue;
      }
      if (out != i) {
        obj.names[out] = std::move(obj.names[i]);
        obj.items[out] = std::move(obj.items[i]);
      }
      ++out;
    }
    obj.names.resize(out);
    obj.items.resize(out);
  }
};

// Parses JSON data; nothing when the text is not JSON.
std::optional<Node> ParseJson(std::string_view text) {
  thread_local simdjson::dom::parser parser;
  simdjson::dom::element root;
  Converter converter;
  auto error = parser.parse(text.data(), text.size()).get(root);
  BigIntegers big;
  std::string rewritten;
  if (error == simdjson::NUMBER_ERROR) {
    rewritten = RewriteBigIntegers(text, big);
    if (big.empty()) return std::nullopt;
    error = parser.parse(rewritten).get(root);
    converter.big = &big;
  }
  if (error) return std::nullopt;
  Node out;
  if (!converter.Convert(root, out, 1)) return std::nullopt;
  return out;
}

// What the script engine made of text handed to eval: JSON data only, never code. A JSON
// string evaluates its content, of which only a number, true, false or null is kept.
// Blank text evaluates to undefined.
std::optional<Node> EvalData(std::string_view text) {
  if (Trim(text).empty()) return OfKind(Kind::Undefined);
  std::optional<Node> value = ParseJson(text);
  if (!value || value->kind != Kind::String) return value;
  std::optional<Node> inner = ParseJson(value->text);
  if (!inner || inner->kind == Kind::Object || inner->kind == Kind::Array ||
      inner->kind == Kind::String) {
    return std::nullopt;
  }
  return inner;
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

const Node* Child(const Node& n, const Step& step) {
  if (n.kind == Kind::Array) {
    if (!step.isIndex || step.index >= n.items.size()) return nullptr;
    return &n.items[step.index];
  }
  if (n.kind != Kind::Object) return nullptr;
  if (step.isIndex) return FindMember(n, std::to_string(step.index));
  return FindMember(n, step.name);
}

const Node* Walk(const Node& root, std::string_view rest, bool bare) {
  const Node* cur = &root;
  while (!rest.empty()) {
    Step step;
    if (!TakeStep(rest, step, bare)) return nullptr;
    bare = false;
    cur = Child(*cur, step);
    if (!cur) return nullptr;
  }
  return cur;
}

// The root name as a whole identifier at the front of the path ("data" is another name).
bool StartsWithRoot(std::string_view path) {
  return path.starts_with("da") && (path.size() == 2 || path[2] == '.' || path[2] == '[');
}

// The node a path names under the path rule, or null when the engine would find nothing.
const Node* Locate(const Node& root, std::string_view path) {
  if (StartsWithRoot(path)) {
    const Node* n = Walk(root, path.substr(2), false);
    if (Present(n)) return n;
  }
  if (path.empty()) return &root;
  return Walk(root, path, path[0] != '[');
}

std::string Absolute(const Node& root, std::string_view path) {
  if (StartsWithRoot(path) && Present(Walk(root, path.substr(2), false))) return std::string(path);
  if (path.empty()) return "da";
  if (path[0] == '[') return "da" + std::string(path);
  return "da." + std::string(path);
}

const Node* ItemOf(const Node* n, int index) {
  if (!Present(n)) return nullptr;
  if (n->kind == Kind::Array) {
    if (index < 0 || static_cast<std::size_t>(index) >= n->items.size()) return nullptr;
    return &n->items[static_cast<std::size_t>(index)];
  }
  if (n->kind == Kind::Object) return FindMember(*n, std::to_string(index));
  return nullptr;
}

// An assignment target: the node holding it and the last step, after the path rule.
struct Target {
  std::string absolute;  // the steps' names point into this
  std::vector<Step> steps;
  Node* parent = nullptr;  // null when the target is the root itself
  bool ok = false;
};

Target Resolve(Node& root, std::string_view path) {
  Target t;
  t.absolute = Absolute(root, path);
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
  const Node* cur = &root;
  for (std::size_t i = 0; i + 1 < t.steps.size(); ++i) {
    cur = Child(*cur, t.steps[i]);
    if (!cur) return t;
  }
  // Assigning through null or undefined fails in the engine.
  if (!Present(cur)) return t;
  t.parent = const_cast<Node*>(cur);
  t.ok = true;
  return t;
}

// The node an assignment would write, creating an object member or array slot as the engine
// would; null when the engine would fail or ignore the assignment.
Node* Slot(Node& root, Target& t, int valueDepth) {
  if (!t.ok) return nullptr;
  if (static_cast<int>(t.steps.size()) + valueDepth > kMaxDepth) return nullptr;
  if (!t.parent) return &root;
  const Step& last = t.steps.back();
  Node& p = *t.parent;
  if (p.kind == Kind::Object) {
    std::string name = last.isIndex ? std::to_string(last.index) : std::string(last.name);
    if (!FindMember(p, name)) SetMember(p, name, Node{});
    return FindMember(p, name);
  }
  if (p.kind == Kind::Array && last.isIndex) {
    if (last.index >= p.items.size() + kMaxArrayGrowth) return nullptr;
    if (last.index >= p.items.size()) p.items.resize(last.index + 1);
    return &p.items[last.index];
  }
  return nullptr;  // a primitive, or a named property on an array: nothing we keep
}

void Assign(Node& root, std::string_view path, Node value) {
  Target t = Resolve(root, path);
  if (Node* slot = Slot(root, t, Depth(value))) *slot = std::move(value);
}

// Merge of a JSON value into an existing object, member by member.
void Merge(Node& target, const Node& source) {
  if (target.kind == Kind::Array) {
    if (source.kind == Kind::Array) {
      target.items.insert(target.items.end(), source.items.begin(), source.items.end());
    }
    return;
  }
  if (source.kind != Kind::Object && source.kind != Kind::Array) return;
  for (std::size_t i = 0; i < source.items.size(); ++i) {
    std::string name = source.kind == Kind::Object ? source.names[i] : std::to_string(i);
    const Node& value = source.items[i];
    Node* existing = FindMember(target, name);
    if (existing && (existing->kind == Kind::Object || existing->kind == Kind::Array)) {
      Merge(*existing, value);
    } else {
      // Strings, booleans, numbers and null are replaced.
      SetMember(target, name, value);
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
std::optional<Node> ItemValue(std::string_view value, bool json) {
  if (json) {
    std::optional<Node> v = ParseJson(value);
    return v;
  }
  std::optional<std::string> text = DecodeQuoted(value);
  if (!text) return std::nullopt;
  Node n;
  n.kind = Kind::String;
  n.text = std::move(*text);
  return n;
}

void CollectValues(const Node& n, bool recursive, std::vector<std::string>& out) {
  for (const Node& child : n.items) {
    switch (child.kind) {
      case Kind::Array:
      case Kind::Object:
        if (recursive) CollectValues(child, recursive, out);
        break;
      case Kind::String:
        out.push_back(child.text);
        break;
      case Kind::Number:
      case Kind::Bool: {
        std::string text;
        AppendScriptText(child, text);
        out.push_back(std::move(text));
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace

// ---- JsonDocument ---------------------------------------------------------------------------

JsonDocument::JsonDocument() { Create(); }

JsonDocument::JsonDocument(EngineRef engine) : engine_(std::move(engine)) {
  if (!engine_) Create();
}

bool JsonDocument::Create() {
  engine_ = std::make_shared<JsonTree>();
  engine_->root.kind = Kind::Object;
  return true;
}

bool JsonDocument::Parse(std::string_view text, bool literal) {
  Create();
  Node& root = engine_->root;
  root = OfKind(Kind::Null);
  std::optional<Node> value;
  if (literal) {
    value = ParseJson(text);
  } else {
    value = EvalData(text);
  }
  if (value) root = std::move(*value);
  return Present(&root);
}

void JsonDocument::Clear() { engine_->root = OfKind(Kind::Object); }

std::string JsonDocument::ToText() const { return JsonText(&engine_->root); }

void JsonDocument::SetValue(std::string_view path, std::string_view value, bool json) {
  Node& root = engine_->root;
  if (!json) {
    Node n;
    n.kind = Kind::String;
    n.text = Mark(value);
    Assign(root, path, std::move(n));
    return;
  }
  if (value.empty()) value = "{}";
  const Node* existing = Locate(root, path);
  if (Present(existing) && existing->kind == Kind::Object) {
    std::optional<Node> source = ParseJson(value);
    Target t = Resolve(root, path);
    if (!source || !t.ok || static_cast<int>(t.steps.size()) + Depth(*source) > kMaxDepth) return;
    Merge(*const_cast<Node*>(existing), *source);
    return;
  }
  std::optional<Node> v = EvalData(value);
  if (v && v->kind != Kind::Undefined) Assign(root, path, std::move(*v));
}

void JsonDocument::SetExpression(std::string_view path, std::string_view expression) {
  std::optional<Node> v = EvalData(expression);
  if (v && v->kind != Kind::Undefined) Assign(engine_->root, path, std::move(*v));
}

bool JsonDocument::ResolvePath(std::string& path) const {
  path = Absolute(engine_->root, path);
  return Present(Locate(engine_->root, path));
}

bool JsonDocument::Exists(std::string_view path) const {
  return Present(Locate(engine_->root, path));
}

int JsonDocument::TypeOf(std::string_view path) const {
  const Node* n = Locate(engine_->root, path);
  if (!Present(n)) return 0;
  switch (n->kind) {
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
  const Node* n = Locate(engine_->root, path);
  if (json) return JsonText(n);
  if (!Present(n)) return {};
  std::string out;
  AppendScriptText(*n, out);
  return Unmark(std::move(out));
}

int JsonDocument::MemberNames(std::vector<std::string>& names, std::string_view path) const {
  names.clear();
  const Node* n = Locate(engine_->root, path);
  if (Present(n) && n->kind == Kind::Object) names = n->names;
  return static_cast<int>(names.size());
}

int JsonDocument::Count(std::string_view path) const {
  const Node* n = Locate(engine_->root, path);
  return Present(n) && n->kind == Kind::Array ? static_cast<int>(n->items.size()) : 0;
}

namespace {

// A new document holding what parsing the node's JSON text (non-literal) would give.
JsonDocument SubDocumentOf(const Node* n) {
  JsonDocument doc;
  JsonTree& tree = *doc.Engine();
  if (!Defined(n)) {
    tree.root = OfKind(Kind::Undefined);
  } else if (n->kind == Kind::Null || (n->kind == Kind::Number && !std::isfinite(n->number))) {
    tree.root = OfKind(Kind::Null);
  } else if (n->kind == Kind::Bool || n->kind == Kind::Number) {
    tree.root = *n;
    if (n->kind == Kind::Number && n->number == 0) tree.root.number = 0;  // -0 writes as 0
  } else {
    std::optional<Node> v = EvalData(JsonText(n));
    tree.root = v ? std::move(*v) : OfKind(Kind::Null);
  }
  return doc;
}

}  // namespace

JsonDocument JsonDocument::GetSubDocument(std::string_view path) const {
  return SubDocumentOf(Locate(engine_->root, path));
}

void JsonDocument::AddItem(std::string_view path, std::string_view value, bool json, bool atFront) {
  std::optional<Node> item = ItemValue(value, json);
  if (!item) return;
  Node& root = engine_->root;
  Target t = Resolve(root, path);
  Node* slot = Slot(root, t, 1 + Depth(*item));
  if (!slot) return;
  if (slot->kind != Kind::Array) *slot = OfKind(Kind::Array);
  if (atFront) {
    slot->items.insert(slot->items.begin(), std::move(*item));
  } else {
    slot->items.push_back(std::move(*item));
  }
}

JsonDocument JsonDocument::GetItemDocument(int index, std::string_view path) const {
  return SubDocumentOf(ItemOf(Locate(engine_->root, path), index));
}

std::string JsonDocument::GetItemText(int index, std::string_view path, bool json) const {
  const Node* item = ItemOf(Locate(engine_->root, path), index);
  if (json) return JsonText(item);
  if (!item || item->kind != Kind::String) return {};
  return Unmark(item->text);
}

void JsonDocument::SetItem(int index, std::string_view path, std::string_view value, bool json) {
  std::optional<Node> item = ItemValue(value, json);
  if (!item) return;
  Node* n = const_cast<Node*>(Locate(engine_->root, path));
  if (!Present(n)) return;
  Target t = Resolve(engine_->root, path);
  if (!t.ok || static_cast<int>(t.steps.size()) + 1 + Depth(*item) > kMaxDepth) return;
  if (n->kind == Kind::Array) {
    if (index < 0) {
      return;  // a named property on an array: nothing we keep
    }
    auto at = static_cast<std::size_t>(index);
    if (at >= n->items.size() + kMaxArrayGrowth) return;
    if (at >= n->items.size()) n->items.resize(at + 1);
    n->items[at] = std::move(*item);
  } else if (n->kind == Kind::Object) {
    SetMember(*n, std::to_string(index), std::move(*item));
  }
}

void JsonDocument::RemoveItem(int index, std::string_view path) {
  Node* n = const_cast<Node*>(Locate(engine_->root, path));
  if (!Present(n) || n->kind != Kind::Array) return;
  auto size = static_cast<long long>(n->items.size());
  long long start = index < 0 ? std::max(size + index, 0LL) : std::min<long long>(index, size);
  if (start < size) n->items.erase(n->items.begin() + start);
}

void JsonDocument::Delete(std::string_view path) {
  Target t = Resolve(engine_->root, path);
  if (!t.ok || !t.parent) return;  // the root variable itself cannot be deleted
  const Step& last = t.steps.back();
  Node& p = *t.parent;
  if (p.kind == Kind::Object) {
    std::string name = last.isIndex ? std::to_string(last.index) : std::string(last.name);
    for (std::size_t i = 0; i < p.names.size(); ++i) {
      if (p.names[i] == name) {
        p.names.erase(p.names.begin() + static_cast<std::ptrdiff_t>(i));
        p.items.erase(p.items.begin() + static_cast<std::ptrdiff_t>(i));
        return;
      }
    }
  } else if (p.kind == Kind::Array && last.isIndex && last.index < p.items.size()) {
    p.items[last.index] = OfKind(Kind::Null);  // a hole: reads as null, keeps the length
  }
}

void JsonDocument::SetNumber(std::string_view path, double value) {
  if (!std::isfinite(value)) return;
  Node n;
  n.kind = Kind::Number;
  n.number = value;
  Assign(engine_->root, path, std::move(n));
}

double JsonDocument::GetNumber(std::string_view path) const {
  const Node* n = Locate(engine_->root, path);
  return Present(n) && n->kind == Kind::Number ? n->number : 0;
}

std::string JsonDocument::ToTextAt(std::string_view path) const {
  return JsonText(Locate(engine_->root, path));
}

JsonDocument::EngineRef JsonDocument::Engine() const { return engine_; }

int JsonDocument::NodeValues(std::vector<std::string>& values, std::string_view path,
                             bool recursive) const {
  values.clear();
  const Node* n = Locate(engine_->root, path);
  if (Present(n)) CollectValues(*n, recursive, values);
  return static_cast<int>(values.size());
}

}  // namespace lumora
