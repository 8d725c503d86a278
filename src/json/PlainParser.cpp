#include "json/PlainParser.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include "json/JsonText.h"
#include "json/ScriptNumber.h"
#include "json/TreeEdit.h"

namespace lumora::json_detail {

namespace {

class PlainParser {
 public:
  PlainParser(std::string_view text, JsonTree& tree) : text_(text), tree_(tree) {}

  bool Parse() {
    ResetStorage(tree_, text_.size());
    tree_.nodes.emplace_back();
    Node root;
    if (!Value(root, 0)) return false;
    SkipBlanks();
    if (at_ != text_.size()) return false;
    tree_.nodes[0] = root;
    return true;
  }

 private:
  void SkipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }

  bool Take(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(Node& out, int depth) {
    SkipBlanks();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{':
      case '[':
        return Container(out, depth + 1);
      case '"':
        out.kind = Kind::String;
        return String(out.text);
      case 't':
      case 'f':
        out.kind = Kind::Bool;
        out.flag = text_[at_] == 't';
        return Take(out.flag ? "true" : "false");
      case 'n':
        out.kind = Kind::Null;
        return Take("null");
      default:
        out.kind = Kind::Number;
        return Number(out);
    }
  }

  // Children are gathered first, then take one block of the tree, so a container's items stay
  // together as the tree wants them.
  bool Container(Node& out, int depth) {
    if (depth > kMaxDepth) return false;
    bool object = text_[at_++] == '{';
    char close = object ? '}' : ']';
    std::vector<Node> items;
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == close) {
      ++at_;
    } else {
      for (;;) {
        Node item;
        if (object) {
          SkipBlanks();
          if (at_ >= text_.size() || text_[at_] != '"' || !String(item.name)) return false;
          SkipBlanks();
          if (!Take(":")) return false;
        }
        if (!Value(item, depth)) return false;
        items.push_back(item);
        SkipBlanks();
        if (Take(",")) continue;
        if (at_ < text_.size() && text_[at_] == close) {
          ++at_;
          break;
        }
        return false;
      }
    }
    out.kind = object ? Kind::Object : Kind::Array;
    out.size = out.capacity = static_cast<std::uint32_t>(items.size());
    out.first = Block(tree_, out.size);
    std::copy(items.begin(), items.end(), tree_.nodes.begin() + out.first);
    if (object) {
      for (std::uint32_t k = 0; k < out.size; ++k) {
        Node& member = tree_.nodes[out.first + k];
        member.tag = NameTag(View(tree_, member.name));
      }
      SettleMembers(tree_, out, tree_.chars.data());
    }
    return true;
  }

  bool Number(Node& out) {
    std::string_view literal = text_.substr(at_, JsonNumberLength(text_.substr(at_)));
    if (literal.empty()) return false;
    at_ += literal.size();
    out.number = LiteralValue(literal);
    if (literal.find_first_of(".eE") != std::string_view::npos) return true;
    // Integers keep their digits past 2^53, so ids survive.
    std::string_view digits = literal.substr(literal[0] == '-' ? 1 : 0);
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc{} || magnitude > std::uint64_t{kExactLimit})
      out.text = AddChars(tree_, literal);
    return true;
  }

  // Four hex digits at the front of text_ past at_.
  bool Hex4(std::uint32_t& unit) {
    if (text_.size() - at_ < 4) return false;
    auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + at_ + 4, unit, 16);
    if (error != std::errc{} || end != text_.data() + at_ + 4) return false;
    at_ += 4;
    return true;
  }

  bool Escape() {
    char e = text_[at_++];
    std::string& out = tree_.chars;
    switch (e) {
      case '"':
      case '\\':
      case '/':
        out += e;
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        return false;
    }
    std::uint32_t unit = 0;
    if (!Hex4(unit)) return false;
    std::uint32_t low = 0;
    std::size_t pairAt = at_;
    if (unit >= 0xD800 && unit <= 0xDBFF && Take("\\u") && Hex4(low) && low >= 0xDC00 &&
        low <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    } else {
      at_ = pairAt;  // an unpaired surrogate stays one, in its three-byte form
    }
    AppendUtf8(unit, out);
    return true;
  }

  // Length of the well-formed UTF-8 sequence at at_, 0 when broken: the rule of common/Utf8.h,
  // kept here because json ranks beside common and this is the parser's inner loop.
  std::size_t Utf8Length() const {
    auto b = [this](std::size_t k) {
      return at_ + k < text_.size() ? static_cast<unsigned char>(text_[at_ + k]) : 0;
    };
    auto cont = [&b](std::size_t k) { return (b(k) & 0xC0) == 0x80; };
    unsigned char c = b(0);
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
      unsigned char lo = c == 0xE0 ? 0xA0 : 0x80;
      unsigned char hi = c == 0xED ? 0x9F : 0xBF;
      return b(1) >= lo && b(1) <= hi && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
      unsigned char lo = c == 0xF0 ? 0x90 : 0x80;
      unsigned char hi = c == 0xF4 ? 0x8F : 0xBF;
      return b(1) >= lo && b(1) <= hi && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
  }

  bool String(Chars& out) {
    ++at_;  // the opening quote
    out.at = static_cast<std::uint32_t>(tree_.chars.size());
    for (;;) {
      if (at_ >= text_.size()) return false;
      auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') break;
      if (c < 0x20) return false;
      if (c == '\\') {
        ++at_;
        if (at_ >= text_.size() || !Escape()) return false;
        continue;
      }
      std::size_t len = c < 0x80 ? 1 : Utf8Length();
      if (len == 0) return false;
      tree_.chars.append(text_, at_, len);
      at_ += len;
    }
    ++at_;
    out.len = static_cast<std::uint32_t>(tree_.chars.size() - out.at);
    return true;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  JsonTree& tree_;
};

}  // namespace

bool PlainParse(std::string_view text, JsonTree& tree) { return PlainParser(text, tree).Parse(); }

}  // namespace lumora::json_detail
