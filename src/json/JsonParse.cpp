#include "json/JsonParse.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "json/Tape.h"
#include "json/TapeReader.h"

namespace lumora::json_detail {

namespace {

std::string_view Trim(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// simdjson's DOM rejects integers past 64 bits. Such tokens are parsed again as decimals
// (with ".0" appended), and their digits, keyed by the number's position among all numbers of the
// text, are put back as the node's exact text.
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

// One parser per thread: its buffers are sized for the largest answer seen, so it is not worth
// having two.
simdjson::dom::parser& Parser() {
  thread_local simdjson::dom::parser parser;
  return parser;
}

}  // namespace

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
  return ReadTape(parser.doc, text.size(), tree, big.empty() ? nullptr : &big);
}

std::optional<JsonTree> ParseJson(std::string_view text) {
  JsonTree tree;
  if (!ParseInto(text, tree)) return std::nullopt;
  return tree;
}

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

// Numbers past 64 bits fail here, so a tape holds only numbers simdjson keeps exactly as the
// tree would.
bool ParseTape(std::string_view text, JsonTree& tree) {
  if (text.size() >= kMaxText) return false;
  simdjson::dom::parser& parser = Parser();
  simdjson::dom::element root;
  // simdjson reads past the end of what it parses, so it always works on its own padded copy.
  if (parser.parse(text.data(), text.size(), true).get(root)) return false;
  if (!root.is_array() && !root.is_object()) return false;
  if (!tree.tape) tree.tape = std::make_unique<Tape>();
  // The tree takes the parsed document; the parser gets the tree's old buffers for next time.
  std::swap(tree.tape->doc, parser.doc);
  Tape& tape = *tree.tape;
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

JsonTree& Materialize(JsonTree& tree) {
  if (!tree.tape) return tree;
  std::unique_ptr<Tape> tape = std::move(tree.tape);
  if (!ReadTape(tape->doc, tape->textSize, tree)) tree = TreeOf(Kind::Null);
  return tree;
}

}  // namespace lumora::json_detail
