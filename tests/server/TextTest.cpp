// Query parsing and JSON quoting of the server, where a wrong byte breaks the player.
#include <gtest/gtest.h>

#include "ApiServer.h"
#include "Text.h"
#include "TextEncodings.h"

namespace lumora::server {
namespace {

TEST(ServerText, QueryKeepsAnUnencodedCookieWhole) {
  auto q = ParseQuery("id=5&cookie=lumora_session=ab12&timestamp=1&empty=&flag");
  EXPECT_EQ(q["id"], "5");
  EXPECT_EQ(q["cookie"], "lumora_session=ab12");
  EXPECT_EQ(q["empty"], "");
  EXPECT_EQ(q.count("flag"), 1u);
  auto encoded =
      ParseQuery("cookie=lumora_session%3Dab12%3B%20Path%3D%2F&keywords=a%20b+c&bad=%zz%4");
  EXPECT_EQ(encoded["cookie"], "lumora_session=ab12; Path=/");
  EXPECT_EQ(encoded["keywords"], "a b+c");
  EXPECT_EQ(encoded["bad"], "%zz%4");
  EXPECT_EQ(ParseQuery("a=1&a=2")["a"], "1");
}

TEST(ServerText, SessionTokenFromEveryCookieForm) {
  EXPECT_EQ(SessionToken("lumora_session=ab12"), "ab12");
  EXPECT_EQ(SessionToken("lumora_session=ab12; Path=/"), "ab12");
  EXPECT_EQ(SessionToken("theme=dark; lumora_session=ab12"), "ab12");
  EXPECT_EQ(SessionToken("ab12"), "");
  EXPECT_EQ(SessionToken(""), "");
}

TEST(ServerText, IdsAreExactSixtyFourBitIntegers) {
  EXPECT_EQ(ParseId("9007199254740993"), 9007199254740993ull);
  EXPECT_EQ(ParseId("18446744073709551615"), UINT64_MAX);
  EXPECT_FALSE(ParseId("18446744073709551616"));
  EXPECT_FALSE(ParseId(""));
  EXPECT_FALSE(ParseId("-1"));
  EXPECT_FALSE(ParseId("12a"));
}

TEST(ServerText, JsonQuoteEscapesAndKeepsValidUtf8) {
  EXPECT_EQ(JsonQuote("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(JsonQuote("华语"), "\"华语\"");
  EXPECT_EQ(JsonQuote("\xFF\xFE"), "\"\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("a\xE5\x8D"), "\"a\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("\xED\xA0\x80"), "\"\uFFFD\uFFFD\uFFFD\"");  // a lone surrogate
  // Lead bytes past U+10FFFF and overlong forms, followed by what looks like their tail.
  EXPECT_EQ(JsonQuote("\xF5\x80\x80"), "\"\uFFFD\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("a\xFF\xBF\xBF"
                      "b"),
            "\"a\uFFFD\uFFFD\uFFFDb\"");
  EXPECT_EQ(JsonQuote("\xC0\xAF"), "\"\uFFFD\uFFFD\"");
  EXPECT_EQ(JsonQuote("\xF4\x8F\xBF\xBF"), "\"\xF4\x8F\xBF\xBF\"");  // U+10FFFF itself
}

// Tag text behind ID3's Latin-1 byte and file names from other systems: GBK only where it
// reads as plausible Chinese, so accented Western names stay as they were written.
TEST(ServerText, LegacyBytesReadAsTheirWriterMeantThem) {
  const struct {
    std::string bytes, tag, name;
  } cases[] = {
      {"Plain", "Plain", "Plain"},
      {"Bj\xF6rk", "Björk", "Björk"},  // ö then a letter: valid GBK, not GB2312
      {"H\xE9l\xE8ne S\xE9gara", "Hélène Ségara", "Hélène Ségara"},
      {"Mot\xF6rhead", "Motörhead", "Motörhead"},
      {"Can\xE7\xE3o", "Canção", "Canção"},  // one GB2312 pair inside a Latin word
      {"Caf\xE9", "Café", "Café"},           // a lead byte with nothing after it
      {"\xC2\xCC\xC6\xA4\xBB\xF0\xB3\xB5", "绿皮火车", "绿皮火车"},
      {"Love \xC7\xE7\xCC\xEC", "Love 晴天", "Love 晴天"},
      {"\xC7\xE7\xCC\xEC", "晴天", "晴天"},
      {"Bj\xC3\xB6rk", "Björk", "Björk"},  // UTF-8 behind the Latin-1 byte
      {"\xE6\x99\xB4\xE5\xA4\xA9", "晴天", "晴天"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    EXPECT_EQ(ReadLatin1TagText(c.bytes), c.tag);
    EXPECT_EQ(ReadableName(c.bytes), c.name);
  }
}

// The lyric line as UTF-16 bytes behind their byte-order mark.
std::string Utf16Lyric(bool little) {
  std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
  for (char16_t unit : std::u16string(u"[00:01.00]晴天")) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(ServerText, LyricFilesInEveryEncodingPeopleHave) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8", "[00:01.00]晴天"},
      {"UTF-8 with BOM", "\xEF\xBB\xBF[00:01.00]晴天"},
      {"UTF-16LE with BOM", Utf16Lyric(true)},
      {"UTF-16BE with BOM", Utf16Lyric(false)},
      {"GBK", "[00:01.00]\xC7\xE7\xCC\xEC"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeTextFile(c.bytes), "[00:01.00]晴天") << c.what;
  EXPECT_EQ(DecodeTextFile("caf\xE9"), "café");  // neither UTF-8 nor GBK
}

}  // namespace
}  // namespace lumora::server
