#pragma once
// The play modes' decisions, as plain functions over values: where the next song comes from,
// which song is drawn and which are passed over, how far a step back goes, when to try the
// server again, when to open the next song, what the end of a song leads to and which lyric line
// a tick shows. PlaybackController runs them in order.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "playback/PlaybackClock.h"
#include "playback/PlaybackInterfaces.h"
#include "playback/PlaybackState.h"

namespace lumora {

// What a press of next does with the mode's queue.
enum class QueueStep {
  Fill,              // empty: fetch a personal FM batch, or load a playlist of the square
  Draw,              // draw a song from it
  PlaylistNotFound,  // the playlist load answered 404
  Nothing,           // nothing to play: an empty batch, a load that failed, an unknown mode
};
// `filled`: the queue was filled by this press already.
QueueStep nextQueueStep(const PlaybackState& state, bool filled);
// The queue of the mode when it holds a song to draw; null otherwise.
PlayQueue* drawableQueue(PlaybackState& state);

// 1-based position of the song drawn from a queue of `size` songs.
std::size_t drawPosition(RandomSource& random, std::size_t size);
// Presses of next during a start: each one passes over one more drawn song, leaving the queue
// unheard, as long as more than one song is left to draw from.
void passOver(PlayQueue& queue, int times, RandomSource& random);
// The row of the playlist square a first play loads: rows 1 to 7, or row 0 when it is the only
// one; -1 for an empty square.
int squareRowToDraw(int rows, RandomSource& random);

// A step back through the history: the entry stepped to, and how many entries it leaves out
// (that one and the ones stepped over). None with fewer than two entries.
struct StepBack {
  std::size_t target = 0;  // 1-based
  std::size_t steps = 0;
};
std::optional<StepBack> stepBack(std::size_t historySize, int presses);

// The pause before the next try while the server does not answer: the first, then doubled up to
// the longest.
int nextRetryDelay(int currentMs, const PlaybackPeriods& periods);

// Whether the next song should be opened now, with this much of the song left (negative when
// the length is unknown).
bool prepareDue(double secondsLeft, const PlaybackPeriods& periods);

// What the end of a song leads to.
enum class EndStep {
  AwaitOpening,  // the next song is being opened: it starts when its answers are in
  PlayPrepared,  // the next song's answers are in: its stream opens and it starts
  Rest,          // waiting for a login or a retry: nothing is asked
  PlayNext,      // nothing opened ahead: the next song is fetched as a press of next does
};
struct EndScene {
  bool opening = false;
  // Opened ahead and not taken by the stream (one the stream took and failed on never began).
  bool prepared = false;
  bool waitingForUser = false;
};
EndStep atEnd(const EndScene& scene);

// The lyric lines a progress tick shows, in order: none when the second has no line (the line
// before stays), or the note for a song without a usable lyric. `catchUp` (the face shown again,
// a seek) shows the line in effect at that second instead of leaving an old one up.
using LineFinder = std::function<std::string(const std::string& lyric, const std::string& key)>;
std::vector<std::string> lyricLinesToShow(const std::string& lyric, std::int64_t seconds,
                                          const LineFinder& find, bool catchUp);

}  // namespace lumora
