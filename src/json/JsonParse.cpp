#include "json/JsonParse.h"

#include <memory>
#include <string>
#include <utility>

#include "json/PlainParser.h"
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

// One parser per thread: it keeps its buffers for the next answer (see Oversized).
simdjson::dom::parser& Parser() {
  thread_local simdjson::dom::parser parser;
  return parser;
}

// Buffers of a parser (its own, sized for the largest text it has parsed, and the document it
// holds, sized for the largest text parsed into it) far larger than an answer of `size` bytes
// needs are given back; the next parse allocates what it needs. Only answers decide this, not
// the small values parsed in between.
void GiveBackOversized(simdjson::dom::parser& parser, std::size_t size) {
  // The parser needs about 5 bytes a text byte, its document about 10 (see simdjson's allocate).
  if (Oversized(parser.capacity() * 5, size * 5)) {
    parser = simdjson::dom::parser{};
  } else if (Oversized(parser.doc.capacity() * 10, size * 10)) {
    parser.doc = simdjson::dom::document{};
  }
}

// simdjson refuses these for valid texts: numbers outside what it keeps (integers past 64 bits,
// numbers beyond the double range) and unpaired surrogate escapes. The plain parser takes them.
bool PlainParserTakesOver(simdjson::error_code error) {
  return error == simdjson::NUMBER_ERROR || error == simdjson::STRING_ERROR;
}

}  // namespace

bool ParseInto(std::string_view text, JsonTree& tree) {
  if (text.size() >= kMaxText) return false;
  simdjson::dom::parser& parser = Parser();
  simdjson::dom::element root;
  auto error = parser.parse(text.data(), text.size()).get(root);
  if (PlainParserTakesOver(error)) return PlainParse(text, tree);
  return !error && ReadTape(parser.doc, text.size(), tree);
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
  GiveBackOversized(parser, text.size());
  simdjson::dom::element root;
  // simdjson reads past the end of what it parses, so it always works on its own padded copy.
  if (parser.parse(text.data(), text.size(), true).get(root)) return false;
  if (!root.is_array() && !root.is_object()) return false;
  if (!tree.tape) tree.tape = std::make_unique<Tape>();
  // The tree takes the parsed document; the parser gets the tree's old buffers for next time.
  std::swap(tree.tape->doc, parser.doc);
  GiveBackOversized(parser, text.size());
  Tape& tape = *tree.tape;
  if (Oversized(tape.table.capacity() * sizeof(std::uint32_t), text.size())) {
    tape.table.clear();
    tape.table.shrink_to_fit();
  }
  tape.items.clear();
  tape.tableOf = kNone;
  tape.itemsOf = kNone;
  tape.lastItems = nullptr;
  tape.walked.clear();
  tape.steps.clear();
  tape.textSize = text.size();
  ResetStorage(tree, text.size());
  return true;
}

JsonTree& Materialize(JsonTree& tree) {
  if (!tree.tape) return tree;
  std::unique_ptr<Tape> tape = std::move(tree.tape);
  if (!ReadTape(tape->doc, tape->textSize, tree)) tree = TreeOf(Kind::Null);
  return tree;
}

}  // namespace lumora::json_detail
