#include "json/TreeEdit.h"

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lumora::json_detail {

int Depth(const JsonTree& t, Index i) {
  const Node& n = t.nodes[i];
  int deepest = 0;
  if (n.kind == Kind::Array || n.kind == Kind::Object) {
    for (std::uint32_t k = 0; k < n.size; ++k) deepest = std::max(deepest, Depth(t, n.first + k));
  }
  return deepest + 1;
}

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

void Place(JsonTree& t, Index i, Node value) {
  value.name = t.nodes[i].name;
  value.tag = t.nodes[i].tag;
  t.nodes[i] = value;
}

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

namespace {

// Puts integer-like member names first in ascending order, the rest keeping their order.
void OrderMembers(JsonTree& t, const Node& o, const char* chars) {
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
void DropRepeatedNames(JsonTree& t, Node& obj, const char* chars) {
  const Node o = obj;
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
  obj.size = out;
}

}  // namespace

void SettleMembers(JsonTree& t, Node& obj, const char* chars) {
  DropRepeatedNames(t, obj, chars);
  OrderMembers(t, obj, chars);
}

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

}  // namespace lumora::json_detail
