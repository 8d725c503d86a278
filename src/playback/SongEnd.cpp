// The end of a song: the auto-play tick, the player's word that a stream ended, and the next
// song opened aside shortly before the end so that it follows the last sample at once.
#include <algorithm>
#include <utility>

#include "playback/AudioPlayer.h"
#include "playback/PlaybackController.h"

namespace lumora {

// A tick during a start is not kept as a wish: the next one looks again a period later.
void PlaybackController::autoPlayTick() {
  freeRetired();
  if (gate_.busy()) return;
  if (audio_.isActive(state_.now.currentStream) != AudioPlayer::kStopped) {
    prepareNext();
    return;
  }
  // The prepared song plays without a stop between the two songs.
  if (startPrepared()) return;
  if (playState_ != PlayState::Stopped) setState(PlayState::Stopped);
  // Nothing to do until the user or the retry acts; either starts the tick again.
  if (waitingForLogin_ || retry_) {
    hooks_.autoPlayTicker->stop();
    return;
  }
  playNext();
}

// The word comes queued from the player's thread, for any stream and for more than ends: it only
// makes the auto-play tick look now, instead of up to a period later, when the song has stopped.
void PlaybackController::streamEnded() {
  if (stopped_ || !autoPlayArmed_ || playState_ != PlayState::Playing) return;
  if (audio_.isActive(state_.now.currentStream) == AudioPlayer::kStopped) autoPlayTick();
}

void PlaybackController::setWatched(bool watched) {
  if (watched == watched_) return;
  watched_ = watched;
  if (!watched) {
    hooks_.progressTicker->stop();
    return;
  }
  if (stopped_ || !autoPlayArmed_) return;
  // Right at once: the bar, the times and the lyric line of this moment.
  if (playState_ == PlayState::Playing) hooks_.progressTicker->start(hooks_.periods.progressMs);
  progressTick();
}

PlayQueue* PlaybackController::nextSongQueue() {
  PlayQueue* queue = nullptr;
  if (state_.playMode == kPersonalFmMode)
    queue = &state_.fmQueue;
  else if (state_.playMode == kPlaylistMode && state_.playlist.playlistLoadCode == "200")
    queue = &state_.playlistQueue;
  return queue && !queue->empty() ? queue : nullptr;
}

// Drawn as the start at the end would draw it; the song stays queued until it plays, so a
// preparation dropped leaves the queue and the history as they were.
void PlaybackController::prepareNext() {
  // One try per song: a server that does not answer is asked again only at the end.
  if (prepared_ || stopped_ || retry_ || playState_ != PlayState::Playing ||
      preparedFor_ == state_.now.startSerial)
    return;
  const std::uint32_t stream = state_.now.currentStream;
  const std::int64_t length = audio_.getLength(stream);
  const std::int64_t position = audio_.getPosition(stream);
  if (length <= 0 || position < 0) return;
  if (audio_.bytesToSeconds(stream, length - position) * 1000 > hooks_.periods.prepareAheadMs)
    return;
  PlayQueue* queue = nextSongQueue();
  if (!queue || !gate_.enter(StartGate::Kind::Other, [](int) {})) return;
  if (state_.playMode == kPlaylistMode) hooks_.random->seed(hooks_.tickCount());
  const Song song = queue->at(
      static_cast<std::size_t>(RandomBetween(*hooks_.random, 1, static_cast<int>(queue->size()))));
  const std::string mode = state_.playMode;
  preparedFor_ = state_.now.startSerial;
  const std::uint64_t discards = discards_;
  {
    // A press meanwhile is kept by the gate and runs when this scope is left.
    const StartGate::Pass pass(gate_);
    preparing_ = true;
    NowPlaying record;
    const Opening opening = openSong(song.id, record);
    preparing_ = false;
    if (opening == Opening::Ready && discards == discards_)
      prepared_ = Prepared{song, mode, std::move(record)};
    else if (opening == Opening::Ready)
      releaseStream(record.currentStream);
  }
  // The end may have come while the answers were awaited.
  if (prepared_ && audio_.isActive(state_.now.currentStream) == AudioPlayer::kStopped)
    autoPlayTick();
}

bool PlaybackController::startPrepared() {
  if (!prepared_) return false;
  Prepared next = std::move(*prepared_);
  prepared_.reset();
  PlayQueue* queue = next.mode == state_.playMode ? nextSongQueue() : nullptr;
  std::size_t position = 0;
  if (queue) {
    const auto found = std::find(queue->ids.begin(), queue->ids.end(), next.song.id);
    if (found != queue->ids.end())
      position = static_cast<std::size_t>(found - queue->ids.begin()) + 1;
  }
  if (position == 0 || !admit(StartGate::Kind::Next, [this](int n) { playNextSteps(n); })) {
    releaseStream(next.record.currentStream);
    return false;
  }
  const StartGate::Pass pass(gate_);
  queue->removeAt(position);
  state_.queueCount = static_cast<int>(queue->size());
  startDrawn(next.song, std::move(next.record), true);
  return true;
}

void PlaybackController::discardPrepared() {
  ++discards_;
  preparedFor_ = 0;
  if (!prepared_) return;
  const std::uint32_t stream = prepared_->record.currentStream;
  prepared_.reset();
  if (stream == 0) return;
  audio_.stop(stream);
  retired_.push_back(stream);
}

void PlaybackController::freeRetired() {
  for (const std::uint32_t stream : std::exchange(retired_, {})) releaseStream(stream);
}

}  // namespace lumora
