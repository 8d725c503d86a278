#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "net/UrlEncode.h"

namespace lumora::test {
namespace {

struct EncodeCase {
  const char* text;
  const char* uri;        // mode 0
  const char* component;  // mode 1
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(std::string(c.text));
}

class UrlEncodeModes : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(UrlEncodeModes, MatchesTheScriptFunctions) {
  EXPECT_EQ(UrlEncode(GetParam().text, 0), GetParam().uri);
  EXPECT_EQ(UrlEncode(GetParam().text, 1), GetParam().component);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UrlEncodeModes,
    ::testing::Values(
        EncodeCase{"", "", ""}, EncodeCase{"AZaz09-_.!~*'()", "AZaz09-_.!~*'()", "AZaz09-_.!~*'()"},
        EncodeCase{";/?:@&=+$,#", ";/?:@&=+$,#", "%3B%2F%3F%3A%40%26%3D%2B%24%2C%23"},
        EncodeCase{" \"%<>[]\\^`{|}\x7f", "%20%22%25%3C%3E%5B%5D%5C%5E%60%7B%7C%7D%7F",
                   "%20%22%25%3C%3E%5B%5D%5C%5E%60%7B%7C%7D%7F"},
        EncodeCase{"lumora_session=ab/c+d==; theme=1", "lumora_session=ab/c+d==;%20theme=1",
                   "lumora_session%3Dab%2Fc%2Bd%3D%3D%3B%20theme%3D1"},
        EncodeCase{"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "%C3%A9%E4%B8%AD%F0%9F%98%80",
                   "%C3%A9%E4%B8%AD%F0%9F%98%80"},
        EncodeCase{"\n\t", "%0A%09", "%0A%09"}));

TEST(UrlEncode, RejectsWhatTheScriptFunctionsReject) {
  for (const char* bad : {"\xff", "a\xC3", "\xED\xA0\x80", "\xC0\xAF", "\xF4\x90\x80\x80"}) {
    EXPECT_EQ(UrlEncode(bad, 1), "") << bad;
    EXPECT_EQ(UrlEncode(bad, 0), "") << bad;
  }
  EXPECT_EQ(UrlEncode("a b", 2), "");
}

}  // namespace
}  // namespace lumora::test
