#include <gtest/gtest.h>

#include <string>

#include "net/HttpClient.h"

namespace lumora {
namespace {

TEST(MergeCookies, NewMembersFirstThenOldOnesNotMentioned) {
  EXPECT_EQ(MergeCookies("a=1; b=2", "b=3; c=4"), "b=3; c=4; a=1");
  EXPECT_EQ(MergeCookies("a=1; b=2", "b=deleted"), "a=1");
  EXPECT_EQ(MergeCookies("", "a=1"), "a=1");
  EXPECT_EQ(MergeCookies("a=1", ""), "a=1");
  EXPECT_EQ(MergeCookies(" a=1; ", "b=2;"), "b=2; a=1");
  // Names are compared trimmed and case-sensitively; a member without "=" is all name.
  EXPECT_EQ(MergeCookies("A=1; flag", "a=2; flag"), "a=2; flag; A=1");
  EXPECT_EQ(MergeCookies("a=1; a=1", ""), "a=1");
}

TEST(NormaliseHeaderNames, CapitalisesEachPartAndDropsLinesWithoutColon) {
  EXPECT_EQ(NormaliseHeaderNames("user-agent: x"), "User-Agent: x");
  EXPECT_EQ(NormaliseHeaderNames("ACCEPT: y"), "ACCEPT: y");
  EXPECT_EQ(NormaliseHeaderNames("content-type: text/plain\r\nno colon\r\nx-a-b:c"),
            "Content-Type: text/plain\r\nX-A-B:c");
  // The empty first line left by appended defaults disappears; the value is untouched.
  EXPECT_EQ(NormaliseHeaderNames("\r\naccept: a-b: c"), "Accept: a-b: c");
  EXPECT_EQ(NormaliseHeaderNames("-x--y: 1"), "-X--Y: 1");
  EXPECT_EQ(NormaliseHeaderNames(""), "");
}

TEST(HeaderNameAndValue, SplitAtTheFirstColonAndTrim) {
  EXPECT_EQ(HeaderName(" Host : a:b "), "Host");
  EXPECT_EQ(HeaderValue(" Host : a:b "), "a:b");
  EXPECT_EQ(HeaderName("no colon"), "");
  EXPECT_EQ(HeaderValue("no colon"), "");
  EXPECT_EQ(HeaderValue("Empty:"), "");
}

TEST(Base64Encode, PadsTheLastGroup) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("user:pass"), "dXNlcjpwYXNz");
  EXPECT_EQ(Base64Encode(std::string("\xFF\xFE\0", 3)), "//4A");
}

TEST(CollectSetCookies, TakesFirstNameValueOfEachSetCookieLine) {
  EXPECT_EQ(CollectSetCookies("Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\n"), "a=1; b=2");
  // Other headers, and a differently spelled name, are not cookies.
  EXPECT_EQ(CollectSetCookies("set-cookie: x=1\r\nX-Set-Cookie: y=2\r\nContent-Type: a;b\r\n"), "");
  EXPECT_EQ(CollectSetCookies(""), "");
}

TEST(BodyText, KeepsValidUtf8AndReplacesTheRest) {
  EXPECT_EQ(BodyText("喜欢"), "喜欢");
  EXPECT_EQ(BodyText(""), "");
  EXPECT_EQ(BodyText("{\"a\":\"\xFF\"}"), "{\"a\":\"?\"}");
}

}  // namespace
}  // namespace lumora
