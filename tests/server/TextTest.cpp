// Query parsing and JSON quoting of the server, where a wrong byte breaks the player.
#include <gtest/gtest.h>

#include "ApiServer.h"
#include "Text.h"

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
}

}  // namespace
}  // namespace lumora::server
