#include "json/TapeReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "json/TreeEdit.h"

namespace lumora::json_detail {

namespace {

// Builds our tree straight from simdjson's tape (its documented DOM layout): one pass, no
// recursion; containers nest at most the parser's depth limit.
// Texts are shorter than 2^31 (kMaxText), so the top bit of an offset is free to mark digits
// that are placed after the strings once their length is known.
constexpr std::uint32_t kDigitsMark = std::uint32_t{1} << 31;

class TapeReader : private TapeWords {
 public:
  TapeReader(const simdjson::dom::document& doc, JsonTree& tree) : TapeWords(doc), tree_(tree) {}

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
          SettleMembers(tree_, tree_.nodes[f.node], reinterpret_cast<const char*>(strings));
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
    }
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
  std::vector<Frame> stack_;
  std::size_t stringsEnd_ = 0;
  std::string digits_;  // exact digits of large integers, put after the strings
};

}  // namespace

bool ReadTape(const simdjson::dom::document& doc, std::size_t textSize, JsonTree& tree) {
  ResetStorage(tree, textSize);
  tree.nodes.reserve(textSize / kTextBytesPerNode);
  tree.nodes.emplace_back();
  return TapeReader(doc, tree).Read();
}

}  // namespace lumora::json_detail
