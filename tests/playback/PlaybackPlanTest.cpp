// The play modes' decisions, one table each.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lyrics/FindLyricLine.h"
#include "support/PlaybackFakes.h"
#include "playback/PlaybackPlan.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

PlayQueue Queue(std::initializer_list<const char*> ids) {
  PlayQueue queue;
  for (const char* id : ids) queue.append(MakeSong(id));
  return queue;
}

TEST(PlaybackPlan, WhereTheNextSongComesFrom) {
  struct Row {
    const char* mode;
    std::size_t fm, list;
    const char* code;
    bool filled;
    QueueStep step;
  } rows[] = {
      {kPersonalFmMode, 0, 3, "200", false, QueueStep::Fill},
      {kPersonalFmMode, 0, 3, "200", true, QueueStep::Nothing},  // an empty batch
      {kPersonalFmMode, 2, 0, "", false, QueueStep::Draw},
      {kPlaylistMode, 2, 0, "200", false, QueueStep::Fill},
      {kPlaylistMode, 0, 0, "200", true, QueueStep::Nothing},  // a playlist without tracks
      {kPlaylistMode, 0, 0, "404", true, QueueStep::PlaylistNotFound},
      {kPlaylistMode, 0, 0, "", true, QueueStep::Nothing},  // the load met no server
      {kPlaylistMode, 0, 4, "200", false, QueueStep::Draw},
      {"其他", 5, 5, "200", false, QueueStep::Nothing},
  };
  for (const Row& row : rows) {
    PlaybackState state;
    state.playMode = row.mode;
    for (std::size_t i = 0; i < row.fm; ++i) state.fmQueue.append(MakeSong("f"));
    for (std::size_t i = 0; i < row.list; ++i) state.playlistQueue.append(MakeSong("l"));
    state.playlist.playlistLoadCode = row.code;
    EXPECT_EQ(nextQueueStep(state, row.filled), row.step) << row.mode << row.fm << row.list;
    PlayQueue* drawable = drawableQueue(state);
    EXPECT_EQ(drawable != nullptr, nextQueueStep(state, true) == QueueStep::Draw);
  }
}

// Draws are 1 + |r| mod n; passing over never empties the queue.
TEST(PlaybackPlan, WhichSongsAreDrawnAndPassedOver) {
  struct Row {
    std::vector<std::int32_t> draws;
    int passOver;
    std::vector<std::string> left;
    std::size_t drawn;  // from what is left
  } rows[] = {
      {{0, 1}, 0, {"a", "b", "c"}, 1},
      {{-2, 0}, 0, {"a", "b", "c"}, 3},
      {{1, 0}, 1, {"a", "c"}, 1},
      {{0, 0, 0, 0}, 5, {"c"}, 1},
  };
  for (const Row& row : rows) {
    ScriptedRandom random;
    random.values.assign(row.draws.begin(), row.draws.end());
    PlayQueue queue = Queue({"a", "b", "c"});
    passOver(queue, row.passOver, random);
    EXPECT_THAT(queue.ids, ElementsAreArray(row.left)) << row.passOver;
    EXPECT_EQ(drawPosition(random, queue.size()), row.drawn) << row.passOver;
  }
}

TEST(PlaybackPlan, SquareRowsAFirstPlayDraws) {
  struct Row {
    int rows;
    std::int32_t draw;
    int row;
  } rows[] = {{0, 3, -1}, {1, 3, 0}, {3, 5, 2}, {3, 6, 1}, {20, 6, 7}, {20, 7, 1}};
  for (const Row& row : rows) {
    ScriptedRandom random;
    random.values = {row.draw};
    EXPECT_EQ(squareRowToDraw(row.rows, random), row.row) << row.rows << " " << row.draw;
  }
}

TEST(PlaybackPlan, HowFarAStepBackGoes) {
  struct Row {
    std::size_t history;
    int presses;
    std::optional<StepBack> back;
  } rows[] = {
      {0, 1, std::nullopt},   {1, 1, std::nullopt},   {3, 0, std::nullopt},
      {3, 1, StepBack{2, 1}}, {3, 2, StepBack{1, 2}}, {3, 5, StepBack{1, 2}},
  };
  for (const Row& row : rows) {
    const std::optional<StepBack> back = stepBack(row.history, row.presses);
    ASSERT_EQ(back.has_value(), row.back.has_value()) << row.history << " " << row.presses;
    if (back) {
      EXPECT_EQ(back->target, row.back->target);
      EXPECT_EQ(back->steps, row.back->steps);
    }
  }
}

TEST(PlaybackPlan, WhenToTryAgainAndWhenToOpenAhead) {
  const PlaybackPeriods periods;  // 1 s, doubled up to 30 s; 8 s ahead
  const std::pair<int, int> delays[] = {{0, 1000}, {1000, 2000}, {16000, 30000}, {30000, 30000}};
  for (const auto& [now, next] : delays) EXPECT_EQ(nextRetryDelay(now, periods), next) << now;
  const std::pair<double, bool> left[] = {{-1, false}, {0, true}, {8.0, true}, {8.01, false}};
  for (const auto& [seconds, due] : left) EXPECT_EQ(prepareDue(seconds, periods), due) << seconds;
}

TEST(PlaybackPlan, WhatTheEndOfASongLeadsTo) {
  struct Row {
    EndScene scene;
    EndStep step;
  } rows[] = {
      {{true, false, false}, EndStep::AwaitOpening}, {{true, true, true}, EndStep::AwaitOpening},
      {{false, true, false}, EndStep::PlayPrepared}, {{false, true, true}, EndStep::PlayPrepared},
      {{false, false, true}, EndStep::Rest},         {{false, false, false}, EndStep::PlayNext},
  };
  for (const Row& row : rows) EXPECT_EQ(atEnd(row.scene), row.step);
}

// Without catching up a second with no line of its own shows nothing new; catching up (the face
// shown again, a seek) shows the line in effect.
TEST(PlaybackPlan, LyricLinesATickShows) {
  const std::string timed = "[00:02.00]one\\n[00:05.50]two\\n";
  struct Row {
    std::string lyric;
    std::int64_t seconds;
    bool catchUp;
    std::vector<std::string> shown;
  } rows[] = {
      {timed, 2, false, {"one"}},
      {timed, 4, false, {}},
      {timed, 4, true, {"one"}},
      {timed, 9, true, {"two"}},
      {timed, 1, true, {}},
      {"", 3, true, {"当前暂无歌词"}},
      {"没有匹配到歌词.", 3, false, {"当前暂无歌词"}},
      {"plain words", 3, true, {"当前歌词不支持滚动."}},
  };
  for (const Row& row : rows) {
    EXPECT_THAT(lyricLinesToShow(row.lyric, row.seconds, FindLyricLine, row.catchUp),
                ElementsAreArray(row.shown))
        << row.lyric << " " << row.seconds << " " << row.catchUp;
  }
}

}  // namespace
}  // namespace lumora::test
