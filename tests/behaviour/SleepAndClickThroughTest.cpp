#include <gtest/gtest.h>

#include <string>

#include "behaviour/ClickThrough.h"
#include "behaviour/SleepTimer.h"

namespace lumora {
namespace {

TEST(SleepTimer, ItemsPeriodsAndCaptions) {
  struct Row {
    const char* item;
    int periodMs;
    const char* caption;
  };
  const Row rows[] = {
      {"不开启", 0, "取消"},
      {"10分钟后", 600000, "确认设定"},
      {"20分钟后", 1200000, "确认设定"},
      {"30分钟后", 1800000, "确认设定"},
      {"45分钟后", 2700000, "确认设定"},
      {"60分钟后", 3600000, "确认设定"},
      {"1小时15分钟后", 4500000, "确认设定"},
      {"1小时30分钟后", 5400000, "确认设定"},
      {"1小时45分钟后", 6300000, "确认设定"},
      {"2小时后", 7200000, "确认设定"},
  };
  ASSERT_EQ(kSleepDelays.size(), std::size(rows));
  for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
    EXPECT_EQ(kSleepDelays[i].item, rows[i].item) << i;
    EXPECT_EQ(sleepPeriod(i), rows[i].periodMs) << i;
    EXPECT_EQ(sleepButtonCaption(i), rows[i].caption) << i;
  }
}

TEST(SleepTimer, NoSelectionLeavesEverythingAsItWas) {
  for (int index : {-1, 10, 1000}) {
    EXPECT_EQ(sleepPeriod(index), std::nullopt) << index;
    EXPECT_EQ(sleepButtonCaption(index), std::nullopt) << index;
  }
}

TEST(SleepTimer, TimeLeftRoundsUpToWholeSeconds) {
  struct Case {
    int ms;
    const char* text;
  };
  const Case cases[] = {
      {7200000, "剩余 2:00:00"}, {4500000, "剩余 1:15:00"}, {600000, "剩余 0:10:00"},
      {599001, "剩余 0:10:00"},  {599000, "剩余 0:09:59"},  {61000, "剩余 0:01:01"},
      {1, "剩余 0:00:01"},       {0, "剩余 0:00:00"},       {-40, "剩余 0:00:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(sleepTimeLeftText(c.ms), c.text) << c.ms;
}

TEST(ClickThrough, AlphaOfEveryOpacityItemTruncates) {
  struct Case {
    const char* text;
    int alpha;
  };
  const Case cases[] = {
      {"100", 255}, {"95", 242}, {"90", 229}, {"85", 216}, {"80", 204}, {"70", 178},
      {"60", 153},  {"50", 127}, {"40", 102}, {"30", 76},  {"20", 51},  {"10", 25},
  };
  for (const Case& c : cases) EXPECT_EQ(clickThroughAlpha(c.text), c.alpha) << c.text;
}

TEST(ClickThrough, OddTextsStayWithinAnOpacity) {
  struct Case {
    const char* text;
    int alpha;
  };
  const Case cases[] = {
      {"", 0},
      {"   ", 0},
      {"abc", 0},
      {" 50", 127},
      {"+50", 127},
      {"50%", 127},
      {"-20", 0},
      {"150", 255},
      {"99999999999999999999999", 255},
      {"-99999999999999999999999", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(clickThroughAlpha(c.text), c.alpha) << c.text;
}

TEST(ClickThrough, LookOnAndOff) {
  const ClickThroughHeights heights{260, 232};
  EXPECT_EQ(clickThroughLook(true, "50", heights), (ClickThroughLook{127, 232, true}));
  EXPECT_EQ(clickThroughLook(false, "50", heights), (ClickThroughLook{255, 260, false}));
  EXPECT_EQ(clickThroughLook(true, "", heights), (ClickThroughLook{0, 232, true}));
}

}  // namespace
}  // namespace lumora
