#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "common/WarmUpThread.h"
#include "playback/AudioPlayer.h"
#include "support/LoopbackMp3Server.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class AudioPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(player.init(0)); }

  std::string mp3File(double seconds, const std::string& name = "song.mp3") {
    std::string path = dir.file(name);
    EXPECT_TRUE(writeFile(path, makeMp3(seconds)));
    return path;
  }

  TempDir dir;
  AudioPlayer player;
};

TEST(AudioPlayerStatic, ColorComponentSplitsColourValues) {
  struct Case {
    std::int64_t value;
    int part;
    std::int64_t expected;
  } cases[] = {
      {0x00332211, 1, 0x11}, {0x00332211, 2, 0x22}, {0x00332211, 3, 0x33},
      {0x00FFFFFF, 1, 255},  {0x00FFFFFF, 3, 255},  {0x12345678, 3, 0x1234},
      {0x00332211, 0, 0},    {0x00332211, 4, 0},    {0, 2, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AudioPlayer::colorComponent(c.value, c.part), c.expected)
        << std::hex << c.value << " part " << c.part;
}

TEST(AudioPlayerStatic, NothingWorksBeforeInit) {
  AudioPlayer player;
  EXPECT_EQ(player.createStream("", "", "http://127.0.0.1:1/x.mp3"), 0u);
  EXPECT_FALSE(player.free());
  EXPECT_FALSE(player.setVolume(0.5f));
}

// Start-up loads the framework on another thread while the window is built; an init that comes
// meanwhile waits for it and then plays as usual.
TEST(AudioPlayerStatic, InitWhileTheFrameworkLoadsElsewhereStillPlays) {
  TempDir dir;
  const std::string path = dir.file("song.mp3");
  ASSERT_TRUE(writeFile(path, makeMp3(1.0)));
  WarmUpThread warmUp(LoadAudioFramework);
  AudioPlayer player;
  ASSERT_TRUE(player.init(0));
  const std::uint32_t stream = player.createStream(path);
  ASSERT_NE(stream, 0u);
  EXPECT_TRUE(player.play(stream));
  EXPECT_TRUE(waitFor([&] { return player.getLength(stream) > 0; }, 3s));
}

TEST_F(AudioPlayerTest, HandleZeroAndUnknownHandlesDoNothing) {
  EXPECT_EQ(player.createStream(), 0u);
  EXPECT_EQ(player.streamCount(), 0u);
  for (std::uint32_t handle : {0u, 12345u}) {
    EXPECT_FALSE(player.play(handle));
    EXPECT_FALSE(player.pause(handle));
    EXPECT_FALSE(player.stop(handle));
    EXPECT_EQ(player.isActive(handle), ChannelState::Stopped);
    EXPECT_EQ(player.getPosition(handle), -1);
    EXPECT_EQ(player.getLength(handle), -1);
    EXPECT_EQ(player.getTags(handle), "");
    EXPECT_FALSE(player.freeStream(handle));
  }
}

TEST_F(AudioPlayerTest, UnplayableSourcesGiveZero) {
  LoopbackMp3Server server(makeMp3(0.5));
  std::string text = dir.file("notes.mp3");
  ASSERT_TRUE(writeFile(text, std::string(4000, 'x')));
  EXPECT_EQ(player.createStream(dir.file("missing.mp3")), 0u);
  EXPECT_EQ(player.createStream(text), 0u);
  EXPECT_EQ(player.createStream("", std::string(4000, '\x01')), 0u);
  EXPECT_EQ(player.createStream("", "", server.url("/gone.mp3")), 0u);
  EXPECT_EQ(player.createStream("", "", server.url("/page.html")), 0u);
  EXPECT_EQ(player.createStream("", "", "http://127.0.0.1:1/refused.mp3"), 0u);
  EXPECT_EQ(player.createStream("", "", "not a url"), 0u);
  EXPECT_EQ(player.streamCount(), 0u);
}

TEST_F(AudioPlayerTest, SourcesAreChosenFileThenMemoryThenUrl) {
  LoopbackMp3Server server(makeMp3(1.0));
  std::string file = mp3File(0.5);
  std::string memory = makeMp3(2.0);
  // Lengths tell the sources apart: 0.5 s file, 2 s memory, 1 s URL.
  auto seconds = [&](std::uint32_t h) { return player.bytesToSeconds(h, player.getLength(h)); };
  std::uint32_t fromFile = player.createStream(file, memory, server.url("/song.mp3"));
  std::uint32_t fromMemory =
      player.createStream(dir.file("missing.mp3"), memory, server.url("/song.mp3"));
  std::uint32_t fromUrl = player.createStream(dir.file("missing.mp3"), "", server.url("/song.mp3"));
  ASSERT_NE(fromFile, 0u);
  ASSERT_NE(fromMemory, 0u);
  ASSERT_NE(fromUrl, 0u);
  // An MP3's length is known once it plays.
  for (std::uint32_t h : {fromFile, fromMemory, fromUrl}) {
    ASSERT_TRUE(player.play(h));
    ASSERT_TRUE(waitFor([&] { return player.getLength(h) > 0; }, 3s)) << h;
  }
  EXPECT_NEAR(seconds(fromFile), 0.5, 0.1);
  EXPECT_NEAR(seconds(fromMemory), 2.0, 0.1);
  EXPECT_NEAR(seconds(fromUrl), 1.0, 0.1);
}

TEST_F(AudioPlayerTest, HandlesAreNeverReusedAndFreeEndsEverything) {
  std::string file = mp3File(0.3);
  std::uint32_t a = player.createStream(file);
  ASSERT_NE(a, 0u);
  EXPECT_TRUE(player.freeStream(a));
  EXPECT_FALSE(player.freeStream(a));
  EXPECT_EQ(player.isActive(a), ChannelState::Stopped);
  std::uint32_t b = player.createStream(file);
  std::uint32_t c = player.createStream(file);
  EXPECT_NE(b, a);
  EXPECT_NE(c, b);
  EXPECT_NE(c, a);
  ASSERT_TRUE(player.play(b));
  EXPECT_EQ(player.isActive(b), ChannelState::Playing);
  EXPECT_TRUE(player.free());
  EXPECT_EQ(player.streamCount(), 0u);
  EXPECT_EQ(player.isActive(b), ChannelState::Stopped);
  EXPECT_FALSE(player.play(c));
}

TEST_F(AudioPlayerTest, PauseThenPlayWithoutRestartResumes) {
  std::uint32_t h = player.createStream(mp3File(3.0));
  ASSERT_NE(h, 0u);
  EXPECT_EQ(player.isActive(h), ChannelState::Stopped);
  // A stream never played waits paused at its start: a song that starts paused.
  ASSERT_TRUE(player.pause(h));
  EXPECT_EQ(player.isActive(h), ChannelState::Paused);
  EXPECT_EQ(player.getPosition(h), 0);
  ASSERT_TRUE(player.play(h, false));
  ASSERT_TRUE(waitFor([&] { return player.bytesToSeconds(h, player.getPosition(h)) >= 0.6; }, 3s));
  ASSERT_TRUE(player.pause(h));
  EXPECT_EQ(player.isActive(h), ChannelState::Paused);
  std::int64_t paused = player.getPosition(h);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(player.getPosition(h), paused);

  ASSERT_TRUE(player.play(h, false));
  EXPECT_EQ(player.isActive(h), ChannelState::Playing);
  EXPECT_GE(player.getPosition(h), paused);
  ASSERT_TRUE(waitFor([&] { return player.getPosition(h) > paused; }, 2s));

  // restart goes back to the beginning.
  ASSERT_TRUE(player.play(h, true));
  EXPECT_LT(player.getPosition(h), paused);
  EXPECT_TRUE(player.stop(h));
  EXPECT_EQ(player.isActive(h), ChannelState::Stopped);
}

TEST_F(AudioPlayerTest, SetPositionMovesTheStream) {
  std::uint32_t h = player.createStream(mp3File(2.0));
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(player.play(h));
  ASSERT_TRUE(waitFor([&] { return player.getLength(h) > 0; }, 3s));
  ASSERT_TRUE(player.pause(h));
  std::int64_t target = player.secondsToBytes(h, 1.5);
  ASSERT_TRUE(player.setPosition(h, target));
  EXPECT_EQ(player.getPosition(h), target);
  EXPECT_FALSE(player.setPosition(h, player.getLength(h) + 4096));
  ASSERT_TRUE(player.play(h, false));
  EXPECT_TRUE(waitFor([&] { return player.isActive(h) == ChannelState::Stopped; }, 3s));
}

TEST_F(AudioPlayerTest, EndOfStreamReadsStoppedAndPlayRestarts) {
  // From a temporary: the stream must hold its own copy of the bytes.
  std::uint32_t h = player.createStream("", makeMp3(0.4));
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(player.play(h));
  ASSERT_TRUE(waitFor([&] { return player.isActive(h) == ChannelState::Stopped; }, 3s));
  EXPECT_EQ(player.getPosition(h), player.getLength(h));
  EXPECT_FALSE(player.pause(h));
  ASSERT_TRUE(player.play(h));
  EXPECT_EQ(player.isActive(h), ChannelState::Playing);
  EXPECT_LT(player.getPosition(h), player.getLength(h));
}

TEST_F(AudioPlayerTest, BytesAndSecondsConvertInSixteenBitPcm) {
  std::uint32_t h = player.createStream(mp3File(0.3));
  ASSERT_NE(h, 0u);
  // 44100 Hz stereo, 16-bit: 176400 bytes a second.
  EXPECT_EQ(player.secondsToBytes(h, 1.0), 176400);
  EXPECT_DOUBLE_EQ(player.bytesToSeconds(h, 176400), 1.0);
  EXPECT_DOUBLE_EQ(player.bytesToSeconds(h, 0), 0.0);
  for (std::int64_t bytes : {std::int64_t(4), std::int64_t(176400 * 3 + 400),
                             std::int64_t(4) * 44100 * 3600 * 7 + 44, std::int64_t(123456788)})
    EXPECT_EQ(player.secondsToBytes(h, player.bytesToSeconds(h, bytes)), bytes) << bytes;
  for (double s : {0.1, 1.0 / 3, 2.5, 4000.0})
    EXPECT_NEAR(player.bytesToSeconds(h, player.secondsToBytes(h, s)), s, 0.5 / 44100) << s;
  EXPECT_EQ(player.bytesToSeconds(0, 176400), -1.0);
}

TEST_F(AudioPlayerTest, TagsComeFromTheId3v1Block) {
  Id3v1Tag tag{"Night Train", "The Testers", "Loopback", "2026", "made at test time", 17};
  std::string tagged = makeMp3WithTag(0.3, tag);
  std::string plain = makeMp3(0.3);
  std::string block = id3v1Block(tag);
  std::string expected = block.substr(0, block.find('\0'));
  ASSERT_EQ(expected.substr(0, 14), "TAGNight Train");

  std::string taggedFile = dir.file("tagged.mp3");
  std::string plainFile = dir.file("plain.mp3");
  ASSERT_TRUE(writeFile(taggedFile, tagged));
  ASSERT_TRUE(writeFile(plainFile, plain));
  std::uint32_t fileTagged = player.createStream(taggedFile);
  std::uint32_t memoryTagged = player.createStream("", tagged);
  std::uint32_t filePlain = player.createStream(plainFile);
  std::uint32_t memoryPlain = player.createStream("", plain);
  ASSERT_NE(fileTagged, 0u);
  ASSERT_NE(memoryTagged, 0u);
  EXPECT_EQ(player.getTags(fileTagged), expected);
  EXPECT_EQ(player.getTags(memoryTagged), expected);
  EXPECT_EQ(player.getTags(filePlain), "");
  EXPECT_EQ(player.getTags(memoryPlain), "");
  // The tag is not audio: the tagged stream is as long as the plain one.
  EXPECT_EQ(player.getLength(fileTagged), player.getLength(filePlain));
}

TEST_F(AudioPlayerTest, VolumeStaysInRange) {
  EXPECT_FLOAT_EQ(player.getVolume(), 1.0f);
  EXPECT_TRUE(player.setVolume(0.25f));
  EXPECT_FLOAT_EQ(player.getVolume(), 0.25f);
  EXPECT_FALSE(player.setVolume(1.5f));
  EXPECT_FALSE(player.setVolume(-0.1f));
  EXPECT_FLOAT_EQ(player.getVolume(), 0.25f);
}

// The whole road of a song, from file, memory and URL at once: playing while it plays,
// stopped after its end, the position at the length.
TEST_F(AudioPlayerTest, FiveSecondSongPlaysToItsEndFromEverySource) {
  std::string song = makeMp3(5.0);
  LoopbackMp3Server server(song);
  std::string file = dir.file("five.mp3");
  ASSERT_TRUE(writeFile(file, song));
  std::uint32_t handles[] = {player.createStream(file), player.createStream("", song),
                             player.createStream("", "", server.url("/song.mp3"))};
  std::int64_t lastWhilePlaying[3] = {0, 0, 0};
  for (std::uint32_t h : handles) {
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(player.play(h));
  }
  auto start = std::chrono::steady_clock::now();
  bool allDone = waitFor(
      [&] {
        bool done = true;
        for (int i = 0; i < 3; ++i) {
          const ChannelState state = player.isActive(handles[i]);
          std::int64_t pos = player.getPosition(handles[i]);
          if (state == ChannelState::Playing) lastWhilePlaying[i] = pos;
          done = done && state == ChannelState::Stopped;
          // The URL stream may wait for data for a moment on a loaded machine.
          const bool waiting = i == 2 && state == ChannelState::Stalled;
          EXPECT_TRUE(state == ChannelState::Playing || state == ChannelState::Stopped || waiting)
              << i << ": " << static_cast<int>(state);
        }
        return done;
      },
      10s);
  ASSERT_TRUE(allDone);
  // Real time even without sound: the song took about its length.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 4500ms);
  for (int i = 0; i < 3; ++i) {
    std::int64_t length = player.getLength(handles[i]);
    EXPECT_NEAR(player.bytesToSeconds(handles[i], length), 5.0, 0.1) << i;
    EXPECT_EQ(player.getPosition(handles[i]), length) << i;
    EXPECT_GT(lastWhilePlaying[i], length * 9 / 10) << i;
    EXPECT_TRUE(player.freeStream(handles[i]));
  }
}

// Also shows that a URL stream plays before its download has ended. The half sent before the
// stall is six seconds, well over what the stream buffers before it plays, however slowly a
// loaded machine lets the download rate be estimated.
TEST_F(AudioPlayerTest, StalledServerShowsStateTwoUntilDataFlows) {
  LoopbackMp3Server server(makeMp3(12.0));
  std::uint32_t h = player.createStream("", "", server.url("/stall.mp3"));
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(player.play(h));
  EXPECT_TRUE(waitFor([&] { return player.isActive(h) == ChannelState::Playing; }, 8s));
  ASSERT_TRUE(waitFor([&] { return player.isActive(h) == ChannelState::Stalled; }, 15s));
  std::int64_t stalledAt = player.getPosition(h);
  EXPECT_GT(stalledAt, 0);
  EXPECT_LT(stalledAt, player.getLength(h));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(player.isActive(h), ChannelState::Stalled);
  server.resume();
  ASSERT_TRUE(waitFor([&] { return player.isActive(h) == ChannelState::Playing; }, 5s));
  EXPECT_TRUE(waitFor([&] { return player.getPosition(h) > stalledAt; }, 2s));
  EXPECT_TRUE(player.freeStream(h));
}

}  // namespace
}  // namespace lumora::test
