// A song handed to a stream before its end follows in the same stream: the stream tells once
// that the new song is heard, and from then on its position, length and format are the new
// song's. A song withdrawn in time is not played.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>

#include "support/LoopbackMp3Server.h"
#include "playback/AudioPlayer.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

// A sine as 16-bit PCM WAV, mono at 22050 Hz: another format than the test MP3s.
std::string makeWav(double seconds) {
  const std::uint32_t rate = 22050;
  const std::uint32_t frames = static_cast<std::uint32_t>(seconds * rate);
  std::string wav;
  auto put = [&wav](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
  };
  wav += "RIFF";
  put(36 + frames * 2, 4);
  wav += "WAVEfmt ";
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(rate, 4);
  put(rate * 2, 4);
  put(2, 2);
  put(16, 2);
  wav += "data";
  put(frames * 2, 4);
  for (std::uint32_t i = 0; i < frames; ++i)
    put(static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 0.06))), 2);
  return wav;
}

struct Row {
  const char* name;
  const char* next;  // "mp3", "wav", "url"
  bool withdrawn;
  double nextSeconds;
};

class GaplessStreamTest : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override { ASSERT_TRUE(player.init(0)); }

  TempDir dir;
  AudioPlayer player;
};

TEST_P(GaplessStreamTest, TheNextSongFollowsInTheSameStream) {
  const Row& row = GetParam();
  LoopbackMp3Server server(makeMp3(0.8));
  const std::string first = dir.file("first.mp3");
  ASSERT_TRUE(writeFile(first, makeMp3(1.0)));
  std::string next = server.url("/song.mp3");
  if (std::string(row.next) != "url") {
    next = dir.file(std::string("next.") + row.next);
    ASSERT_TRUE(writeFile(next, row.next == std::string("wav") ? makeWav(row.nextSeconds)
                                                               : makeMp3(row.nextSeconds)));
    next = "file://" + next;
  }
  const std::uint32_t h = player.createStream(first);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(player.offerNext(h, next));
  if (row.withdrawn) {
    EXPECT_TRUE(player.withdrawNext(h));
  }
  ASSERT_TRUE(player.play(h));

  int heard = 0;
  ASSERT_TRUE(waitFor(
      [&] {
        player.handlePosted();
        if (player.takeNextStarted(h)) {
          ++heard;
          // The new song from its start, in its own format.
          EXPECT_EQ(player.isActive(h), ChannelState::Playing);
          EXPECT_LT(player.bytesToSeconds(h, player.getPosition(h)), 0.5);
        }
        return player.isActive(h) == ChannelState::Stopped;
      },
      10s));
  EXPECT_EQ(heard, row.withdrawn ? 0 : 1);
  EXPECT_FALSE(player.takeNextStarted(h));
  // The stream stands at the end of the song heard last.
  const double length = player.bytesToSeconds(h, player.getLength(h));
  EXPECT_NEAR(length, row.withdrawn ? 1.0 : row.nextSeconds, 0.1);
  EXPECT_NEAR(player.bytesToSeconds(h, player.getPosition(h)), length, 0.05);
  // Taken down away from this thread, like every stream.
  EXPECT_TRUE(player.freeStream(h));
  EXPECT_EQ(player.streamCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Songs, GaplessStreamTest,
                         ::testing::Values(Row{"Mp3AfterMp3", "mp3", false, 0.6},
                                           Row{"WavAfterMp3", "wav", false, 0.5},
                                           Row{"UrlAfterFile", "url", false, 0.8},
                                           Row{"Withdrawn", "mp3", true, 0.6}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumora::test
