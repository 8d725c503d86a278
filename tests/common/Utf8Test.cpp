#include <gtest/gtest.h>

#include <string>

#include "common/Utf8.h"

namespace lumora {
namespace {

// One row per kind of sequence: what length it has at `at`, and, when it is not well-formed,
// how many bytes one replacement stands for (0 in the rows of well-formed ones).
TEST(Utf8SequenceLength, KnowsWellFormedSequencesAndTheirInvalidSubparts) {
  struct Case {
    std::string text;
    std::size_t at, length, invalid;
  };
  const Case cases[] = {
      {"a", 0, 1, 0},
      {std::string("\0", 1), 0, 1, 0},
      {"x\xC3\xA9", 1, 2, 0},         // é, not at the start
      {"\xE5\x96\x9C", 0, 3, 0},      // 喜
      {"\xF0\x9F\x98\x80", 0, 4, 0},  // 😀
      {"\xF4\x8F\xBF\xBF", 0, 4, 0},  // U+10FFFF itself
      {"\x80", 0, 0, 1},              // a stray continuation byte
      {"\xC0\xAF", 0, 0, 1},          // overlong "/"
      {"\xE0\x80\xAF", 0, 0, 1},      // overlong, three bytes
      {"\xED\xA0\x80", 0, 0, 1},      // a surrogate
      {"\xF4\x90\x80\x80", 0, 0, 1},  // past U+10FFFF
      {"\xF5\x80\x80\x80", 0, 0, 1},  // no lead byte at all
      {"\xE5\x96", 0, 0, 2},          // cut short by the end: the start is one subpart
      {"\xF0\x9F\x98x", 0, 0, 3},     // cut short by another character
  };
  for (const Case& c : cases) {
    std::size_t invalid = 99;
    EXPECT_EQ(Utf8SequenceLength(c.text, c.at, &invalid), c.length) << c.text;
    if (c.length == 0) {
      EXPECT_EQ(invalid, c.invalid) << c.text;
    }
    EXPECT_EQ(IsUtf8(c.text), c.length != 0) << c.text;
  }
}

}  // namespace
}  // namespace lumora
