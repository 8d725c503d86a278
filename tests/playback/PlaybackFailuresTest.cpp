// The play modes when the server fails them, and wishes that come while a song starts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/PlaybackControllerFixture.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(PlaybackControllerTest, FoundPlaylistIsShownForASecondThenFilled) {
  int pumps = 0;
  PlaybackHooks hooks = Hooks();
  hooks.processPendingEvents = [&pumps] { ++pumps; };
  PlaybackController withPumps(audio, service, view, "http://127.0.0.1:3000", hooks);
  FacePresenter face(view);
  withPumps.addObserver(face);
  view.rows = {"p0", "p1"};
  service.playlists["p1"] = {"200", {MakeSong("1"), MakeSong("2")}};
  service.reportLoad = true;
  service.duringLoad = [this] { log.push_back("during load"); };

  withPumps.playSelectedPlaylist(1);
  EXPECT_THAT(log, ::testing::IsSupersetOf({"load p1", "during load", "wait 1000"}));
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(view.cover, "cover-1");  // the song's cover replaced the playlist's
  EXPECT_THAT(view.artistCaptions, ElementsAre("歌单加载中...", "共2首/已加载：1首",
                                               "共2首/已加载：2首", "2首歌曲加载完毕", "artist1"));
}

// Logged out, personal FM answers with nothing: the face says why and shows play, and nothing
// is asked again until the user plays.
TEST_F(PlaybackControllerTest, FmWithoutALoginAsksOnceAndWaitsForTheUser) {
  StartFmSongs({MakeSong("a")});
  audio.streams[state().now.currentStream].active = 0;
  service.reply = ServiceReply::NeedsLogin;
  for (int tick = 0; tick < 10; ++tick) controller.autoPlayTick();
  EXPECT_EQ(Count("fm"), 2u);
  EXPECT_EQ(view.artist, kFmNeedsLogin);
  EXPECT_TRUE(view.playVisible);
  EXPECT_FALSE(view.pauseVisible);

  // Logged in now: play asks again and starts the account's song.
  service.reply = ServiceReply::Answered;
  service.fmBatches.push_back({MakeSong("b")});
  controller.resumeOrStart();
  EXPECT_EQ(Count("fm"), 3u);
  EXPECT_EQ(state().now.currentSongId, "b");
  EXPECT_FALSE(view.playVisible);
}

// A server that does not answer keeps the queue whole; the tries back off from one second to
// half a minute and playback goes on from the same queue once it answers.
TEST_F(PlaybackControllerTest, ServerOutageKeepsTheQueueAndBacksOff) {
  controller.onFmButtonClicked(true);
  service.fmBatches.push_back({MakeSong("a"), MakeSong("b"), MakeSong("c")});
  controller.playNext();
  controller.playNext();
  ASSERT_EQ(state().fmQueue.size(), 1u);
  const std::string waiting = state().fmQueue.ids[0];
  audio.streams[state().now.currentStream].active = 0;
  service.reply = ServiceReply::Unreachable;

  controller.autoPlayTick();  // the end of the song: the next one meets no server
  const std::size_t firstTry = Count("url");
  for (int i = 0; i < 7; ++i) {
    controller.autoPlayTick();  // the auto-play tick leaves the trying to the back-off
    controller.retryTick();
  }
  EXPECT_EQ(Count("url"), firstTry + 7);
  EXPECT_THAT(retry->starts, ElementsAre(1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000));
  EXPECT_THAT(state().fmQueue.ids, ElementsAre(waiting));
  EXPECT_EQ(view.artist, kServerUnreachable);
  EXPECT_TRUE(view.playVisible);

  service.reply = ServiceReply::Answered;
  controller.retryTick();
  EXPECT_EQ(state().now.currentSongId, waiting);
  EXPECT_TRUE(state().fmQueue.empty());
  EXPECT_FALSE(view.playVisible);
  // Back to normal: the next failure starts again from one second.
  audio.streams[state().now.currentStream].active = 0;
  service.reply = ServiceReply::Unreachable;
  service.fmBatches.push_back({MakeSong("d")});
  controller.autoPlayTick();
  EXPECT_EQ(retry->starts.back(), 1000);
  EXPECT_EQ(retry->interval, 1000);
}

TEST_F(PlaybackControllerTest, PlayWithAnEmptySquareSaysSo) {
  controller.resumeOrStart();
  EXPECT_EQ(view.artist, kNoPlaylists);
  EXPECT_EQ(Count("load"), 0u);
  // The server answered with no playlists: nothing to load again, nothing to retry.
  EXPECT_EQ(Count("reload"), 0u);
  EXPECT_EQ(retry->interval, 0);
}

// A failure while the old song plays on leaves the face on that song: the pause button and the
// running progress bar; the reason stays on the artist line while the lyric goes on elsewhere.
TEST_F(PlaybackControllerTest, FailureWhileASongPlaysKeepsTheFaceOnTheStream) {
  struct Case {
    bool fm;
    ServiceReply reply;
    const char* notice;
  } cases[] = {
      {true, ServiceReply::NeedsLogin, kFmNeedsLogin},
      {false, ServiceReply::Unreachable, kServerUnreachable},
  };
  view.rows = {"p0", "p1"};
  for (const Case& c : cases) {
    service.reply = ServiceReply::Answered;
    service.playlists["p1"] = {"200", {MakeSong(c.notice)}};
    controller.onFmButtonClicked(false);
    controller.playNext();
    const std::uint32_t stream = state().now.currentStream;
    controller.onFmButtonClicked(c.fm);
    service.reply = c.reply;

    controller.playNext();
    EXPECT_EQ(audio.isActive(stream), ChannelState::Playing) << c.notice;
    EXPECT_EQ(view.artist, c.notice);
    EXPECT_TRUE(view.pauseVisible) << c.notice;
    EXPECT_FALSE(view.playVisible) << c.notice;
    EXPECT_EQ(progress->interval, 100) << c.notice;
    audio.streams[stream].position = 1000;  // the lyric's one line
    view.desktop.clear();
    controller.progressTick();
    EXPECT_EQ(view.artist, c.notice);
    EXPECT_FALSE(view.desktop.empty()) << c.notice;
    audio.streams[stream].position = 100000;
    controller.progressTick();
    EXPECT_EQ(view.progressWidth, 77) << c.notice;

    // Play and pause act on the song that plays.
    controller.togglePlayPause();
    EXPECT_TRUE(view.playVisible);
    controller.togglePlayPause();
    EXPECT_TRUE(view.pauseVisible);
    EXPECT_EQ(audio.isActive(stream), ChannelState::Playing);
    EXPECT_EQ(progress->interval, 100);
  }
}

// Without a server before the first song: play loads the square again, says why nothing plays,
// and keeps trying with back-off until the server answers. Whatever the user asks meanwhile
// replaces the pending try.
TEST_F(PlaybackControllerTest, LostServerBeforeTheFirstSongIsTriedAgain) {
  bool serverUp = false;
  view.squareAnswered = false;
  view.onReload = [&] {
    view.squareAnswered = serverUp;
    if (serverUp) view.rows = {"p0", "p1", "p2"};
  };
  service.playlists["p1"] = {"200", {MakeSong("1a")}};
  service.playlists["p2"] = {"200", {MakeSong("2a")}};

  controller.resumeOrStart();
  EXPECT_EQ(view.artist, kServerUnreachable);
  EXPECT_TRUE(view.playVisible);
  controller.retryTick();
  controller.playNext();  // the user's own try replaces the pending one, and backs off further
  EXPECT_EQ(Count("reload square"), 3u);
  EXPECT_THAT(retry->starts, ElementsAre(1000, 2000, 4000));

  serverUp = true;
  controller.retryTick();
  EXPECT_EQ(Count("reload square"), 4u);
  EXPECT_EQ(state().now.currentSongId, "1a");
  EXPECT_TRUE(view.pauseVisible);
  EXPECT_EQ(autoPlay->interval, 1000);

  // Lost again at the end of the song: the user's double-click ends the waiting.
  audio.streams[state().now.currentStream].active = 0;
  service.reply = ServiceReply::Unreachable;
  controller.autoPlayTick();
  ASSERT_EQ(retry->interval, 1000);
  service.reply = ServiceReply::Answered;
  controller.playSelectedPlaylist(2);
  EXPECT_EQ(state().now.currentSongId, "2a");
  EXPECT_EQ(retry->interval, 0);
  const std::size_t loads = Count("load");
  controller.retryTick();
  EXPECT_EQ(Count("load"), loads);
}

// The square's only playlist is gone when the song ends: one box, and the tick loads it again
// only after the user acted, however many ticks come (a stray one included).
TEST_F(PlaybackControllerTest, MissingPlaylistOpensOneBoxUntilTheUserActs) {
  struct Case {
    const char* act;
    std::function<void(PlaybackController&)> userAct;
    // Since the song ended.
    std::size_t loads, boxes;
    const char* playing;
  } cases[] = {
      {"ticks alone", [](PlaybackController&) {}, 1, 1, "s"},
      {"next", [](PlaybackController& c) { c.playNext(); }, 2, 2, "s"},
      {"play button", [](PlaybackController& c) { c.resumeOrStart(); }, 2, 2, "s"},
      {"double-click", [](PlaybackController& c) { c.playSelectedPlaylist(0); }, 2, 2, "s"},
      {"new square page, next",
       [this](PlaybackController& c) {
         view.rows = {"other"};
         c.playNext();
       },
       2, 1, "t"},
      {"personal FM, play",
       [this](PlaybackController& c) {
         c.onFmButtonClicked(true);
         service.fmBatches.push_back({MakeSong("f")});
         c.resumeOrStart();
       },
       1, 1, "f"},
  };
  for (const Case& c : cases) {
    PlaybackController fresh(audio, service, view, "http://127.0.0.1:3000", Hooks());
    FacePresenter face(view);
    fresh.addObserver(face);
    view.rows = {"only"};
    service.playlists["only"] = {"200", {MakeSong("s")}};
    service.playlists["other"] = {"200", {MakeSong("t")}};
    fresh.resumeOrStart();
    ASSERT_EQ(fresh.state().now.currentSongId, "s") << c.act;
    service.playlists["only"] = {"404", {}};
    audio.streams[fresh.state().now.currentStream].active = 0;
    log.clear();
    for (int tick = 0; tick < 5; ++tick) fresh.autoPlayTick();
    c.userAct(fresh);
    for (int tick = 0; tick < 5; ++tick) fresh.autoPlayTick();
    EXPECT_EQ(Count("load"), c.loads) << c.act;
    EXPECT_EQ(Count(std::string("message ") + kPlaylistNotFound), c.boxes) << c.act;
    EXPECT_EQ(fresh.state().now.currentSongId, c.playing) << c.act;
  }
}

// Clicks during a playlist load are not lost: the start gives way to the latest once the load is
// done, the song it drew passed over unfetched.
TEST_F(PlaybackControllerTest, WishesDuringAStartRunWhenItEnds) {
  struct Case {
    const char* name;
    std::function<void(PlaybackController&)> wish;
    std::vector<std::string> urls;
  } cases[] = {
      {"next", [](PlaybackController& c) { c.playNext(); }, {"url 1b 320000"}},
      {"double-click", [](PlaybackController& c) { c.playSelectedPlaylist(2); }, {"url 2a 320000"}},
      {"next, then double-click",
       [](PlaybackController& c) {
         c.playNext();
         c.playSelectedPlaylist(2);
       },
       {"url 2a 320000"}},
      {"play", [](PlaybackController& c) { c.resumeOrStart(); }, {"url 1a 320000"}},
  };
  view.rows = {"p0", "p1", "p2"};
  for (const Case& c : cases) {
    PlaybackController fresh(audio, service, view, "http://127.0.0.1:3000", Hooks());
    service.playlists["p1"] = {"200", {MakeSong("1a"), MakeSong("1b")}};
    service.playlists["p2"] = {"200", {MakeSong("2a")}};
    int loads = 0;
    service.duringLoad = [&] {
      if (++loads == 1) c.wish(fresh);
    };
    log.clear();
    fresh.resumeOrStart();
    std::vector<std::string> urls;
    std::copy_if(log.begin(), log.end(), std::back_inserter(urls),
                 [](const std::string& e) { return e.rfind("url", 0) == 0; });
    EXPECT_EQ(urls, c.urls) << c.name;
    service.duringLoad = nullptr;
  }
}

}  // namespace
}  // namespace lumora::test
