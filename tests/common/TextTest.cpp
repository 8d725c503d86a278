#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace lumora {
namespace {

using Parts = std::vector<std::string>;

TEST(TrimText, RemovesAsciiAndFullWidthSpacesOnly) {
  EXPECT_EQ(trimText("  a b  "), "a b");
  EXPECT_EQ(trimText("\xE3\x80\x80 a\xE3\x80\x80"), "a");
  EXPECT_EQ(trimText("\ta\r\n"), "\ta\r\n");
  EXPECT_EQ(trimText("   "), "");
  EXPECT_EQ(trimText(""), "");
  // Half of a full-width space is not one.
  EXPECT_EQ(trimText("a\xE3\x80"), "a\xE3\x80");
}

TEST(SplitText, FollowsTheSeparatorRules) {
  struct Case {
    std::string text;
    std::string separator;
    Parts parts;
  };
  const Case cases[] = {
      {"a,b,c", ",", {"a", "b", "c"}},
      {",a", ",", {"", "a"}},
      {"a,,b", ",", {"a", "", "b"}},
      {"a,b,", ",", {"a", "b"}},
      {"a,,", ",", {"a", ""}},
      {",", ",", {""}},
      {"", ",", {}},
      {"abc", ",", {"abc"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"a; b; c=1", "; ", {"a", "b", "c=1"}},
      {"abc", "", {"abc"}},
      // "喜" is E5 96 9C: a separator made of its tail bytes must not match inside it.
      {"x\xE5\x96\x9Cy", "\x96\x9C", {"x\xE5\x96\x9Cy"}},
      {"喜,欢", ",", {"喜", "欢"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(splitText(c.text, c.separator), c.parts) << "text: " << c.text;
  }
}

TEST(JoinText, PutsSeparatorsBetweenOnly) {
  EXPECT_EQ(joinText({"a", "", "b"}, "; "), "a; ; b");
  EXPECT_EQ(joinText({}, ","), "");
}

TEST(NoCase, FoldsAsciiLettersOnly) {
  EXPECT_EQ(findNoCase("xx ACCEPT: y", "accept:"), 3u);
  EXPECT_EQ(findNoCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(findNoCase("abab", "AB", 1), 2u);
  EXPECT_TRUE(containsNoCase("X-Accept: 1", "Accept:"));
  EXPECT_FALSE(containsNoCase("Ä", "ä"));
  EXPECT_TRUE(equalsNoCase("Content-TYPE", "content-type"));
  EXPECT_FALSE(equalsNoCase("Content-Type", "Content-Typ"));
  EXPECT_EQ(removeAllNoCase("cookie: a=1; COOKIE:b=2", "Cookie:"), " a=1; b=2");
}

TEST(TextBetween, FindsTheFirstEndAfterTheStart) {
  EXPECT_EQ(TextBetween("x[abc]y", "[", "]"), "abc");
  EXPECT_EQ(TextBetween("x[abc", "[", "]"), "");
  EXPECT_EQ(TextBetween("x]abc]", "[", "]"), "");
  EXPECT_EQ(TextBetween("]x[ab]c]", "[", "]"), "ab");
  EXPECT_EQ(TextBetween("x[]y", "[", "]"), "");
  EXPECT_EQ(TextBetween("X[ab]", "x[", "]"), "");
}

TEST(TextBefore, IsEmptyWithoutTheSeparator) {
  EXPECT_EQ(TextBefore("Set-Cookie: a=1", ": "), "Set-Cookie");
  EXPECT_EQ(TextBefore("a: b: c", ": "), "a");
  EXPECT_EQ(TextBefore("abc", ": "), "");
  EXPECT_EQ(TextBefore("ABC", "b"), "");
}

TEST(RemoveDuplicateMembers, KeepsFirstOccurrencesInOrder) {
  EXPECT_EQ(RemoveDuplicateMembers("a=1; b=2; a=1; c=3; b=2", "; "), "a=1; b=2; c=3");
  // Only exactly equal members are duplicates.
  EXPECT_EQ(RemoveDuplicateMembers("a=1; a=2", "; "), "a=1; a=2");
  EXPECT_EQ(RemoveDuplicateMembers("a; ; b; ", "; "), "a; ; b");
  EXPECT_EQ(RemoveDuplicateMembers("", "; "), "");
}

TEST(ClockText, PadsMinutesAndSecondsAndLetsMinutesGrow) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "00:00"},   {5, "00:05"},   {59, "00:59"},   {60, "01:00"},    {65, "01:05"},
      {187, "03:07"}, {599, "09:59"}, {5999, "99:59"}, {6000, "100:00"}, {-1, "00:00"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(ClockText(seconds), text) << seconds;
}

}  // namespace
}  // namespace lumora
