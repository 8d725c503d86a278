#include "playback/PlaybackPlan.h"

#include <algorithm>

#include "common/Text.h"

namespace lumora {

namespace {

constexpr int kLastDrawnSquareRow = 7;
constexpr const char* kNoLyricMatch = "没有匹配到歌词.";

}  // namespace

QueueStep nextQueueStep(const PlaybackState& state, bool filled) {
  const bool fm = state.playMode == kPersonalFmMode;
  if (!fm && state.playMode != kPlaylistMode) return QueueStep::Nothing;
  const PlayQueue& queue = fm ? state.fmQueue : state.playlistQueue;
  if (queue.empty() && !filled) return QueueStep::Fill;
  if (fm) return queue.empty() ? QueueStep::Nothing : QueueStep::Draw;
  const std::string& code = state.playlist.playlistLoadCode;
  if (code == "200") return queue.empty() ? QueueStep::Nothing : QueueStep::Draw;
  if (code == "404") return QueueStep::PlaylistNotFound;
  return QueueStep::Nothing;
}

PlayQueue* drawableQueue(PlaybackState& state) {
  if (nextQueueStep(state, true) != QueueStep::Draw) return nullptr;
  return state.playMode == kPersonalFmMode ? &state.fmQueue : &state.playlistQueue;
}

std::size_t drawPosition(RandomSource& random, std::size_t size) {
  return static_cast<std::size_t>(RandomBetween(random, 1, static_cast<int>(size)));
}

void passOver(PlayQueue& queue, int times, RandomSource& random) {
  for (; times > 0 && queue.size() > 1; --times) queue.removeAt(drawPosition(random, queue.size()));
}

int squareRowToDraw(int rows, RandomSource& random) {
  if (rows <= 0) return -1;
  if (rows == 1) return 0;
  return RandomBetween(random, 1, std::min(kLastDrawnSquareRow, rows - 1));
}

// The newest entry stays, so repeated steps walk further back.
std::optional<StepBack> stepBack(std::size_t historySize, int presses) {
  if (historySize <= 1 || presses <= 0) return std::nullopt;
  const std::size_t steps =
      std::min<std::size_t>(static_cast<std::size_t>(presses), historySize - 1);
  return StepBack{historySize - steps, steps};
}

int nextRetryDelay(int currentMs, const PlaybackPeriods& periods) {
  return currentMs == 0 ? periods.firstRetryMs : std::min(currentMs * 2, periods.longestRetryMs);
}

bool prepareDue(double secondsLeft, const PlaybackPeriods& periods) {
  return secondsLeft >= 0 && secondsLeft * 1000 <= periods.prepareAheadMs;
}

EndStep atEnd(const EndScene& scene) {
  if (scene.opening) return EndStep::AwaitOpening;
  if (scene.prepared) return EndStep::PlayPrepared;
  return scene.waitingForUser ? EndStep::Rest : EndStep::PlayNext;
}

std::vector<std::string> lyricLinesToShow(const std::string& lyric, std::int64_t seconds,
                                          const LineFinder& find, bool catchUp) {
  if (lyric.empty() || lyric == kNoLyricMatch) return {"当前暂无歌词"};
  std::vector<std::string> lines;
  if (find) {
    // A line is shown from its tagged second on, so the one in effect is the last tagged at or
    // before this second.
    for (std::int64_t at = seconds; at >= 0; --at) {
      std::string line = find(lyric, ClockText(at));
      if (!line.empty()) {
        lines.push_back(std::move(line));
        break;
      }
      if (!catchUp) break;
    }
  }
  if (lyric.find('[') == std::string::npos) lines.push_back("当前歌词不支持滚动.");
  return lines;
}

}  // namespace lumora
