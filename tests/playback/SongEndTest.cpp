// The end of a song. Five seconds before song "a" ends the auto-play tick opens the next song
// aside; something may happen meanwhile; then the end comes, by the player's word or only by
// the tick. Whatever happened, one whole song plays afterwards, nothing opened is left behind,
// and the face never showed the next song while "a" was still heard.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>

#include "playback/PlaybackControllerFixture.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAreArray;

struct Row {
  const char* name;
  const char* during;  // what happens while the next song waits aside
  const char* endBy;   // "word", "tick" or "" (nothing ends)
  const char* song;    // what plays at the end
  int urlAsks;         // how often that song's address was asked for
  std::vector<std::string> history;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class SongEndTest : public PlaybackControllerTest, public ::testing::WithParamInterface<Row> {
 protected:
  void EndOfA() {
    if (*GetParam().endBy == '\0') return;
    audio.streams[aStream].active = 0;
    if (std::string(GetParam().endBy) == "word") controller.streamEnded();
    if (std::string(GetParam().endBy) == "tick") controller.autoPlayTick();
  }
  std::uint32_t aStream = 0;
};

TEST_P(SongEndTest, OneWholeSongFollows) {
  const Row& row = GetParam();
  const std::string during = row.during;
  controller.onFmButtonClicked(true);
  std::vector<Song> batch{MakeSong("z"), MakeSong("a")};
  if (during != "queue empty") batch.insert(batch.end(), {MakeSong("b"), MakeSong("c")});
  service.fmBatches.push_back(batch);
  service.fmBatches.push_back({MakeSong("f")});
  if (during == "address fails") service.noUrl.insert("b");
  view.rows = {"p0"};
  service.playlists["p0"] = {"200", {MakeSong("x")}};
  controller.playNext();
  controller.playNext();
  ASSERT_EQ(state().now.currentSongId, "a");
  aStream = state().now.currentStream;
  if (during == "end while preparing")
    service.held = [&](const std::string& answer, const std::string&) {
      if (answer == "lyric" && audio.isActive(aStream) == 1) EndOfA();
    };

  audio.streams[aStream].position = 195000;  // five seconds left
  controller.autoPlayTick();
  EXPECT_EQ(view.songName,
            during == "end while preparing" ? "name" + std::string(row.song) : "namea");
  if (during == "next") controller.playNext();
  if (during == "previous") controller.playPrevious();
  if (during == "pause") controller.pausePlayback();
  if (during == "mode change") controller.onFmButtonClicked(false);
  if (during != "end while preparing") EndOfA();
  if (during == "address fails") {
    EXPECT_EQ(state().now.currentSongId, "b");
    EXPECT_EQ(view.songName, "nameb");
    controller.autoPlayTick();  // unplayable: passed over on the next tick, as ever
  }

  const NowPlaying& now = state().now;
  const std::string song = row.song;
  EXPECT_EQ(now.currentSongId, song);
  EXPECT_EQ(now.lyricText, "[00:01.00]line of " + song + "\\n");
  EXPECT_EQ(view.songName, song == "z" ? "namez - artistz" : "name" + song);
  EXPECT_EQ(view.cover, "cover-" + song);
  EXPECT_EQ(Count("url " + song + " "), static_cast<std::size_t>(row.urlAsks));
  EXPECT_THAT(state().history.ids, ElementsAreArray(row.history));
  EXPECT_EQ(controller.playState(), during == "pause" ? PlayState::Paused : PlayState::Playing);
  // A tick later only the stream that plays is held.
  controller.autoPlayTick();
  EXPECT_EQ(audio.streams.size(), 1u);
  EXPECT_EQ(audio.isActive(now.currentStream), during == "pause" ? 3 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, SongEndTest,
    ::testing::Values(
        Row{"next known, word", "nothing", "word", "b", 1, {"z", "a", "b"}},
        Row{"next known, no word, the tick", "nothing", "tick", "b", 1, {"z", "a", "b"}},
        Row{"next unknown", "queue empty", "word", "f", 1, {"z", "a", "f"}},
        Row{"next fails to open", "address fails", "word", "c", 1, {"z", "a", "b", "c"}},
        Row{"end while preparing", "end while preparing", "word", "b", 1, {"z", "a", "b"}},
        Row{"next pressed", "next", "", "b", 2, {"z", "a", "b"}},
        Row{"previous pressed", "previous", "", "z", 2, {"a"}},
        Row{"paused", "pause", "", "a", 1, {"z", "a"}},
        Row{"mode changed", "mode change", "word", "x", 1, {"z", "a", "x"}}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
}  // namespace lumora::test
