// A song start is one step. The service holds each answer of a start in turn; while it is held
// the user presses something, then the answer comes. Whatever was pressed, afterwards the face,
// what the media-player service hears and the player agree on one whole song, and a download
// or a like pressed meanwhile took the song the face showed at that moment, whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/PlaybackControllerFixture.h"

namespace lumora::test {
namespace {

using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::Not;

// What a media-player service or the tray keeps of the events: the state and the song.
class HeardSong : public PlaybackObserver {
 public:
  void stateChanged(PlayState s) override { state = s; }
  void songStarted(const SongStart& s) override {
    songId = s.song.id;
    ++starts;
  }
  PlayState state = PlayState::Stopped;
  std::string songId;
  int starts = 0;
};

struct Row {
  const char* answer;  // held while the press comes
  const char* press;
  const char* song;  // the song that plays at the end
  bool paused;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.press << " while " << r.answer; }

class SongStartTest : public PlaybackControllerTest, public ::testing::WithParamInterface<Row> {
 protected:
  SongStartTest() { controller.addObserver(heard); }

  void Press(const std::string& press) {
    const NowPlaying& now = state().now;
    shownAtPress = view.songName;
    if (press.starts_with("pause")) controller.pausePlayback();
    if (press == "toggle") controller.togglePlayPause();
    if (press == "next" || press == "pause, next") controller.playNext();
    if (press == "next x3")
      for (int i = 0; i < 3; ++i) controller.playNext();
    if (press == "previous") controller.playPrevious();
    // What the download button reads: the record, and the cover the face shows.
    if (press == "download")
      saved = {now.currentUrl,     now.currentTitle, now.currentName,
               now.currentArtists, now.currentAlbum, view.cover};
    if (press == "like") controller.likeCurrentSong();
  }

  HeardSong heard;
  std::string shownAtPress;
  std::vector<std::string> saved;
};

TEST_P(SongStartTest, EndsWithOneWholeSongThatEveryoneDescribes) {
  const Row& row = GetParam();
  controller.onFmButtonClicked(true);
  service.fmBatches.push_back({MakeSong("a1"), MakeSong("a2"), MakeSong("B"), MakeSong("C"),
                               MakeSong("D"), MakeSong("E"), MakeSong("F")});
  // Each draw takes the first song left: a1, then a2, which plays.
  controller.playNext();
  controller.playNext();
  ASSERT_EQ(state().now.currentSongId, "a2");
  bool pressed = false;
  HeldAnswer hold = [&](const std::string& answer, const std::string& id) {
    if (pressed || answer != row.answer || id != "B") return;
    pressed = true;
    Press(row.press);
  };
  service.held = hold;
  audio.held = hold;
  heard.starts = 0;

  controller.playNext();
  ASSERT_TRUE(pressed);

  const std::string id = row.song;
  const bool back = id == "a1";
  const NowPlaying& now = state().now;
  // One whole record.
  EXPECT_EQ(now.currentSongId, id);
  EXPECT_EQ(now.likeSongId, id);
  EXPECT_EQ(now.currentUrl, "http://audio/" + id);
  EXPECT_EQ(now.currentName, "name" + id);
  EXPECT_EQ(now.currentArtists, "artist" + id);
  EXPECT_EQ(now.currentAlbum, "album" + id);
  EXPECT_EQ(now.currentTitle, back ? "namea1 - artista1" : "name" + id + "-artist" + id);
  EXPECT_EQ(now.lyricText, "[00:01.00]line of " + id + "\\n");
  // The face, the media player and the player agree; the skipped songs were never asked for.
  EXPECT_EQ(view.songName, back ? "namea1 - artista1" : "name" + id);
  EXPECT_EQ(view.cover, "cover-" + id);
  EXPECT_THAT(view.artist, AnyOf("artist" + id, "line of " + id));
  if (!view.desktop.empty()) {
    EXPECT_THAT(view.desktop.back().first, AnyOf("artist" + id, "line of " + id));
  }
  const bool sounding = audio.isActive(now.currentStream) == 1;
  EXPECT_EQ(sounding, !row.paused);
  EXPECT_EQ(view.pauseVisible, sounding);
  EXPECT_EQ(view.playVisible, !sounding);
  EXPECT_EQ(controller.playState(), row.paused ? PlayState::Paused : PlayState::Playing);
  EXPECT_EQ(heard.state, controller.playState());
  EXPECT_EQ(heard.songId, id);
  EXPECT_EQ(heard.starts, 1);
  EXPECT_EQ(audio.streams.size(), 1u);
  for (const std::string passed : {"C", "D"}) {
    if (passed != id) {
      EXPECT_THAT(log, Not(Contains("url " + passed + " 320000")));
    }
  }

  // A download or a like during the start took the song the face showed then, whole.
  if (std::string(row.press) == "download") {
    EXPECT_EQ(shownAtPress, "namea2");
    EXPECT_EQ(saved, (std::vector<std::string>{"http://audio/a2", "namea2-artista2", "namea2",
                                               "artista2", "albuma2", "cover-a2"}));
  }
  if (std::string(row.press) == "like") {
    EXPECT_EQ(shownAtPress, "namea2");
    EXPECT_THAT(log, Contains("like a2"));
  }
}

std::vector<Row> Rows() {
  struct Press {
    const char* press;
    const char* song;
    bool paused;
  };
  // Three presses of next after the one that started B pass B, C and D over; a step back from
  // a2 plays a1, with all of a1's record; a next after a pause plays, the latest wish counting.
  const Press presses[] = {{"pause", "B", true},      {"toggle", "B", true},
                           {"next", "C", false},      {"next x3", "E", false},
                           {"previous", "a1", false}, {"download", "B", false},
                           {"like", "B", false},      {"pause, next", "C", false}};
  std::vector<Row> rows;
  for (const char* answer : {"url", "open", "lyric", "detail", "cover"})
    for (const Press& p : presses) rows.push_back({answer, p.press, p.song, p.paused});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(HeldAnswers, SongStartTest, ::testing::ValuesIn(Rows()));

}  // namespace
}  // namespace lumora::test
