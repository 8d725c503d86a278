#include <gtest/gtest.h>

#include <random>

#include "common/Text.h"
#include "lyrics/FindLyricLine.h"
#include "lyrics/LyricLineCache.h"

namespace lumora::test {
namespace {

// A long lyric with every shape the plain lookup treats specially: several lines a second,
// double tags, empty words, brackets and clock-like digits inside the words, a missing break.
std::string longLyric(int lines, int seconds) {
  std::mt19937 random(20);
  std::string text;
  for (int i = 0; i < lines; ++i) {
    const int second = static_cast<int>(static_cast<long long>(i) * seconds / lines);
    text += "[" + ClockText(second) + ".00]";
    switch (random() % 8) {
      case 0:
        text += "[" + ClockText(second + 1) + ".50]";
        break;
      case 1:
        text += R"(\n)";
        continue;
      case 2:
        text += "a]b ";
        break;
      case 3:
        text += "at " + ClockText(second) + " ";
        break;
      case 4:
        text += "1" + ClockText(second) + "9 ";
        break;
      case 5:
        text += "no break";
        continue;
      default:
        break;
    }
    text += "line " + std::to_string(i) + R"(\n)";
  }
  return text;
}

TEST(LyricLineCache, GivesThePlainLineForEverySecond) {
  const int seconds = 240;
  const std::string lyric = longLyric(150000, seconds);
  LyricLineCache cache;
  int nonEmpty = 0;
  for (int second = 0; second <= seconds + 2; ++second) {
    const std::string key = ClockText(second);
    const std::string plain = FindLyricLine(lyric, key);
    ASSERT_EQ(cache.FindLine(lyric, key), plain) << key;
    nonEmpty += !plain.empty();
  }
  // The generated text must really exercise found lines, not only misses.
  EXPECT_GT(nonEmpty, seconds / 4) << nonEmpty;
}

TEST(LyricLineCache, FollowsANewSongAndOddKeys) {
  LyricLineCache cache;
  const std::string first = R"([00:01.00]one\n[100:02.00]long\n)";
  const std::string second = R"([00:01.00]two\n)";
  struct Case {
    const std::string& lyric;
    std::string key;
  };
  for (const Case& c : {Case{first, "00:01"}, Case{second, "00:01"}, Case{first, "00:01"},
                        Case{first, "100:02"}, Case{first, "0:02"}, Case{first, "one"},
                        Case{first, ""}, Case{first, "1234567:02"}, Case{second, "00:02"}}) {
    EXPECT_EQ(cache.FindLine(c.lyric, c.key), FindLyricLine(c.lyric, c.key)) << c.key;
  }
  EXPECT_EQ(cache.FindLine(second, "00:01"), "two");
}

}  // namespace
}  // namespace lumora::test
