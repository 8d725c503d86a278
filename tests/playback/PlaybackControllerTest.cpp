#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/PlaybackControllerFixture.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(PlaybackControllerTest, FirstPlayLoadsASquarePlaylistAndStartsADrawnTrack) {
  view.rows = {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8"};
  service.playlists["p3"] = {"200", {MakeSong("1"), MakeSong("2"), MakeSong("3")}};
  random->values = {2, -1};  // row 1 + 2 = 3, then track 1 + 1 = 2

  controller.resumeOrStart();

  EXPECT_THAT(random->seeds, ElementsAre(4242u));
  // The song sounds once its stream is open, while its lyric and cover are asked for.
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

// The old song plays on while the next one opens; it is stopped as the next one sounds, and
// freed once the next one's record is in.
TEST_F(PlaybackControllerTest, ReplacedStreamIsStoppedAndFreedBeforeTheNextOpens) {
  StartFmSongs({MakeSong("a"), MakeSong("b")});
  ASSERT_EQ(audio.streams.size(), 1u);
  auto stop = std::find(log.begin(), log.end(), "stop 1");
  ASSERT_NE(stop, log.end());
  EXPECT_THAT(std::vector<std::string>(stop - 2, stop + 5),
              ElementsAre("url b 320000", "create http://audio/b", "stop 1", "play 2", "lyric b",
                          "cover b", "free 1"));
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
  // A step back restores the whole record of the song stepped to, its album too.
  EXPECT_EQ(state().now.currentSongId, "A");
  EXPECT_EQ(state().now.likeSongId, "A");
  EXPECT_EQ(state().now.currentAlbum, "albumA");
  EXPECT_EQ(view.artist, "artistA");
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
  EXPECT_EQ(audio.isActive(state().now.currentStream), ChannelState::Playing);
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
  EXPECT_EQ(audio.isActive(state().now.currentStream), ChannelState::Playing);
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
      {"first song",
       [this] {
         StartFmSongs({MakeSong("a"), MakeSong("b")});
       },
       100, 1000, "b"},
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
      {"paused, then next",
       [this] {
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

// The box stays two seconds after the answer, on a ticker of its own: nothing waits for it.
TEST_F(PlaybackControllerTest, LikeShowsTheBoxAroundTheRequestAndTwoSecondsAfter) {
  StartFmSongs({MakeSong("liked")});
  log.clear();
  controller.likeCurrentSong();
  EXPECT_THAT(log, ElementsAre("info shown", "like liked"));
  EXPECT_EQ(likeBox->interval, 2000);
  controller.likeBoxTick();
  EXPECT_THAT(log, ElementsAre("info shown", "like liked", "info hidden"));
  EXPECT_EQ(likeBox->interval, 0);
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
  // The first key is the start's own, at the song's first moment.
  EXPECT_THAT(keys, ElementsAre("00:00", "00:59", "01:00"));
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

// The face shown again, or a seek, shows the line in effect at once, in both places; a tick of
// its own shows only a line tagged that second.
TEST_F(PlaybackControllerTest, ShownAgainOrSoughtTheLineIsTheOneOfThatMoment) {
  service.lyrics["s"] = "[00:02.00]one\\n[00:05.00]two\\n";
  StartFmSongs({MakeSong("s")});
  const std::pair<std::int64_t, std::function<void()>> steps[] = {
      {2500, [this] { controller.progressTick(); }},
      {6400, [this] { controller.setWatched(false); }},
      {6400, [this] { controller.setWatched(true); }},
      {3000, [this] { controller.progressTick(); }},
      {3000,
       [this] {
         controller.positionMoved();
         controller.progressTick();
       }},
  };
  const char* shown[] = {"one", "one", "two", "two", "one"};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    audio.streams[1].position = steps[i].first;
    steps[i].second();
    EXPECT_EQ(view.artist, shown[i]) << i;
    EXPECT_EQ(view.desktop.back().first, shown[i]) << i;
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

  EXPECT_THAT(
      beforeFace.events,
      ElementsAre(
          // play
          "loading", "found list p1", "loaded 1 of 3", "loaded 2 of 3", "loaded 3 of 3", "queued 3",
          "cover cover-1", "start 1", "title name1", "playing", "at 00:00/03:20",
          // pause, resume, next, previous
          "title 暂停播放", "paused", "playing", "cover cover-2", "start 2", "title name2",
          "playing", "at 00:00/03:20", "cover cover-1", "back to 1", "title name1 - artist1",
          "playing", "at 00:00/03:20",
          // the end of the song, and an unavailable one passed over
          "stopped", "cover cover-3", "start 3", "title name3", "playing", "unavailable 3",
          "at 00:00/00:00", "stopped", "loading", "found list p1", "loaded 1 of 3", "loaded 2 of 3",
          "loaded 3 of 3", "queued 3", "cover cover-1", "start 1", "title name1", "playing",
          "at 00:00/03:20",
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

}  // namespace
}  // namespace lumora::test
