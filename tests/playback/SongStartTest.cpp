// A song's opening, cancelled at each of its steps. The service holds each answer of an opening
// in turn (the address, the stream, the lyric, the cover) while the user presses something: next
// or previous give the opening up at once and start what they ask for; a pause starts the song
// paused; a mode change leaves a start alone; the exit leaves nothing. A song opened ahead of the
// end is given up by all of them. Afterwards the face, what the media-player service hears and
// the player agree on one whole song, and a download or a like pressed meanwhile took the song
// the face showed then.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "playback/PlaybackControllerFixture.h"

namespace lumora::test {
namespace {

using ::testing::AnyOf;
using ::testing::Contains;

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
  bool ahead;          // the song opened ahead of the end, not started by a press
  const char* answer;  // held while the press comes
  const char* press;
  const char* song;  // what plays at the end
  bool paused;
  bool cancels;  // the held request is told to stop
};

void PrintTo(const Row& r, std::ostream* os) {
  *os << r.press << " while " << (r.ahead ? "opening ahead, " : "starting, ") << r.answer;
}

class SongStartTest : public PlaybackControllerTest, public ::testing::WithParamInterface<Row> {
 protected:
  SongStartTest() { controller.addObserver(heard); }

  void Press(const std::string& press) {
    const NowPlaying& now = state().now;
    shownAtPress = view.songName;
    if (press == "next") controller.playNext();
    if (press == "previous") controller.playPrevious();
    if (press == "pause") controller.pausePlayback();
    if (press == "mode") controller.onFmButtonClicked(false);
    if (press == "exit") controller.stopTickers();
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
  service.fmBatches.push_back(
      {MakeSong("a1"), MakeSong("a2"), MakeSong("B"), MakeSong("C"), MakeSong("D")});
  // Each draw takes the first song left: a1, then a2, which plays.
  controller.playNext();
  controller.playNext();
  ASSERT_EQ(state().now.currentSongId, "a2");
  const std::uint32_t a2 = state().now.currentStream;
  bool pressed = false;
  bool stopped = false;
  HeldAnswer hold = [&](const std::string& answer, const std::string& id) {
    if (pressed || answer != row.answer || id != "B") return;
    pressed = true;
    const StopFlag* held = answer == "open" ? audio.lastStop : service.lastStop;
    Press(row.press);
    stopped = *held;
  };
  service.held = hold;
  audio.held = hold;
  heard.starts = 0;

  if (row.ahead) {
    audio.streams[a2].position = 195000;  // five seconds left
    controller.autoPlayTick();
  } else {
    controller.playNext();
  }
  ASSERT_TRUE(pressed);
  EXPECT_EQ(stopped, row.cancels);

  const std::string id = row.song;
  const bool back = id == "a1";
  const NowPlaying& now = state().now;
  // One whole record.
  EXPECT_EQ(now.currentSongId, id);
  EXPECT_EQ(now.likeSongId, id);
  EXPECT_EQ(now.currentUrl, "http://audio/" + id);
  EXPECT_EQ(now.currentName, "name" + id);
  EXPECT_EQ(now.currentAlbum, "album" + id);
  EXPECT_EQ(now.currentTitle, back ? "namea1 - artista1" : "name" + id + "-artist" + id);
  EXPECT_EQ(now.lyricText, "[00:01.00]line of " + id + "\\n");
  // The face, the media player and the player agree, on one song started at most.
  EXPECT_EQ(view.songName, back ? "namea1 - artista1" : "name" + id);
  EXPECT_EQ(view.cover, "cover-" + id);
  EXPECT_THAT(view.artist, AnyOf("artist" + id, "line of " + id));
  // The new song sounds as soon as its stream is open: an exit after that leaves silence.
  const bool sounding = audio.isActive(now.currentStream) == ChannelState::Playing;
  const bool silenced = std::string(row.press) == "exit" && !row.ahead &&
                        (std::string(row.answer) == "lyric" || std::string(row.answer) == "cover");
  EXPECT_EQ(sounding, !row.paused && !silenced);
  if (!silenced) {
    EXPECT_EQ(view.pauseVisible, sounding);
  }
  EXPECT_EQ(heard.state, controller.playState());
  EXPECT_EQ(heard.songId, id);
  EXPECT_EQ(heard.starts, id == "a2" ? 0 : 1);
  EXPECT_EQ(audio.streams.size(), 1u);
  // Nothing opened ahead is left waiting for the end.
  EXPECT_TRUE(audio.streams[now.currentStream].next.empty());
  // A song given up by a press of next is passed over; one opened ahead stays queued.
  if (!row.ahead && std::string(row.press) == "next") {
    EXPECT_THAT(state().fmQueue.ids, ::testing::ElementsAre("D"));
  }

  // A download or a like during the start took the song the face showed then, whole.
  if (std::string(row.press) == "download") {
    EXPECT_EQ(shownAtPress, "namea2");
    EXPECT_EQ(saved, (std::vector<std::string>{"http://audio/a2", "namea2-artista2", "namea2",
                                               "artista2", "albuma2", "cover-a2"}));
  }
  // The like waits for nothing of the start, nor the start for the like: the song started
  // while the like's box is up.
  if (std::string(row.press) == "like") {
    EXPECT_EQ(shownAtPress, "namea2");
    EXPECT_THAT(log, Contains("like a2"));
    EXPECT_THAT(log, Contains("info shown"));
    EXPECT_THAT(log, ::testing::Not(Contains("info hidden")));
    EXPECT_EQ(likeBox->interval, 2000);
    controller.likeBoxTick();
    EXPECT_EQ(log.back(), "info hidden");
  }
}

std::vector<Row> Rows() {
  std::vector<Row> rows;
  struct Press {
    const char* press;
    const char* song;
    bool paused;
    bool cancels;
  };
  // A next passes B over for C; a step back from a2 plays a1, with all of its record.
  const Press starting[] = {{"next", "C", false, true},  {"previous", "a1", false, true},
                            {"pause", "B", true, false}, {"mode", "B", false, false},
                            {"exit", "a2", false, true}, {"download", "B", false, false},
                            {"like", "B", false, false}};
  for (const char* answer : {"url", "open", "lyric", "cover"})
    for (const Press& p : starting)
      rows.push_back({false, answer, p.press, p.song, p.paused, p.cancels});
  // Opened ahead, B stays queued: a next draws it again.
  const Press ahead[] = {{"next", "B", false, true},
                         {"previous", "a1", false, true},
                         {"pause", "a2", true, true},
                         {"mode", "a2", false, true},
                         {"exit", "a2", false, true}};
  for (const char* answer : {"url", "lyric", "cover"})
    for (const Press& p : ahead)
      rows.push_back({true, answer, p.press, p.song, p.paused, p.cancels});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(HeldAnswers, SongStartTest, ::testing::ValuesIn(Rows()));

}  // namespace
}  // namespace lumora::test
