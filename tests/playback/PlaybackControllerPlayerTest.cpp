#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "lyrics/FindLyricLine.h"
#include "playback/AudioPlayer.h"
#include "playback/PlaybackController.h"
#include "playback/PlaybackControllerFixture.h"
#include "playback/PlayerAudioOutput.h"
#include "support/LoopbackMp3Server.h"
#include "support/Mp3Fixture.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

// The real player on the no-sound device: a song the server lacks is passed over, the next one
// plays to its end, the `time` timer stops there and the old streams do not pile up.
TEST(PlaybackControllerPlayerTest, PlaysThroughTheRealPlayerToTheEndOfTheSong) {
  AudioPlayer player;
  ASSERT_TRUE(player.init(0));
  LoopbackMp3Server server(makeMp3(2.0));
  EventLog log;
  PlayerAudioOutput audio(player);
  FakeService service(log);
  RecordingView view(log);
  service.urls = {{"gone", server.url("/gone.mp3")}, {"ok", server.url("/song.mp3")}};
  service.fmBatches.push_back({MakeSong("gone")});
  service.fmBatches.push_back({MakeSong("ok")});
  PlaybackHooks hooks;
  hooks.findLyricLine = FindLyricLine;
  auto progress = std::make_shared<FakeTicker>();
  hooks.progressTicker = progress;
  PlaybackController controller(audio, service, view, "http://127.0.0.1:3000", hooks);
  FacePresenter presenter(view);
  RecordingLyrics lyrics(view.desktop);
  controller.addObserver(presenter);
  controller.addObserver(lyrics);
  controller.onFmButtonClicked(true);

  controller.playNext();
  EXPECT_EQ(controller.state().now.currentStream, 0u);
  controller.autoPlayTick();
  const std::uint32_t stream = controller.state().now.currentStream;
  ASSERT_NE(stream, 0u);
  ASSERT_TRUE(waitFor([&] { return player.isActive(stream) == ChannelState::Playing; }, 3s));

  const bool reachedEnd = waitFor(
      [&] {
        controller.progressTick();
        return progress->interval == 0;
      },
      8s);
  ASSERT_TRUE(reachedEnd);
  EXPECT_EQ(view.elapsed, "00:02");
  EXPECT_EQ(view.total, "00:02");
  EXPECT_GE(view.progressWidth, 140);
  // The lyric's one line is tagged 00:01; 00:02 has none, so it stays.
  EXPECT_EQ(view.artist, "line of ok");
  ASSERT_FALSE(view.desktop.empty());
  EXPECT_EQ(view.desktop.back(), std::make_pair(std::string("line of ok"), 0));

  ASSERT_TRUE(waitFor([&] { return player.isActive(stream) == ChannelState::Stopped; }, 5s));
  service.fmBatches.push_back({MakeSong("ok")});
  controller.autoPlayTick();
  EXPECT_NE(controller.state().now.currentStream, stream);
  EXPECT_EQ(player.streamCount(), 1u);
}

}  // namespace
}  // namespace lumora::test
