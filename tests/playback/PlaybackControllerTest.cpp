#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "lyrics/FindLyricLine.h"
#include "playback/PlaybackController.h"
#include "playback/PlaybackFakes.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PlaybackControllerTest : public ::testing::Test {
 protected:
  PlaybackControllerTest() : controller(audio, service, view, "http://127.0.0.1:3000", Hooks()) {
    controller.addObserver(presenter);
    controller.addObserver(lyrics);
  }

  PlaybackHooks Hooks() {
    PlaybackHooks hooks;
    hooks.findLyricLine = [this](const std::string& lyric, const std::string& key) {
      keys.push_back(key);
      return FindLyricLine(lyric, key);
    };
    hooks.pumpedWait = [this](int ms) { log.push_back("wait " + std::to_string(ms)); };
    hooks.openUrl = [this](const std::string& url) { view.openedUrls.push_back(url); };
    hooks.tickCount = [this] { return clock; };
    hooks.random = random;
    hooks.progressTicker = progress;
    hooks.autoPlayTicker = autoPlay;
    hooks.retryTicker = retry;
    return hooks;
  }

  const PlaybackState& state() const { return controller.state(); }

  void StartFmSongs(std::vector<Song> batch) {
    controller.onFmButtonClicked(true);
    service.fmBatches.push_back(std::move(batch));
    const std::size_t n = service.fmBatches.back().size();
    for (std::size_t i = 0; i < n; ++i) controller.playNext();
  }

  std::size_t Count(const std::string& prefix) const {
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [&](const auto& e) { return e.rfind(prefix, 0) == 0; }));
  }

  EventLog log;
  FakeAudio audio{log};
  FakeService service{log};
  RecordingView view{log};
  FacePresenter presenter{view};
  RecordingLyrics lyrics{view.desktop};
  std::shared_ptr<ScriptedRandom> random = std::make_shared<ScriptedRandom>();
  std::vector<std::string> keys;
  std::uint32_t clock = 4242;
  std::shared_ptr<FakeTicker> progress = std::make_shared<FakeTicker>();
  std::shared_ptr<FakeTicker> autoPlay = std::make_shared<FakeTicker>();
  std::shared_ptr<FakeTicker> retry = std::make_shared<FakeTicker>();
  PlaybackController controller;
};

TEST_F(PlaybackControllerTest, FirstPlayLoadsASquarePlaylistAndStartsADrawnTrack) {
  view.rows = {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8"};
  service.playlists["p3"] = {"200", {MakeSong("1"), MakeSong("2"), MakeSong("3")}};
  random->values = {2, -1};  // row 1 + 2 = 3, then track 1 + 1 = 2

  controller.resumeOrStart();

  EXPECT_THAT(random->seeds, ElementsAre(4242u));
  EXPECT_THAT(log, ElementsAre("load p3", "url 2 320000", "create http://audio/2", "play 1",
                               "lyric 2", "cover 2"));
  EXPECT_THAT(view.artistCaptions, ElementsAre("歌单加载中...", "3首歌曲加载完毕", "artist2"));
  EXPECT_EQ(view.songName, "name2");
  EXPECT_EQ(view.title, "name2");
  EXPECT_EQ(view.cover, "cover-2");
  EXPECT_FALSE(view.playVisible);
  EXPECT_TRUE(view.pauseVisible);
  EXPECT_EQ(progress->interval, 100);
  EXPECT_EQ(autoPlay->interval, 1000);
  const NowPlaying& now = state().now;
  EXPECT_EQ(now.currentTitle, "name2-artist2");
  EXPECT_EQ(now.currentUrl, "http://audio/2");
  EXPECT_EQ(now.currentSongId, "2");
  EXPECT_EQ(now.likeSongId, "2");
  EXPECT_EQ(now.currentAlbum, "album2");
  EXPECT_EQ(now.lyricText, "[00:01.00]line of 2\\n");
  EXPECT_THAT(state().playlistQueue.ids, ElementsAre("1", "3"));
  EXPECT_EQ(state().queueCount, 2);
  EXPECT_THAT(state().history.ids, ElementsAre("2"));
}

TEST_F(PlaybackControllerTest, ReplacedStreamIsStoppedAndFreedBeforeTheNextOpens) {
  StartFmSongs({MakeSong("a"), MakeSong("b")});
  ASSERT_EQ(audio.streams.size(), 1u);
  EXPECT_THAT(log, ::testing::IsSupersetOf({"stop 1", "free 1"}));
  auto stop = std::find(log.begin(), log.end(), "stop 1");
  EXPECT_EQ(*(stop + 1), "free 1");
  EXPECT_EQ(*(stop + 2), "url b 320000");
  EXPECT_EQ(state().now.currentStream, 2u);
}

TEST_F(PlaybackControllerTest, HistoryWalksBackTwoStepsThenStops) {
  StartFmSongs({MakeSong("A"), MakeSong("B"), MakeSong("C")});
  view.playVisible = true;
  view.pauseVisible = false;

  controller.playPrevious();
  EXPECT_EQ(state().now.currentUrl, "http://audio/B");
  EXPECT_EQ(view.songName, "nameB - artistB");
  EXPECT_EQ(view.title, "nameB - artistB");
  EXPECT_EQ(state().now.currentTitle, "nameB - artistB");
  EXPECT_FALSE(view.playVisible);
  EXPECT_TRUE(view.pauseVisible);
  EXPECT_THAT(state().history.ids, ElementsAre("A", "C"));

  controller.playPrevious();
  EXPECT_EQ(state().now.currentUrl, "http://audio/A");
  EXPECT_THAT(state().history.names, ElementsAre("nameC"));

  const std::size_t before = log.size();
  controller.playPrevious();
  EXPECT_EQ(log.size(), before);
  // Stepping back leaves the fields of the song last started by next.
  EXPECT_EQ(state().now.currentSongId, "C");
  EXPECT_EQ(state().now.likeSongId, "C");
  EXPECT_EQ(view.artist, "artistC");
}

TEST_F(PlaybackControllerTest, EleventhStartEmptiesTheHistory) {
  std::vector<Song> batch;
  for (int i = 0; i < 11; ++i) batch.push_back(MakeSong(std::to_string(i)));
  StartFmSongs(batch);
  EXPECT_EQ(state().history.size(), 0u);

  controller.playPrevious();
  EXPECT_EQ(Count("url"), 11u);
  StartFmSongs({MakeSong("x")});
  controller.playPrevious();
  EXPECT_EQ(Count("url"), 12u);
  StartFmSongs({MakeSong("y")});
  controller.playPrevious();
  EXPECT_EQ(Count("url"), 14u);
  EXPECT_EQ(state().now.currentUrl, "http://audio/x");
}

TEST_F(PlaybackControllerTest, OneTrackPlaylistPlaysThenTheNextLoadsAnother) {
  view.rows = {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7"};
  service.playlists["p1"] = {"200", {MakeSong("solo")}};
  service.playlists["p5"] = {"200", {MakeSong("n1"), MakeSong("n2")}};
  random->values = {0, 0, 4, 0};

  controller.playNext();
  EXPECT_EQ(state().now.currentSongId, "solo");
  EXPECT_TRUE(state().playlistQueue.empty());

  controller.playNext();
  EXPECT_EQ(Count("load"), 2u);
  EXPECT_EQ(Count("load p5"), 1u);
  EXPECT_EQ(state().now.currentSongId, "n1");
  EXPECT_THAT(state().playlistQueue.ids, ElementsAre("n2"));
}

TEST_F(PlaybackControllerTest, ModeSwitchKeepsTheSongAndDrawsFromTheOtherQueue) {
  view.rows = {"p0", "p1"};
  service.playlists["p1"] = {"200", {MakeSong("L1"), MakeSong("L2"), MakeSong("L3")}};
  service.fmBatches.push_back({MakeSong("F1"), MakeSong("F2")});
  controller.onFmButtonClicked(true);
  controller.playNext();  // F1 from the FM batch, F2 stays
  controller.onFmButtonClicked(false);
  controller.playNext();  // loads p1, L1 starts

  const std::size_t stopsBefore = Count("stop");
  controller.onFmButtonClicked(true);
  EXPECT_EQ(state().playMode, "私人FM模式");
  EXPECT_EQ(Count("stop"), stopsBefore);
  EXPECT_EQ(state().now.currentSongId, "L1");

  controller.playNext();
  EXPECT_EQ(state().now.currentSongId, "F2");
  EXPECT_EQ(Count("fm"), 1u);
  controller.onFmButtonClicked(false);
  EXPECT_EQ(state().playMode, "歌单模式");
  controller.playNext();
  EXPECT_EQ(state().now.currentSongId, "L2");
  EXPECT_EQ(Count("load"), 1u);
}

TEST_F(PlaybackControllerTest, EmptyFmBatchStartsNothingAndKeepsTheOldStream) {
  StartFmSongs({MakeSong("a")});
  audio.streams[1].active = 1;
  log.clear();

  controller.playNext();
  EXPECT_THAT(log, ElementsAre("fm"));
  EXPECT_EQ(view.songName, "私人FM模式");
  EXPECT_EQ(state().queueCount, 0);
  EXPECT_EQ(audio.isActive(state().now.currentStream), 1);
}

TEST_F(PlaybackControllerTest, SquareSmallerThanEightRowsOnlyDrawsRowsThatExist) {
  struct Case {
    std::vector<std::string> rows;
    std::int32_t draw;
    std::string loaded;
  } cases[] = {
      {{"p0", "p1", "p2"}, 5, "load p2"},  // 1 + 5 % 2
      {{"p0", "p1", "p2"}, 6, "load p1"},
      {{"only"}, 6, "load only"},
      {{}, 6, ""},
  };
  for (const Case& c : cases) {
    log.clear();
    view.rows = c.rows;
    random->values = {c.draw};
    controller.playNext();
    if (c.loaded.empty()) {
      EXPECT_THAT(log, IsEmpty());
    } else {
      EXPECT_THAT(log, ElementsAre(c.loaded)) << c.loaded;
    }
  }
}

TEST_F(PlaybackControllerTest, PlaylistNotFoundRestoresTheSongCaption) {
  view.rows = {"p0", "bad"};
  service.playlists["bad"] = {"404", {}};
  controller.playNext();
  EXPECT_EQ(view.songName, "Lumora");
  EXPECT_EQ(Count("url"), 0u);
}

// A download or a like after a double-click describes the song that plays, not the one before.
TEST_F(PlaybackControllerTest, SelectedPlaylistSongIsWhatADownloadDescribes) {
  StartFmSongs({MakeSong("f")});
  view.fmSelected = true;
  view.rows = {"p0", "p1", "chosen"};
  service.playlists["chosen"] = {"200", {MakeSong("c1")}};

  controller.playSelectedPlaylist(2);
  EXPECT_TRUE(view.squareHidden);
  EXPECT_FALSE(view.fmSelected);
  EXPECT_EQ(state().playMode, "歌单模式");
  EXPECT_EQ(state().now.currentSongId, "c1");
  EXPECT_EQ(state().now.currentTitle, "namec1-artistc1");
  EXPECT_EQ(state().now.likeSongId, "c1");
  EXPECT_EQ(state().now.currentName, "namec1");
  EXPECT_EQ(state().now.currentArtists, "artistc1");
  EXPECT_EQ(state().now.currentAlbum, "albumc1");
  EXPECT_THAT(state().history.ids, ElementsAre("f", "c1"));
  EXPECT_EQ(view.artistCaptions[view.artistCaptions.size() - 3], "歌单加载中...");
  EXPECT_EQ(view.artistCaptions[view.artistCaptions.size() - 2], "1首歌曲加载完毕");
}

TEST_F(PlaybackControllerTest, TimerTickDuringALoadDoesNotStartASecondLoad) {
  view.rows = {"p0", "p1"};
  service.playlists["p1"] = {"200", {MakeSong("1"), MakeSong("2")}};
  service.duringLoad = [this] { controller.autoPlayTick(); };
  controller.playNext();
  EXPECT_EQ(Count("load"), 1u);
  EXPECT_EQ(Count("url"), 1u);
  EXPECT_EQ(state().playlistQueue.size(), 1u);
}

TEST_F(PlaybackControllerTest, UnavailableSongIsPassedOverWithinOneTick) {
  service.noUrl = {"gone"};
  StartFmSongs({MakeSong("gone")});
  EXPECT_EQ(state().now.currentStream, 0u);
  EXPECT_EQ(view.songName, "namegone");  // still shown, and gone from the queue
  EXPECT_TRUE(state().fmQueue.empty());

  service.fmBatches.push_back({MakeSong("ok")});
  controller.autoPlayTick();
  EXPECT_EQ(state().now.currentSongId, "ok");
  EXPECT_EQ(audio.isActive(state().now.currentStream), 1);
  controller.autoPlayTick();
  EXPECT_EQ(Count("fm"), 2u);  // a playing stream is left alone
}

TEST_F(PlaybackControllerTest, PlayPauseFollowTheStreamState) {
  struct Case {
    int active;
    bool startsNext, toggleChanges, resumeChanges;
    bool playVisibleAfterToggle;
  } cases[] = {
      {1, false, true, false, true},
      {3, false, true, true, false},
      {2, false, false, false, true},
  };
  StartFmSongs({MakeSong("s")});
  for (const Case& c : cases) {
    for (int routine = 0; routine < 2; ++routine) {
      audio.streams[1].active = c.active;
      view.playVisible = true;
      view.pauseVisible = false;
      const std::size_t before = log.size();
      routine == 0 ? controller.togglePlayPause() : controller.resumeOrStart();
      const bool changes = routine == 0 ? c.toggleChanges : c.resumeChanges;
      EXPECT_EQ(log.size() != before, changes) << c.active << " " << routine;
      if (changes && routine == 0) {
        EXPECT_EQ(view.playVisible, c.playVisibleAfterToggle);
      }
      if (changes) {
        EXPECT_NE(view.playVisible, view.pauseVisible);
      }
    }
  }
  audio.streams[1].active = 0;
  service.fmBatches.push_back({MakeSong("t")});
  controller.togglePlayPause();
  EXPECT_EQ(state().now.currentSongId, "t");
}

TEST_F(PlaybackControllerTest, PauseButtonTitleStaysUntilTheNextSong) {
  StartFmSongs({MakeSong("s")});
  controller.pausePlayback();
  EXPECT_EQ(view.title, "暂停播放");
  EXPECT_TRUE(view.playVisible);
  EXPECT_FALSE(view.pauseVisible);
  controller.pausePlayback();  // already paused: nothing
  EXPECT_EQ(Count("pause"), 1u);
  controller.resumeOrStart();
  EXPECT_EQ(view.title, "暂停播放");
  StartFmSongs({MakeSong("t")});
  EXPECT_EQ(view.title, "namet");
}

// Nothing ticks while nothing can change: paused (but for one tick after a seek), or stopped
// waiting for a login. The tickers come back with the stream, and the end of a song still starts
// the next one.
TEST_F(PlaybackControllerTest, TickersRunOnlyWhileTheStreamCanMove) {
  auto endSong = [this] { audio.streams[state().now.currentStream].active = 0; };
  struct Step {
    const char* what;
    std::function<void()> act;
    int progress, autoPlay;
    const char* playing;
  } steps[] = {
      {"first song", [this] { StartFmSongs({MakeSong("a"), MakeSong("b")}); }, 100, 1000, "b"},
      {"pause button", [this] { controller.pausePlayback(); }, 0, 0, "b"},
      {"play button", [this] { controller.resumeOrStart(); }, 100, 1000, "b"},
      {"menu pause", [this] { controller.togglePlayPause(); }, 0, 0, "b"},
      {"seek while paused", [this] { controller.positionMoved(); }, 100, 0, "b"},
      {"its one tick shows it",
       [this] {
         audio.streams[state().now.currentStream].position = 50000;
         controller.progressTick();
         EXPECT_EQ(view.elapsed, "00:50");
       },
       0, 0, "b"},
      {"menu resume", [this] { controller.togglePlayPause(); }, 100, 1000, "b"},
      {"last second",
       [this] {
         audio.streams[state().now.currentStream].position = 200000;
         controller.progressTick();
       },
       0, 1000, "b"},
      {"song ends",
       [&, this] {
         endSong();
         service.fmBatches.push_back({MakeSong("c")});
         controller.autoPlayTick();
       },
       100, 1000, "c"},
      {"ends, no login",
       [&, this] {
         endSong();
         service.reply = ServiceReply::NeedsLogin;
         controller.autoPlayTick();
         controller.autoPlayTick();
       },
       0, 0, "c"},
      {"logged in, play",
       [this] {
         service.reply = ServiceReply::Answered;
         service.fmBatches.push_back({MakeSong("d")});
         controller.resumeOrStart();
       },
       100, 1000, "d"},
      {"paused, then next", [this] {
         controller.pausePlayback();
         service.fmBatches.push_back({MakeSong("e")});
         controller.playNext();
       },
       100, 1000, "e"},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(progress->interval, step.progress) << step.what;
    EXPECT_EQ(autoPlay->interval, step.autoPlay) << step.what;
    EXPECT_EQ(state().now.currentSongId, step.playing) << step.what;
  }
}

TEST_F(PlaybackControllerTest, LikeShowsTheBoxAroundTheRequestAndWait) {
  StartFmSongs({MakeSong("liked")});
  log.clear();
  controller.likeCurrentSong();
  EXPECT_THAT(log, ElementsAre("info shown", "like liked", "wait 2000", "info hidden"));
}

TEST_F(PlaybackControllerTest, SongPageNeedsASong) {
  controller.openSongPage();
  EXPECT_THAT(view.openedUrls, IsEmpty());
  StartFmSongs({MakeSong("77")});
  controller.openSongPage();
  EXPECT_THAT(view.openedUrls, ElementsAre("http://127.0.0.1:3000/#/song?id=77"));
}

TEST_F(PlaybackControllerTest, ProgressBarAndTimes) {
  StartFmSongs({MakeSong("s")});
  struct Case {
    std::int64_t position, length;
    int width;
    std::string elapsed, total;
    int interval;  // of `time` after the tick
  } cases[] = {
      {0, 200000, 0, "00:00", "03:20", 100},
      {100000, 200000, 77, "01:40", "03:20", 100},
      {199500, 200000, 153, "03:19", "03:20", 100},
      {200000, 200000, 154, "03:20", "03:20", 0},
      {6000000, 6000500, 153, "100:00", "100:00", 0},
      {100, 153, 0, "00:00", "00:00", 0},    // too short to scale
      {5000, -1, 0, "00:05", "00:00", 100},  // length unknown: no end yet
      {-1, -1, 0, "00:00", "00:00", 100},
  };
  for (const Case& c : cases) {
    audio.streams[1].position = c.position;
    audio.streams[1].length = c.length;
    progress->interval = 100;
    controller.progressTick();
    EXPECT_EQ(view.progressWidth, c.width) << c.position << "/" << c.length;
    EXPECT_EQ(view.elapsed, c.elapsed) << c.position;
    EXPECT_EQ(view.total, c.total) << c.length;
    EXPECT_EQ(progress->interval, c.interval) << c.position << "/" << c.length;
  }
}

TEST_F(PlaybackControllerTest, LyricKeyTruncatesToTheWholeSecond) {
  service.lyrics["s"] = "[00:59.95]last of the minute\\n[01:00.00]new minute\\n";
  StartFmSongs({MakeSong("s")});
  audio.streams[1].position = 59900;
  controller.progressTick();
  EXPECT_EQ(view.artist, "last of the minute");
  audio.streams[1].position = 60000;
  controller.progressTick();
  EXPECT_EQ(view.artist, "new minute");
  EXPECT_THAT(keys, ElementsAre("00:59", "01:00"));
  EXPECT_THAT(view.desktop, ElementsAre(std::pair<std::string, int>("last of the minute", 0),
                                        std::pair<std::string, int>("new minute", 0)));
}

TEST_F(PlaybackControllerTest, LyricLineStaysUntilTheNextTaggedSecond) {
  service.lyrics["q"] = "[00:15.00]first\\n[00:17.50]second\\n";
  StartFmSongs({MakeSong("q")});
  const std::pair<std::int64_t, std::string> ticks[] = {{0, "artistq"},   {14900, "artistq"},
                                                        {15000, "first"}, {15500, "first"},
                                                        {16000, "first"}, {17200, "second"}};
  for (const auto& [position, shown] : ticks) {
    audio.streams[1].position = position;
    controller.progressTick();
    EXPECT_EQ(view.artist, shown) << position;
  }
  EXPECT_THAT(view.desktop, ElementsAre(std::pair<std::string, int>("first", 0),
                                        std::pair<std::string, int>("first", 0),
                                        std::pair<std::string, int>("second", 0)));
}

TEST_F(PlaybackControllerTest, LyricWithoutTagsOrWithoutTextShowsItsMessage) {
  struct Case {
    std::string lyric, shown;
  } cases[] = {
      {"plain words only", "当前歌词不支持滚动."},
      {"", "当前暂无歌词"},
      {"没有匹配到歌词.", "当前暂无歌词"},
  };
  for (const Case& c : cases) {
    service.lyrics["s"] = c.lyric;
    StartFmSongs({MakeSong("s")});
    view.desktop.clear();
    view.artist = "previous";
    controller.progressTick();
    EXPECT_EQ(view.artist, c.shown) << c.lyric;
    EXPECT_THAT(view.desktop, ElementsAre(std::pair<std::string, int>(c.shown, 0))) << c.lyric;
  }
}

// Any number of observers hear the same events in the same order; the face is one of them.
TEST_F(PlaybackControllerTest, EveryObserverSeesWhatTheFaceSees) {
  RecordingObserver beforeFace, afterFace;
  controller.removeObserver(presenter);
  controller.addObserver(beforeFace);
  controller.addObserver(presenter);
  controller.addObserver(afterFace);
  view.rows = {"p0", "p1", "gone"};
  service.playlists["p1"] = {"200", {MakeSong("1"), MakeSong("2"), MakeSong("3")}};
  service.playlists["gone"] = {"404", {}};
  service.noUrl = {"3"};
  service.reportLoad = true;
  random->values = {0, 0, 0, 0, 0};

  controller.resumeOrStart();  // play: loads row 1, starts song 1
  controller.pausePlayback();
  controller.resumeOrStart();  // resume
  controller.playNext();       // song 2
  controller.playPrevious();   // back to song 1
  audio.streams[state().now.currentStream].active = 0;
  controller.autoPlayTick();           // the end of a song: song 3, which has no address
  controller.autoPlayTick();           // passed over: the queue is empty, so a new load
  controller.playSelectedPlaylist(2);  // a playlist that is not there

  EXPECT_THAT(beforeFace.events,
              ElementsAre(
                  // play
                  "loading", "found list p1", "loaded 1 of 3", "loaded 2 of 3", "loaded 3 of 3",
                  "queued 3", "cover cover-1", "start 1", "title name1", "playing",
                  // pause, resume, next, previous
                  "title 暂停播放", "paused", "playing", "cover cover-2", "start 2", "title name2",
                  "playing", "cover cover-1", "back to 1", "title name1 - artist1", "playing",
                  // the end of the song, and an unavailable one passed over
                  "stopped", "cover cover-3", "start 3", "title name3", "playing", "unavailable 3",
                  "stopped", "loading", "found list p1", "loaded 1 of 3", "loaded 2 of 3",
                  "loaded 3 of 3", "queued 3", "cover cover-1", "start 1", "title name1", "playing",
                  // a failed playlist load
                  "playlist chosen", "loading", "not found", "load failed 404 name1-artist1"));
  EXPECT_EQ(afterFace.events, beforeFace.events);
  // And the face showed it: the play button back after the pause, the caption after the 404.
  EXPECT_EQ(view.songName, "name1-artist1");
  EXPECT_THAT(log, ::testing::Contains("message 找不到歌单，ID是否错误！"));
  EXPECT_EQ(controller.playState(), PlayState::Playing);

  controller.removeObserver(afterFace);
  controller.pausePlayback();
  EXPECT_EQ(afterFace.events.size(), beforeFace.events.size() - 2);
}

// The playlist's name and cover stay on the face for a second before its songs are asked for,
// and every song read lets the window run.
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
    EXPECT_EQ(audio.isActive(stream), 1) << c.notice;
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
    EXPECT_EQ(audio.isActive(stream), 1);
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

// Clicks during a playlist load are not lost: the latest runs once the start is over, and no
// load ever runs inside another.
TEST_F(PlaybackControllerTest, WishesDuringAStartRunWhenItEnds) {
  struct Case {
    const char* name;
    std::function<void(PlaybackController&)> wish;
    std::vector<std::string> urls;
  } cases[] = {
      {"next", [](PlaybackController& c) { c.playNext(); }, {"url 1a 320000", "url 1b 320000"}},
      {"double-click",
       [](PlaybackController& c) { c.playSelectedPlaylist(2); },
       {"url 1a 320000", "url 2a 320000"}},
      {"next, then double-click",
       [](PlaybackController& c) {
         c.playNext();
         c.playSelectedPlaylist(2);
       },
       {"url 1a 320000", "url 2a 320000"}},
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
    // The second load, if any, only after the first start asked for its song.
    const auto secondLoad = std::find(log.begin(), log.end(), "load p2");
    if (secondLoad != log.end()) {
      EXPECT_GT(secondLoad - log.begin(),
                std::find(log.begin(), log.end(), "url 1a 320000") - log.begin());
    }
    service.duringLoad = nullptr;
  }
}

}  // namespace
}  // namespace lumora::test
