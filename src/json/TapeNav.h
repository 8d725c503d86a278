#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "json/JsonPath.h"
#include "json/Tape.h"

namespace lumora::json_detail {

// Paths over simdjson's tape (its documented DOM layout). Positions are tape indexes; texts are
// shorter than 2^31, so they fit an Index.
struct TapeNav : TapeWords {
  Tape* store;

  explicit TapeNav(Tape& s) : TapeWords(s.doc), store(&s) {}

  bool IsContainer(Index i) const { return i != kNone && (Type(i) == '[' || Type(i) == '{'); }
  Index Root() const { return 1; }  // tape[0] is the root word
  bool Present(Index i) const { return i != kNone && Type(i) != 'n'; }

  // A repeated name takes its last value, as JSON.parse does.
  Index Member(Index obj, std::string_view name) const;
  Index Item(Index arr, std::uint64_t index) const;
  Index Walk(std::string_view rest, bool bare) const;
  Index Child(Index i, const Step& step) const;
  Index ItemOf(Index i, int index) const;

  void AppendNumber(Index i, std::string& out) const;
  // Number() of the value at i (NaN for kNone, as for a missing member).
  double Number(Index i) const;
  // The script toString of a present value, as AppendScriptText does for the tree.
  void AppendScriptText(Index i, std::string& out) const;
  int TypeCode(Index i) const;
  // What a sub-document of a value that is not a container holds.
  JsonTree SubTree(Index i) const;

 private:
  Index Indexed(Index obj, Index end, std::string_view name) const;
};

}  // namespace lumora::json_detail
