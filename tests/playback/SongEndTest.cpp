// The end of a song. Five seconds before song "a" ends the auto-play tick opens the next song
// ahead and offers its address to a's stream; then the stream takes it and it is heard, or the
// stream runs out, or fails, told by the player or found by the tick. Whatever happened, one
// whole song plays afterwards, a song that followed in the same stream opened no stream of its
// own, and nothing opened is left behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>

#include "playback/PlaybackControllerFixture.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAreArray;

struct Row {
  const char* name;
  const char* scene;                // "" or what differs before the end
  std::vector<const char*> events;  // in order, after b was offered
  const char* song;                 // what plays at the end
  int urlAsks;                      // how often its address was asked for
  bool ownStream;                   // it opened a stream of its own
  std::vector<std::string> history;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class SongEndTest : public PlaybackControllerTest, public ::testing::WithParamInterface<Row> {
 protected:
  void Event(const std::string& event) {
    if (event == "runs out") audio.runOut(aStream);
    if (event == "heard") audio.nextHeard(aStream);
    if (event == "fails") audio.streams[aStream].active = 0;
    if (event == "told") controller.streamPosted();
    if (event == "tick") controller.autoPlayTick();
    if (event == "next") controller.playNext();
    if (event == "pause") controller.pausePlayback();
    if (event == "play") controller.resumeOrStart();
  }
  std::uint32_t aStream = 0;
};

TEST_P(SongEndTest, OneWholeSongFollows) {
  const Row& row = GetParam();
  const std::string scene = row.scene;
  controller.onFmButtonClicked(true);
  std::vector<Song> batch{MakeSong("z"), MakeSong("a")};
  if (scene != "next unknown") batch.insert(batch.end(), {MakeSong("b"), MakeSong("c")});
  service.fmBatches.push_back(batch);
  service.fmBatches.push_back({MakeSong("f")});
  if (scene == "no address") service.noUrl.insert("b");
  controller.playNext();
  controller.playNext();
  ASSERT_EQ(state().now.currentSongId, "a");
  aStream = state().now.currentStream;
  // The end comes while b's answers are awaited: there is nothing to offer yet.
  if (scene == "late answers")
    service.held = [&](const std::string& answer, const std::string&) {
      if (answer != "lyric" || audio.streams[aStream].active == 0) return;
      audio.runOut(aStream);
      controller.streamPosted();
    };

  audio.streams[aStream].position = 195000;  // five seconds left
  controller.autoPlayTick();
  const bool offered = scene.empty() || scene == "pause";
  EXPECT_EQ(Count("offer " + std::to_string(aStream) + " http://audio/b"), offered ? 1u : 0u);
  EXPECT_EQ(view.songName, scene == "late answers" ? "nameb" : "namea");
  for (const char* event : row.events) Event(event);

  const NowPlaying& now = state().now;
  const std::string song = row.song;
  EXPECT_EQ(now.currentSongId, song);
  EXPECT_EQ(now.lyricText, "[00:01.00]line of " + song + "\\n");
  EXPECT_EQ(view.songName, "name" + song);
  EXPECT_EQ(view.cover, "cover-" + song);
  EXPECT_EQ(Count("url " + song + " "), static_cast<std::size_t>(row.urlAsks));
  EXPECT_EQ(Count("create http://audio/" + song), row.ownStream ? 1u : 0u);
  EXPECT_EQ(now.currentStream == aStream, !row.ownStream);
  EXPECT_THAT(state().history.ids, ElementsAreArray(row.history));
  EXPECT_EQ(controller.playState(), PlayState::Playing);
  // Only the stream that plays is held.
  EXPECT_EQ(audio.streams.size(), 1u);
  EXPECT_EQ(audio.isActive(now.currentStream), ChannelState::Playing);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, SongEndTest,
    ::testing::Values(Row{"next known, heard, told",
                          "",
                          {"runs out", "heard", "told"},
                          "b",
                          1,
                          false,
                          {"z", "a", "b"}},
                      Row{"next known, heard, found by the tick",
                          "",
                          {"runs out", "heard", "tick"},
                          "b",
                          1,
                          false,
                          {"z", "a", "b"}},
                      Row{"next known, told twice",
                          "",
                          {"runs out", "heard", "told", "told", "tick"},
                          "b",
                          1,
                          false,
                          {"z", "a", "b"}},
                      Row{"next known, answers too late for the stream",
                          "late answers",
                          {},
                          "b",
                          1,
                          true,
                          {"z", "a", "b"}},
                      Row{"next unknown",
                          "next unknown",
                          {"runs out", "told", "tick"},
                          "f",
                          1,
                          true,
                          {"z", "a", "f"}},
                      Row{"next taken, then the stream fails on it: asked again",
                          "",
                          {"runs out", "fails", "told"},
                          "b",
                          2,
                          true,
                          {"z", "a", "b"}},
                      Row{"next without an address",
                          "no address",
                          {"runs out", "told", "tick"},
                          "c",
                          1,
                          true,
                          {"z", "a", "b", "c"}},
                      Row{"next pressed after the stream took b",
                          "",
                          {"runs out", "next", "heard", "told"},
                          "b",
                          2,
                          true,
                          {"z", "a", "b"}},
                      Row{"paused and resumed: offered again",
                          "pause",
                          {"pause", "play", "tick", "runs out", "heard", "told"},
                          "b",
                          2,
                          false,
                          {"z", "a", "b"}}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
}  // namespace lumora::test
