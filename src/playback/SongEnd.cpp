// The end of a song: the next song opened ahead and offered to the stream that plays, which
// moves on to it from its last sample; the player's word that the song it took began, or that
// the stream ended; and the auto-play tick behind them.
#include <utility>

#include "playback/PlaybackController.h"

namespace lumora {

// A tick during a playlist load is not kept as a wish: the next one looks again a period later.
void PlaybackController::autoPlayTick() {
  if (gate_.busy()) return;
  if (audio_.takeNextStarted(state_.now.currentStream)) nextSongBegan();
  if (audio_.isActive(state_.now.currentStream) != ChannelState::Stopped) {
    prepareNext();
    return;
  }
  songEnded();
}

// The word comes queued from the player's thread, for any stream and for more than ends. A
// length that came only as the song began lets a short song's next one be opened in time.
void PlaybackController::streamPosted() {
  if (stopped_ || gate_.busy()) return;
  if (audio_.takeNextStarted(state_.now.currentStream)) nextSongBegan();
  if (!autoPlayArmed_ || playState_ != PlayState::Playing) return;
  if (audio_.isActive(state_.now.currentStream) == ChannelState::Stopped)
    songEnded();
  else
    prepareNext();
}

// A song the stream took and failed on, before it began (its address gone with the server, or
// not audio), stays in its queue and is asked for again as any next song.
void PlaybackController::songEnded() {
  if (prepared_ && prepared_->offered && !audio_.withdrawNext(state_.now.currentStream))
    prepared_.reset();
  const EndStep step =
      atEnd({opening_.has_value(), prepared_.has_value(), waitingForUser_ || bool(retry_)});
  if (step == EndStep::AwaitOpening) return;
  if (step == EndStep::PlayPrepared) {
    Prepared next = std::move(*prepared_);
    prepared_.reset();
    open({next.song, Opening::For::Start, std::nullopt, next.mode, [this] { playNext(); }},
         std::move(next.record));
    return;
  }
  if (playState_ != PlayState::Stopped) setState(PlayState::Stopped);
  // Nothing to do until the user or the retry acts; either starts the tick again.
  if (step == EndStep::Rest) {
    hooks_.autoPlayTicker->stop();
    return;
  }
  playNext();
}

// The face, the lyric, the media player and the tray change as the song is heard.
void PlaybackController::nextSongBegan() {
  if (!prepared_ || !prepared_->offered) return;
  Prepared next = std::move(*prepared_);
  prepared_.reset();
  next.record.currentStream = state_.now.currentStream;
  leaveOrigin({next.song, Opening::For::Start, std::nullopt, next.mode, {}});
  commit(next.song, false, std::move(next.record));
  appendHistory(next.song);
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
  catchUp_ = true;
  progressTick();
}

// Drawn as a press of next would draw it; the song stays queued until it plays, so a song
// opened ahead and dropped leaves the queue and the history as they were. One try per song: a
// server that does not answer is asked again only at the end.
void PlaybackController::prepareNext() {
  if (opening_ || prepared_ || stopped_ || retry_ || nextTried_ || gate_.busy() ||
      playState_ != PlayState::Playing)
    return;
  const std::uint32_t stream = state_.now.currentStream;
  const std::int64_t length = audio_.getLength(stream);
  const std::int64_t position = audio_.getPosition(stream);
  if (length <= 0 || position < 0) return;
  if (!prepareDue(audio_.bytesToSeconds(stream, length - position), hooks_.periods)) return;
  if (state_.playMode == kPlaylistMode) hooks_.random->seed(hooks_.tickCount());
  PlayQueue* queue = drawableQueue(state_);
  if (!queue) return;
  nextTried_ = true;
  const Song song = queue->at(drawPosition(*hooks_.random, queue->size()));
  open({song, Opening::For::Prepare, std::nullopt, state_.playMode, {}});
}

void PlaybackController::keepPrepared(const Opening& opening, NowPlaying record) {
  const std::uint32_t stream = state_.now.currentStream;
  const bool offered = !record.currentUrl.empty() && audio_.offerNext(stream, record.currentUrl, record.gain);
  prepared_ = Prepared{opening.song, opening.mode, std::move(record), offered};
  // The end may have come while the answers were awaited.
  if (playState_ == PlayState::Playing && audio_.isActive(stream) == ChannelState::Stopped)
    songEnded();
}

// What is dropped may be opened again later for the same song.
void PlaybackController::dropAhead() {
  if (opening_ && opening_->purpose == Opening::For::Prepare) {
    opening_.reset();
    opener_.cancel();
    nextTried_ = false;
  }
  if (prepared_ && (!prepared_->offered || audio_.withdrawNext(state_.now.currentStream))) {
    prepared_.reset();
    nextTried_ = false;
  }
}

}  // namespace lumora
