#pragma once
// A parsed answer in simdjson's own form, and how its words are read.

#include <simdjson.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "json/JsonTree.h"

namespace lumora::json_detail {

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

}  // namespace lumora::json_detail
