#include <gtest/gtest.h>

#include <string>

#include "common/TextCodec.h"

namespace lumora {
namespace {

const std::string kXiHuanUtf8 = "喜欢";
const std::string kXiHuanGbk = "\xCF\xB2\xBB\xB6";

TEST(TextCodec, RoundTripsChineseThroughGbk) {
  EXPECT_EQ(utf8ToGbk(kXiHuanUtf8), kXiHuanGbk);
  EXPECT_EQ(gbkToUtf8(kXiHuanGbk), kXiHuanUtf8);
  EXPECT_EQ(utf8ToGbk("a|b 1"), "a|b 1");
  EXPECT_EQ(utf8ToGbk(""), "");
  EXPECT_EQ(gbkToUtf8(""), "");
  // The euro sign of code page 936.
  EXPECT_EQ(utf8ToGbk("€"), "\x80");
}

TEST(TextCodec, UnmappableAndInvalidBecomeQuestionMarks) {
  // An emoji has no GBK form; the text around it survives.
  EXPECT_EQ(utf8ToGbk("a😀喜"), "a?\xCF\xB2");
  // A broken UTF-8 sequence, then one cut short at the end.
  EXPECT_EQ(utf8ToGbk("a\xFF"
                      "b"),
            "a?b");
  EXPECT_EQ(utf8ToGbk("a\xE5\x96"), "a?");
  // A lone GBK lead byte at the end, and a byte GBK never uses.
  EXPECT_EQ(gbkToUtf8("a\xCF"), "a?");
  EXPECT_EQ(gbkToUtf8("a\xFF"
                      "b"),
            "a?b");
}

TEST(TextCodec, Utf16LittleEndianWithSurrogatePairs) {
  EXPECT_EQ(utf8ToUtf16Le("a喜😀"), std::string("a\0\x9C\x55\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(utf8ToUtf16Le(""), "");
  // Broken UTF-8 becomes a "?" code unit, keeping the units aligned.
  EXPECT_EQ(utf8ToUtf16Le("\xFF"
                          "b"),
            std::string("?\0b\0", 4));
}

TEST(ToValidUtf8, PassesValidTextAndReplacesEachInvalidSequence) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {kXiHuanUtf8, kXiHuanUtf8},
      {"", ""},
      {"plain", "plain"},
      {"😀", "😀"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"a\xFF"
       "b",
       "a?b"},
      {"\xC0\xAF", "??"},            // overlong "/"
      {"\xED\xA0\x80", "???"},       // a surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\xE5\x96", "?"},             // cut short: one maximal subpart
      {"\xE5\x96x", "?x"},
      {"\x80\x80", "??"},  // stray continuation bytes
  };
  for (const Case& c : cases) EXPECT_EQ(toValidUtf8(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace lumora
