#include <gtest/gtest.h>

#include "lyrics/KaraokeSweep.h"

namespace lumora {
namespace {

TEST(LyricTagTimes, ReadsEveryTagOnceInOrder) {
  const std::vector<double> expected = {5.5, 10.0, 62.25, 600.125};
  EXPECT_EQ(LyricTagTimes("[ti:x]\\n[01:02.25]b\\n[00:05.50][10:00.125]a\\n[00:10]c\\n"
                          "[00:10.00]again\\n[0:7]one digit\\n[00:1x]bad\\n[00:12.]none"),
            expected);
  EXPECT_TRUE(LyricTagTimes("no tags [at] all").empty());
}

TEST(SweepShare, GrowsFromTheLinesTagToTheNextLinesAsTheTimeFraction) {
  // Lines at 10.0, 12.8 and 20.0; the song ends at 30.
  const std::vector<double> tags = {10.0, 12.8, 20.0};
  const struct {
    double seconds;
    double share;
  } rows[] = {
      {0.0, 0.0},                        // before the first line
      {9.9, 0.0},          {10.0, 0.0},  // the line's tag
      {11.4, 1.4 / 2.8},                 // the time fraction
      {11.99, 1.99 / 2.8}, {12.0, 0.0},  // the next line shows from its second on, unlit
      {12.8, 0.0},         {16.4, 0.5}, {19.999, 7.199 / 7.2},
      {25.0, 0.5},  // the last line runs to the song's end
      {31.0, 1.0},
  };
  for (const auto& row : rows)
    EXPECT_NEAR(SweepShare(tags, row.seconds, 30.0), row.share, 1e-9) << row.seconds;
  EXPECT_EQ(SweepShare(tags, 25.0, 0.0), 1.0);  // the end unknown: the last line fully lit
  EXPECT_EQ(SweepShare({}, 5.0, 30.0), 0.0);
}

}  // namespace
}  // namespace lumora
