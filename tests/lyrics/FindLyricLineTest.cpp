#include <gtest/gtest.h>

#include "common/Text.h"
#include "lyrics/FindLyricLine.h"

namespace lumora::test {
namespace {

// Lyric texts carry literal backslash-n pairs as line separators.
const std::string kTwoInOneSecond = R"([00:05.10]A\n[00:05.80]B\n[00:07.00]\n[00:09.50]last)";

struct LookupCase {
  const char* name;
  std::string lyric;
  std::string key;
  std::string expected;
};

class FindLyricLineTable : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FindLyricLineTable, FindsTheWords) {
  const LookupCase& c = GetParam();
  EXPECT_EQ(FindLyricLine(c.lyric, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lookup, FindLyricLineTable,
    ::testing::Values(
        LookupCase{"LastOfTheSecondWins", kTwoInOneSecond, "00:05", "B"},
        LookupCase{"UntaggedSecond", kTwoInOneSecond, "00:06", ""},
        LookupCase{"EmptyWords", kTwoInOneSecond, "00:07", ""},
        LookupCase{"LastLineWithoutBreak", kTwoInOneSecond, "00:09", ""},
        LookupCase{"RealLineFeedsOnly", "[00:05.10]A\n[00:06.00]B\n", "00:05", ""},
        LookupCase{"OneDigitMinutes", R"([1:05.00]late\n)", "01:05", ""},
        LookupCase{"TwoDigitMinutes", R"([01:05.00]late\n)", "01:05", "late"},
        LookupCase{"EarlierTagOfDoubleTag", R"([00:03.00][00:04.00]both\n)", "00:03", ""},
        LookupCase{"LaterTagOfDoubleTag", R"([00:03.00][00:04.00]both\n)", "00:04", "both"},
        LookupCase{"WordsWithBracket", R"([00:02.00]a]b\n)", "00:02", "b"},
        LookupCase{"EscapesStayAsTheyAre", R"([00:02.00]say \"hi\" \u4f60\n)", "00:02",
                   R"(say \"hi\" \u4f60)"},
        LookupCase{"EmptyText", "", "00:00", ""},
        LookupCase{"NoTags", R"(plain words\n)", "00:00", ""},
        LookupCase{"TextBeforeFirstTag", R"(00:01]x\n[00:02.00]y\n)", "00:01", "x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindLyricLine, ClockKeysFindTheirLines) {
  const std::string lyric = R"([00:59.90]end of minute\n[01:00.00]new minute\n)";
  EXPECT_EQ(FindLyricLine(lyric, ClockText(59)), "end of minute");
  EXPECT_EQ(FindLyricLine(lyric, ClockText(60)), "new minute");
}

}  // namespace
}  // namespace lumora::test
