#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "playback/PlaybackController.h"
#include "playback/PlaybackState.h"
#include "support/PlaybackFakes.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;

TEST(PlayQueueTest, PositionsAreOneBasedAndKeepTheFourListsAligned) {
  PlayQueue queue;
  for (const char* id : {"1", "2", "3"}) queue.append(MakeSong(id));
  EXPECT_EQ(queue.at(2), MakeSong("2"));
  EXPECT_EQ(queue.at(0), Song{});
  EXPECT_EQ(queue.at(4), Song{});

  queue.removeAt(2);
  queue.removeAt(0);
  queue.removeAt(9);
  EXPECT_THAT(queue.ids, ElementsAre("1", "3"));
  EXPECT_THAT(queue.albums, ElementsAre("album1", "album3"));
  EXPECT_EQ(queue.at(2), MakeSong("3"));

  queue.names.push_back("half-filled");  // a list the service client left longer
  EXPECT_EQ(queue.size(), 2u);
}

TEST(PlayQueueTest, RandomBetweenUsesTheMagnitudeModuloTheRange) {
  struct Case {
    std::int32_t r;
    int a, b, expected;
  } cases[] = {
      {0, 1, 7, 1}, {6, 1, 7, 7}, {7, 1, 7, 1},           {-3, 1, 7, 4},
      {5, 3, 3, 3}, {9, 4, 2, 4}, {INT_MIN, 1, 7, 1 + 2},  // 2^31 mod 7 = 2
  };
  for (const Case& c : cases) {
    ScriptedRandom random;
    random.values = {c.r};
    EXPECT_EQ(RandomBetween(random, c.a, c.b), c.expected) << c.r << " " << c.a << ".." << c.b;
  }
}

}  // namespace
}  // namespace lumora::test
