#include "playback/PlaybackController.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "common/Text.h"

namespace lumora {

namespace {

constexpr int kPlaylistShownMs = 1000;
constexpr int kLikeInfoMs = 2000;
constexpr std::size_t kHistoryLimit = 10;

// Truncates toward zero; unknown (negative) times count as 0.
std::int64_t WholeSeconds(double seconds) {
  if (!(seconds > 0)) return 0;
  return static_cast<std::int64_t>(seconds);
}

PlaybackHooks WithDefaults(PlaybackHooks hooks) {
  if (!hooks.pumpedWait) hooks.pumpedWait = [](int) {};
  if (!hooks.processPendingEvents) hooks.processPendingEvents = [] {};
  if (!hooks.openUrl) hooks.openUrl = [](const std::string&) {};
  if (!hooks.tickCount) {
    hooks.tickCount = [] {
      using namespace std::chrono;
      return static_cast<std::uint32_t>(
          duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
  }
  if (!hooks.random) hooks.random = std::make_shared<DefaultRandom>();
  if (!hooks.background) hooks.background = &InPlaceBackground();
  for (auto* ticker :
       {&hooks.progressTicker, &hooks.autoPlayTicker, &hooks.retryTicker, &hooks.likeBoxTicker})
    if (!*ticker) *ticker = std::make_shared<IdleTicker>();
  return hooks;
}

// The queue of a mode; null for an unknown mode.
PlayQueue* QueueOf(PlaybackState& state, const std::string& mode) {
  if (mode == kPersonalFmMode) return &state.fmQueue;
  if (mode == kPlaylistMode) return &state.playlistQueue;
  return nullptr;
}

}  // namespace

int RandomBetween(RandomSource& random, int a, int b) {
  if (b < a) return a;
  const std::int64_t r = std::llabs(static_cast<std::int64_t>(random.next()));
  return a + static_cast<int>(r % (static_cast<std::int64_t>(b) - a + 1));
}

PlaybackController::PlaybackController(AudioOutput& audio, MusicService& service,
                                       PlaylistSource& playlists, std::string apiBaseAddress,
                                       PlaybackHooks hooks)
    : audio_(audio),
      service_(service),
      playlists_(playlists),
      apiBaseAddress_(std::move(apiBaseAddress)),
      hooks_(WithDefaults(std::move(hooks))),
      opener_(audio, service, *hooks_.background) {}

std::string SongPageUrl(const std::string& apiBaseAddress, const std::string& songId) {
  return apiBaseAddress + "/#/song?id=" + songId;
}

void PlaybackController::addObserver(PlaybackObserver& observer) {
  observers_.push_back(&observer);
}

void PlaybackController::removeObserver(PlaybackObserver& observer) {
  std::erase(observers_, &observer);
}

// Nothing moves while paused or stopped, so nothing ticks then; a stopped stream still has the
// auto-play tick, which starts what comes next. A playing stream is followed again from now.
void PlaybackController::setState(PlayState state) {
  playState_ = state;
  if (state == PlayState::Playing) {
    startTickers();
  } else {
    hooks_.progressTicker->stop();
    if (state == PlayState::Paused) {
      hooks_.autoPlayTicker->stop();
      dropAhead();
    }
  }
  announce([state](PlaybackObserver& o) { o.stateChanged(state); });
}

void PlaybackController::commit(const Song& song, bool fromHistory, NowPlaying next) {
  NowPlaying& now = state_.now;
  const std::uint32_t old = now.currentStream;
  // A song that followed the last one in its stream is already sounding; one whose stream sounds
  // since it opened has silenced the old one then.
  const bool follows = old != 0 && old == next.currentStream;
  const bool sounding = next.currentStream != 0 && next.currentStream == startingStream_;
  startingStream_ = 0;
  if (old != 0 && !follows && !sounding) audio_.stop(old);
  next.currentSongId = song.id;
  next.likeSongId = song.id;
  next.currentName = song.name;
  next.currentArtists = song.artists;
  next.currentAlbum = song.album;
  const std::string caption = fromHistory ? song.name + " - " + song.artists : song.name;
  next.currentTitle = fromHistory ? caption : song.name + "-" + song.artists;
  now = std::move(next);
  nextTried_ = false;

  PlayState after = playState_ == PlayState::Paused ? PlayState::Paused : PlayState::Playing;
  if (!follows) {
    const bool paused = std::exchange(startPaused_, false);
    if (!sounding) followStartPause(now.currentStream, paused);
    after = paused ? PlayState::Paused : PlayState::Playing;
    // The old song fell silent at once; its pipeline goes down away from this thread, with
    // any song it had taken to follow.
    if (old != 0) audio_.freeStream(old);
    prepared_.reset();
  }
  announce([&now](PlaybackObserver& o) { o.coverChanged(now.cover); });
  const SongStart start{song, fromHistory};
  announce([&start](PlaybackObserver& o) { o.songStarted(start); });
  announce([&caption](PlaybackObserver& o) { o.titleChanged(caption); });
  setState(after);
  if (now.currentStream == 0) {
    const PlaybackFailure failure{PlaybackFailure::Kind::SongUnavailable, song, {}, {}};
    announce([&failure](PlaybackObserver& o) { o.failed(failure); });
  }
  // The bar and the lyric follow the new stream from now, not from the next tick.
  progressTick();
  // A song shorter than the time ahead has its next one opened at once.
  prepareNext();
}

void PlaybackController::appendHistory(const Song& song) {
  state_.history.append(song);
  if (state_.history.size() > kHistoryLimit) state_.history.clear();
}

void PlaybackController::fail(PlaybackFailure::Kind kind) {
  const PlaybackFailure failure{kind, {}, {}, {}};
  announce([&failure](PlaybackObserver& o) { o.failed(failure); });
}

// Each try without an answer doubles the pause before the next, up to the longest; a song that
// starts ends the waiting. What is tried again is the wish that met no server.
void PlaybackController::waitForServer(StartGate::Wish again) {
  retryDelayMs_ = nextRetryDelay(retryDelayMs_, hooks_.periods);
  retry_ = std::move(again);
  hooks_.retryTicker->start(retryDelayMs_);
  fail(PlaybackFailure::Kind::ServerUnreachable);
}

void PlaybackController::retryTick() {
  hooks_.retryTicker->stop();
  const StartGate::Wish again = std::move(retry_);
  retry_ = nullptr;
  if (again) again();
}

// Whatever the user asks for next replaces a pending retry and a start under way. A start of
// the user's own, not one that carries on a start that gave way, forgets a pause meant for an
// earlier one.
bool PlaybackController::admit(StartGate::Kind kind, StartGate::Steps wish) {
  if (stopped_) return false;
  // A song asked for after a pause plays, as next does on a paused song; the latest wish counts.
  if (!gate_.enter(kind, std::move(wish))) {
    startPaused_ = false;
    return false;
  }
  if (!gate_.handingOver()) startPaused_ = false;
  waitingForUser_ = false;
  hooks_.retryTicker->stop();
  retry_ = nullptr;
  supersedeOpening();
  dropAhead();
  // The auto-play tick rests while it waits for the user or the retry; this is either.
  if (autoPlayArmed_ && playState_ != PlayState::Paused)
    hooks_.autoPlayTicker->start(hooks_.periods.autoPlayMs);
  return true;
}

void PlaybackController::startTickers() {
  if (stopped_) return;
  autoPlayArmed_ = true;
  if (watched_) hooks_.progressTicker->start(hooks_.periods.progressMs);
  hooks_.autoPlayTicker->start(hooks_.periods.autoPlayMs);
}

void PlaybackController::stopTickers() {
  stopped_ = true;
  hooks_.progressTicker->stop();
  hooks_.autoPlayTicker->stop();
  hooks_.retryTicker->stop();
  hooks_.likeBoxTicker->stop();
  retry_ = nullptr;
  gate_.forgetKept();
  opener_.cancel();
  opening_.reset();
  startingStream_ = 0;
  prepared_.reset();
  hooks_.background->stopAll();
}

bool PlaybackController::starting() const {
  return gate_.busy() || (opening_ && opening_->purpose == Opening::For::Start);
}

void PlaybackController::open(Opening opening, std::optional<NowPlaying> known) {
  const bool start = opening.purpose == Opening::For::Start;
  const std::string id = opening.song.id;
  opening_ = std::move(opening);
  SongOpening::Sounding sounding;
  if (start) sounding = [this](std::uint32_t stream) { startSounding(stream); };
  opener_.begin(id, start, std::move(known), std::move(sounding),
                [this](OpenedSong song) { opened(std::move(song)); });
}

// The song sounds from here on (or waits paused), before its lyric and cover have come; the
// record and everything that reads it change when they have.
void PlaybackController::startSounding(std::uint32_t stream) {
  startingStream_ = stream;
  const std::uint32_t old = state_.now.currentStream;
  if (old != 0 && old != stream) audio_.stop(old);
  followStartPause(stream, startPaused_);
}

void PlaybackController::followStartPause(std::uint32_t stream, bool paused) {
  if (stream == 0) return;
  if (paused)
    audio_.pause(stream);
  else
    audio_.play(stream, false);
}

// A song that met no server stays where it was for the next try; one opened ahead is asked for
// again only at its turn.
void PlaybackController::opened(OpenedSong song) {
  if (!opening_) return;
  const Opening opening = std::move(*opening_);
  opening_.reset();
  if (!song.answered) {
    if (opening.purpose == Opening::For::Start) waitForServer(opening.again);
    return;
  }
  retryDelayMs_ = 0;
  if (opening.purpose == Opening::For::Prepare) {
    keepPrepared(opening, std::move(song.record));
    return;
  }
  leaveOrigin(opening);
  commit(opening.song, opening.back.has_value(), std::move(song.record));
  if (!opening.back) appendHistory(opening.song);
}

void PlaybackController::supersedeOpening() {
  if (!opening_) return;
  const Opening opening = std::move(*opening_);
  opening_.reset();
  opener_.cancel();
  startingStream_ = 0;
  if (opening.purpose == Opening::For::Start) leaveOrigin(opening);
}

void PlaybackController::leaveOrigin(const Opening& opening) {
  if (opening.back) {
    for (std::size_t i = 0; i < opening.back->steps; ++i)
      state_.history.removeAt(opening.back->target);
    return;
  }
  PlayQueue* queue = QueueOf(state_, opening.mode);
  if (!queue) return;
  const auto found = std::find(queue->ids.begin(), queue->ids.end(), opening.song.id);
  if (found != queue->ids.end())
    queue->removeAt(static_cast<std::size_t>(found - queue->ids.begin()) + 1);
  state_.queueCount = static_cast<int>(queue->size());
}

// A song drawn leaves the queue once it is open, or when a newer start passes it over; without
// an answer it stays queued for the next try.
std::optional<PlaybackController::Opening> PlaybackController::drawFrom(PlayQueue& queue,
                                                                        int passOverCount) {
  passOver(queue, passOverCount, *hooks_.random);
  state_.queueCount = static_cast<int>(queue.size());
  if (queue.empty()) return std::nullopt;
  const std::size_t position = drawPosition(*hooks_.random, queue.size());
  const Song song = queue.at(position);
  // A wish that came during a playlist load or a personal FM fetch passes this song over.
  if (gate_.hasKept()) {
    queue.removeAt(position);
    state_.queueCount = static_cast<int>(queue.size());
    return std::nullopt;
  }
  return Opening{song, Opening::For::Start, std::nullopt, state_.playMode, gate_.current()};
}

// A square left empty by a load that met no server is loaded again first; one the server
// answered empty asks for nothing.
bool PlaybackController::loadRandomSquarePlaylist() {
  int rows = playlists_.playlistCount();
  if (rows <= 0 && !playlists_.answered()) {
    playlists_.reload();
    rows = playlists_.playlistCount();
  }
  const int row = squareRowToDraw(rows, *hooks_.random);
  if (row < 0) {
    if (playlists_.answered())
      fail(PlaybackFailure::Kind::NoPlaylists);
    else
      waitForServer(gate_.current());
    return false;
  }
  loadPlaylist(playlists_.playlistIdAt(row));
  state_.queueCount = static_cast<int>(state_.playlistQueue.size());
  const std::size_t count = state_.playlistQueue.size();
  announce([count](PlaybackObserver& o) { o.playlistLoaded(count); });
  if (count == 0 && service_.LastReply() == ServiceReply::Unreachable) {
    waitForServer(gate_.current());
    return false;
  }
  return true;
}

void PlaybackController::loadPlaylist(const std::string& playlistId) {
  announce([](PlaybackObserver& o) { o.playlistLoadStarted(); });
  service_.LoadPlaylist(playlistId, state_.playlistQueue, state_.playlist, *this);
}

void PlaybackController::playlistNotFound() {
  announce([](PlaybackObserver& o) { o.playlistNotFound(); });
}

void PlaybackController::playlistFound(const std::string& name, const std::string& coverBytes) {
  announce([&](PlaybackObserver& o) { o.playlistFound(name, coverBytes); });
  hooks_.pumpedWait(kPlaylistShownMs);
}

void PlaybackController::songsLoaded(std::size_t loaded, std::size_t total) {
  announce([&](PlaybackObserver& o) { o.playlistLoadProgress(loaded, total); });
  hooks_.processPendingEvents();
}

// A playlist the server does not know puts back the title of what played before. Its box is
// opened once: the tick does not load it again behind the user's back.
void PlaybackController::failPlaylistLoad() {
  waitingForUser_ = true;
  const PlaybackFailure failure{PlaybackFailure::Kind::PlaylistLoadFailed,
                                {},
                                state_.playlist.playlistLoadCode,
                                state_.now.currentTitle};
  announce([&failure](PlaybackObserver& o) { o.failed(failure); });
}

void PlaybackController::playNext() { playNextSteps(1); }

bool PlaybackController::fillQueue() {
  if (state_.playMode != kPersonalFmMode) return loadRandomSquarePlaylist();
  PlayQueue& queue = state_.fmQueue;
  service_.FetchPersonalFm(queue);
  state_.queueCount = static_cast<int>(queue.size());
  const std::size_t queued = queue.size();
  announce([queued](PlaybackObserver& o) { o.fmBatchFetched(queued); });
  if (queue.empty() && service_.LastReply() == ServiceReply::NeedsLogin) {
    waitingForUser_ = true;
    fail(PlaybackFailure::Kind::NeedsLogin);
  } else if (queue.empty() && service_.LastReply() == ServiceReply::Unreachable) {
    waitForServer(gate_.current());
  }
  return true;
}

// Each press is one song on: a press while a song opens passes that song over, and presses
// during a playlist load add up, only the last song being opened. The song opens once the gate
// is left, so that a press meanwhile is a start of its own.
void PlaybackController::playNextSteps(int times) {
  std::optional<Opening> next;
  {
    if (!admit(StartGate::Kind::Next, [this](int n) { playNextSteps(n); })) return;
    const StartGate::Pass pass(gate_);
    if (state_.playMode == kPlaylistMode) hooks_.random->seed(hooks_.tickCount());
    QueueStep step = nextQueueStep(state_, false);
    if (step == QueueStep::Fill) {
      if (!fillQueue()) return;
      step = nextQueueStep(state_, true);
    }
    if (step == QueueStep::PlaylistNotFound) failPlaylistLoad();
    if (step == QueueStep::Draw) next = drawFrom(*drawableQueue(state_), times - 1);
  }
  if (next) open(std::move(*next));
}

// The id is read at the click: a wish kept for later still plays the row that was chosen.
void PlaybackController::playSelectedPlaylist(int row) {
  playPlaylist(playlists_.playlistIdAt(row));
}

void PlaybackController::playPlaylist(const std::string& playlistId) {
  std::optional<Opening> next;
  {
    if (!admit([this, playlistId] { playPlaylist(playlistId); })) return;
    const StartGate::Pass pass(gate_);
    state_.playMode = kPlaylistMode;
    announce([](PlaybackObserver& o) { o.playlistChosen(); });
    loadPlaylist(playlistId);
    if (state_.playlistQueue.empty() && service_.LastReply() == ServiceReply::Unreachable) {
      waitForServer(gate_.current());
      return;
    }
    if (state_.playlist.playlistLoadCode == "200") {
      state_.queueCount = static_cast<int>(state_.playlistQueue.size());
      const std::size_t count = state_.playlistQueue.size();
      announce([count](PlaybackObserver& o) { o.playlistLoaded(count); });
      next = drawFrom(state_.playlistQueue);
    } else if (state_.playlist.playlistLoadCode == "404") {
      failPlaylistLoad();
    }
  }
  if (next) open(std::move(*next));
}

void PlaybackController::playPrevious() { playPreviousSteps(1); }

// A step back restores the whole record of the song stepped to. A press while a step back opens
// steps one further, and is taken only where the history has somewhere further to go.
void PlaybackController::playPreviousSteps(int times) {
  const std::size_t opened = opening_ && opening_->back ? opening_->back->steps : 0;
  if (!stepBack(state_.history.size() - opened, 1)) return;
  std::optional<Opening> next;
  {
    if (!admit(StartGate::Kind::Previous, [this](int n) { playPreviousSteps(n); })) return;
    const StartGate::Pass pass(gate_);
    if (const std::optional<StepBack> back = stepBack(state_.history.size(), times))
      next =
          Opening{state_.history.at(back->target), Opening::For::Start, back, {}, gate_.current()};
  }
  if (next) open(std::move(*next));
}

// The menu item also pauses; otherwise it does what the play button does. While a song starts
// with nothing playing, it turns the wish for the starting song over.
void PlaybackController::togglePlayPause() {
  const std::uint32_t stream = state_.now.currentStream;
  const ChannelState active = audio_.isActive(stream);
  if (active == ChannelState::Playing) {
    audio_.pause(stream);
    if (starting()) startPaused_ = true;
    setState(PlayState::Paused);
    return;
  }
  if (starting() && active == ChannelState::Stopped) {
    startPaused_ = !startPaused_;
    followStartPause(startingStream_, startPaused_);
    setState(startPaused_ ? PlayState::Paused : PlayState::Stopped);
    return;
  }
  resumeOrStart();
}

void PlaybackController::resumeOrStart() {
  const std::uint32_t stream = state_.now.currentStream;
  // During a start the song that starts will play.
  if (starting()) {
    startPaused_ = false;
    followStartPause(startingStream_, false);
  }
  switch (audio_.isActive(stream)) {
    case ChannelState::Stopped:
      if (!starting())
        playNext();
      else if (playState_ == PlayState::Paused)
        setState(PlayState::Stopped);
      break;
    case ChannelState::Paused:
      audio_.play(stream, false);
      setState(PlayState::Playing);
      break;
    default:
      break;
  }
}

// During a start the song that starts will be paused, whatever plays meanwhile.
void PlaybackController::pausePlayback() {
  const std::uint32_t stream = state_.now.currentStream;
  if (starting()) {
    startPaused_ = true;
    followStartPause(startingStream_, true);
    if (audio_.isActive(stream) == ChannelState::Stopped && playState_ != PlayState::Paused)
      setState(PlayState::Paused);
  }
  if (audio_.isActive(stream) != ChannelState::Playing) return;
  audio_.pause(stream);
  announce([](PlaybackObserver& o) { o.titleChanged("暂停播放"); });
  setState(PlayState::Paused);
}

// The song liked is the one described at the press, whatever starts while the answer comes.
// The answer is awaited away from this thread, and the box goes two seconds after it came.
void PlaybackController::likeCurrentSong() {
  const std::string songId = state_.now.likeSongId;
  announce([](PlaybackObserver& o) { o.likeBoxShown(true); });
  std::shared_ptr<SongRequests> requests = service_.songRequests();
  auto result = std::make_shared<std::string>();
  hooks_.background->start(
      {},
      [requests, result, songId](const StopFlag& stop) {
        *result = requests->LikeSong(songId, stop);
      },
      [this, result] {
        if (!result->empty()) announce([&result](PlaybackObserver& o) { o.likeResult(*result); });
        hooks_.likeBoxTicker->start(kLikeInfoMs);
      });
}

void PlaybackController::likeBoxTick() {
  hooks_.likeBoxTicker->stop();
  announce([](PlaybackObserver& o) { o.likeBoxShown(false); });
}

void PlaybackController::onFmButtonClicked(bool selected) {
  setPlayMode(selected ? kPersonalFmMode : kPlaylistMode);
}

void PlaybackController::setPlayMode(const std::string& mode) {
  if (mode != state_.playMode) {
    dropAhead();
    waitingForUser_ = false;
  }
  state_.playMode = mode;
}

void PlaybackController::forgetFmBatch() {
  dropAhead();
  state_.fmQueue.clear();
}

void PlaybackController::setTitle(const std::string& title) { state_.now.currentTitle = title; }

void PlaybackController::openSongPage() {
  if (state_.now.currentSongId.empty()) return;
  hooks_.openUrl(SongPageUrl(apiBaseAddress_, state_.now.currentSongId));
}

void PlaybackController::progressTick() {
  const std::uint32_t stream = state_.now.currentStream;
  PlaybackPosition at;
  at.position = audio_.getPosition(stream);
  at.length = audio_.getLength(stream);
  if (at.position >= 0) at.seconds = std::max(0.0, audio_.bytesToSeconds(stream, at.position));
  at.elapsedSeconds = at.position >= 0 ? WholeSeconds(at.seconds) : 0;
  at.totalSeconds = at.length > 0 ? WholeSeconds(audio_.bytesToSeconds(stream, at.length)) : 0;
  at.elapsed = ClockText(at.elapsedSeconds);
  at.total = ClockText(at.totalSeconds);
  // Until the length is known there is no end to reach; stopping there would freeze the song.
  at.reachedEnd = at.length > 0 && at.elapsed == at.total;
  // The bar and the lyric freeze for the last second; the end of the stream takes over. While
  // paused only a seek ticks, once.
  if (at.reachedEnd || playState_ == PlayState::Paused) hooks_.progressTicker->stop();
  announce([&at](PlaybackObserver& o) { o.positionChanged(at); });

  const bool catchUp = std::exchange(catchUp_, false);
  for (const std::string& line :
       lyricLinesToShow(state_.now.lyricText, at.elapsedSeconds, hooks_.findLyricLine, catchUp))
    announce([&line](PlaybackObserver& o) { o.lyricLineChanged(line); });
}

void PlaybackController::positionMoved() {
  if (stopped_ || !watched_ || playState_ == PlayState::Stopped) return;
  catchUp_ = true;
  hooks_.progressTicker->start(hooks_.periods.progressMs);
}

}  // namespace lumora
