#include "playback/PlaybackController.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "common/Text.h"
#include "playback/AudioPlayer.h"

namespace lumora {

namespace {

constexpr int kPlaylistShownMs = 1000;
constexpr int kLikeInfoMs = 2000;
constexpr std::size_t kHistoryLimit = 10;
constexpr int kLastDrawnSquareRow = 7;
constexpr const char* kNoLyricMatch = "没有匹配到歌词.";

// Truncates toward zero; unknown (negative) times count as 0.
std::int64_t WholeSeconds(double seconds) {
  if (!(seconds > 0)) return 0;
  return static_cast<std::int64_t>(seconds);
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
      hooks_(std::move(hooks)) {
  if (!hooks_.pumpedWait) hooks_.pumpedWait = [](int) {};
  if (!hooks_.processPendingEvents) hooks_.processPendingEvents = [] {};
  if (!hooks_.openUrl) hooks_.openUrl = [](const std::string&) {};
  if (!hooks_.tickCount) {
    hooks_.tickCount = [] {
      using namespace std::chrono;
      return static_cast<std::uint32_t>(
          duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
  }
  if (!hooks_.random) hooks_.random = std::make_shared<DefaultRandom>();
  for (auto* ticker : {&hooks_.progressTicker, &hooks_.autoPlayTicker, &hooks_.retryTicker})
    if (!*ticker) *ticker = std::make_shared<IdleTicker>();
}

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
      discardPrepared();
    }
  }
  announce([state](PlaybackObserver& o) { o.stateChanged(state); });
}

// The old stream is released here rather than left to the end of the run: a long session
// would otherwise hold every song it ever played.
void PlaybackController::releaseStream(std::uint32_t stream) {
  if (stream == 0) return;
  audio_.stop(stream);
  audio_.freeStream(stream);
}

// The song that plays goes on meanwhile, and everything describes it; each answer may let a
// wish in, and a start that sees one gives way before asking for more.
PlaybackController::Opening PlaybackController::openSong(const std::string& songId,
                                                         NowPlaying& next) {
  next.currentUrl = service_.GetSongUrl(songId, kBitRate);
  if (service_.LastReply() == ServiceReply::Unreachable) return Opening::NoServer;
  if (superseded()) return Opening::GaveWay;
  retryDelayMs_ = 0;
  next.currentStream = audio_.createStream(next.currentUrl);
  if (!superseded()) next.lyricText = service_.GetLyric(songId);
  if (!superseded()) next.cover = service_.GetCoverImage(songId);
  if (!superseded()) return Opening::Ready;
  releaseStream(next.currentStream);
  return Opening::GaveWay;
}

void PlaybackController::commit(const Song& song, bool fromHistory, NowPlaying next,
                                bool followsEnd) {
  NowPlaying& now = state_.now;
  // The old song falls silent at once, but its pipeline is taken down only once the new one
  // plays: tearing a pipeline down may take a while, and the new song should not wait for it.
  // A song that ended by itself still has its last samples in the sound server, told as ended
  // once they were handed over: it is left to sound out and freed a tick later.
  const std::uint32_t old = now.currentStream;
  if (old != 0 && !followsEnd) audio_.stop(old);
  next.startSerial = now.startSerial + 1;
  next.currentSongId = song.id;
  next.likeSongId = song.id;
  next.currentName = song.name;
  next.currentArtists = song.artists;
  next.currentAlbum = song.album;
  const std::string caption = fromHistory ? song.name + " - " + song.artists : song.name;
  next.currentTitle = fromHistory ? caption : song.name + "-" + song.artists;
  now = std::move(next);

  const bool paused = std::exchange(startPaused_, false);
  if (paused)
    audio_.pause(now.currentStream);
  else
    audio_.play(now.currentStream, false);
  if (old != 0 && followsEnd)
    retired_.push_back(old);
  else if (old != 0)
    audio_.freeStream(old);
  announce([&now](PlaybackObserver& o) { o.coverChanged(now.cover); });
  const SongStart start{song, fromHistory, now.startSerial};
  announce([&start](PlaybackObserver& o) { o.songStarted(start); });
  announce([&caption](PlaybackObserver& o) { o.titleChanged(caption); });
  setState(paused ? PlayState::Paused : PlayState::Playing);
  if (now.currentStream == 0) {
    const PlaybackFailure failure{PlaybackFailure::Kind::SongUnavailable, song, {}, {}};
    announce([&failure](PlaybackObserver& o) { o.failed(failure); });
  }
  // The bar and the lyric follow the new stream from now, not from the next tick.
  progressTick();
}

void PlaybackController::fail(PlaybackFailure::Kind kind) {
  const PlaybackFailure failure{kind, {}, {}, {}};
  announce([&failure](PlaybackObserver& o) { o.failed(failure); });
}

// Each try without an answer doubles the pause before the next, up to the longest; a song that
// starts ends the waiting. What is tried again is the wish that met no server.
void PlaybackController::waitForServer() {
  const PlaybackPeriods& periods = hooks_.periods;
  retryDelayMs_ = retryDelayMs_ == 0 ? periods.firstRetryMs
                                     : std::min(retryDelayMs_ * 2, periods.longestRetryMs);
  retry_ = gate_.current();
  hooks_.retryTicker->start(retryDelayMs_);
  fail(PlaybackFailure::Kind::ServerUnreachable);
}

void PlaybackController::retryTick() {
  hooks_.retryTicker->stop();
  const StartGate::Wish again = std::move(retry_);
  retry_ = nullptr;
  if (again) again();
}

// Whatever the user asks for next replaces a pending retry. A start of the user's own, not one
// that carries on a start that gave way, forgets a pause meant for an earlier one.
bool PlaybackController::admit(StartGate::Kind kind, StartGate::Steps wish) {
  if (stopped_) return false;
  // A song asked for after a pause plays, as next does on a paused song; the latest wish counts.
  if (!gate_.enter(kind, std::move(wish))) {
    startPaused_ = false;
    return false;
  }
  if (!gate_.handingOver()) startPaused_ = false;
  hooks_.retryTicker->stop();
  retry_ = nullptr;
  discardPrepared();
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
  retry_ = nullptr;
  gate_.forgetKept();
  discardPrepared();
  freeRetired();
}

// A song drawn leaves the queue once its start has asked the server, whether it then plays or
// gives way; without an answer it stays queued for the next try.
void PlaybackController::startFromQueue(PlayQueue& queue, int passOver) {
  for (; passOver > 0 && queue.size() > 1; --passOver)
    queue.removeAt(
        static_cast<std::size_t>(RandomBetween(*hooks_.random, 1, static_cast<int>(queue.size()))));
  state_.queueCount = static_cast<int>(queue.size());
  if (queue.empty()) return;
  const std::size_t position =
      static_cast<std::size_t>(RandomBetween(*hooks_.random, 1, static_cast<int>(queue.size())));
  const Song song = queue.at(position);
  // A wish that came during a playlist load or a personal FM fetch passes this song over.
  NowPlaying next;
  const Opening opening = superseded() ? Opening::GaveWay : openSong(song.id, next);
  if (opening == Opening::NoServer) {
    waitForServer();
    return;
  }
  queue.removeAt(position);
  state_.queueCount = static_cast<int>(queue.size());
  if (opening == Opening::GaveWay) return;
  startDrawn(song, std::move(next));
}

void PlaybackController::startDrawn(const Song& song, NowPlaying next, bool followsEnd) {
  commit(song, false, std::move(next), followsEnd);
  state_.history.append(song);
  if (state_.history.size() > kHistoryLimit) state_.history.clear();
}

// A square with fewer than eight rows only offers the rows it has; row 0 is drawn only when it
// is the one row there is. A square left empty by a load that met no server is loaded again
// first; one the server answered empty asks for nothing.
bool PlaybackController::loadRandomSquarePlaylist() {
  int rows = playlists_.playlistCount();
  if (rows <= 0 && !playlists_.answered()) {
    playlists_.reload();
    rows = playlists_.playlistCount();
  }
  if (rows <= 0) {
    if (playlists_.answered())
      fail(PlaybackFailure::Kind::NoPlaylists);
    else
      waitForServer();
    return false;
  }
  const int row =
      rows == 1 ? 0 : RandomBetween(*hooks_.random, 1, std::min(kLastDrawnSquareRow, rows - 1));
  loadPlaylist(playlists_.playlistIdAt(row));
  state_.queueCount = static_cast<int>(state_.playlistQueue.size());
  const std::size_t count = state_.playlistQueue.size();
  announce([count](PlaybackObserver& o) { o.playlistLoaded(count); });
  if (count == 0 && service_.LastReply() == ServiceReply::Unreachable) {
    waitForServer();
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

// A playlist the server does not know puts back the title of what played before.
void PlaybackController::failPlaylistLoad() {
  const PlaybackFailure failure{PlaybackFailure::Kind::PlaylistLoadFailed,
                                {},
                                state_.playlist.playlistLoadCode,
                                state_.now.currentTitle};
  announce([&failure](PlaybackObserver& o) { o.failed(failure); });
}

void PlaybackController::playNext() { playNextSteps(1); }

// Each press is one song on; presses during a start add up, and only the last song is fetched.
void PlaybackController::playNextSteps(int times) {
  if (!admit(StartGate::Kind::Next, [this](int n) { playNextSteps(n); })) return;
  const StartGate::Pass pass(gate_);
  waitingForLogin_ = false;

  if (state_.playMode == kPersonalFmMode) {
    PlayQueue& queue = state_.fmQueue;
    if (queue.empty()) {
      service_.FetchPersonalFm(queue);
      state_.queueCount = static_cast<int>(queue.size());
      const std::size_t queued = queue.size();
      announce([queued](PlaybackObserver& o) { o.fmBatchFetched(queued); });
      if (queue.empty() && service_.LastReply() == ServiceReply::NeedsLogin) {
        waitingForLogin_ = true;
        fail(PlaybackFailure::Kind::NeedsLogin);
      } else if (queue.empty() && service_.LastReply() == ServiceReply::Unreachable) {
        waitForServer();
      }
    }
    startFromQueue(queue, times - 1);
  } else if (state_.playMode == kPlaylistMode) {
    hooks_.random->seed(hooks_.tickCount());
    PlayQueue& queue = state_.playlistQueue;
    if (queue.empty() && !loadRandomSquarePlaylist()) return;
    if (state_.playlist.playlistLoadCode == "200") {
      startFromQueue(queue, times - 1);
    } else if (state_.playlist.playlistLoadCode == "404") {
      failPlaylistLoad();
    }
  }
}

// The id is read at the click: a wish kept for later still plays the row that was chosen.
void PlaybackController::playSelectedPlaylist(int row) {
  playPlaylist(playlists_.playlistIdAt(row));
}

void PlaybackController::playPlaylist(const std::string& playlistId) {
  if (!admit([this, playlistId] { playPlaylist(playlistId); })) return;
  const StartGate::Pass pass(gate_);

  state_.playMode = kPlaylistMode;
  announce([](PlaybackObserver& o) { o.playlistChosen(); });
  loadPlaylist(playlistId);
  if (state_.playlistQueue.empty() && service_.LastReply() == ServiceReply::Unreachable) {
    waitForServer();
    return;
  }

  if (state_.playlist.playlistLoadCode == "200") {
    state_.queueCount = static_cast<int>(state_.playlistQueue.size());
    const std::size_t count = state_.playlistQueue.size();
    announce([count](PlaybackObserver& o) { o.playlistLoaded(count); });
    startFromQueue(state_.playlistQueue);
  } else if (state_.playlist.playlistLoadCode == "404") {
    failPlaylistLoad();
  }
}

void PlaybackController::playPrevious() { playPreviousSteps(1); }

// A step back restores the whole record of the song stepped to. A press during a start is kept
// only when there is somewhere to step back to, since it makes that start give way.
void PlaybackController::playPreviousSteps(int times) {
  PlayHistory& history = state_.history;
  if (history.size() <= 1) return;
  if (!admit(StartGate::Kind::Previous, [this](int n) { playPreviousSteps(n); })) return;
  const StartGate::Pass pass(gate_);

  // The newest entry stays, so repeated steps walk further back; each step leaves out the entry
  // it stepped to.
  const std::size_t newest = history.size();
  const std::size_t steps = std::min<std::size_t>(static_cast<std::size_t>(times), newest - 1);
  const std::size_t target = newest - steps;
  const Song song = history.at(target);
  NowPlaying next;
  const Opening opening = openSong(song.id, next);
  if (opening == Opening::NoServer) {
    waitForServer();
    return;
  }
  for (std::size_t i = 0; i < steps; ++i) history.removeAt(target);
  if (opening == Opening::Ready) commit(song, true, std::move(next));
}

// The menu item also pauses; otherwise it does what the play button does. While a song starts
// with nothing playing, it turns the wish for the starting song over.
void PlaybackController::togglePlayPause() {
  const std::uint32_t stream = state_.now.currentStream;
  const int active = audio_.isActive(stream);
  if (active == AudioPlayer::kPlaying) {
    audio_.pause(stream);
    if (starting()) startPaused_ = true;
    setState(PlayState::Paused);
    return;
  }
  if (starting() && active == AudioPlayer::kStopped) {
    startPaused_ = !startPaused_;
    setState(startPaused_ ? PlayState::Paused : PlayState::Stopped);
    return;
  }
  resumeOrStart();
}

void PlaybackController::resumeOrStart() {
  const std::uint32_t stream = state_.now.currentStream;
  // During a start the song that starts will play.
  if (starting()) startPaused_ = false;
  switch (audio_.isActive(stream)) {
    case AudioPlayer::kStopped:
      if (!gate_.busy())
        playNext();
      else if (playState_ == PlayState::Paused)
        setState(PlayState::Stopped);
      break;
    case AudioPlayer::kPaused:
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
    if (audio_.isActive(stream) == AudioPlayer::kStopped && playState_ != PlayState::Paused)
      setState(PlayState::Paused);
  }
  if (audio_.isActive(stream) != AudioPlayer::kPlaying) return;
  audio_.pause(stream);
  announce([](PlaybackObserver& o) { o.titleChanged("暂停播放"); });
  setState(PlayState::Paused);
}

// The song liked is the one described at the press, whatever starts while the answer comes.
void PlaybackController::likeCurrentSong() {
  const std::string songId = state_.now.likeSongId;
  announce([](PlaybackObserver& o) { o.likeBoxShown(true); });
  const std::string result = service_.LikeSong(songId);
  if (!result.empty()) announce([&result](PlaybackObserver& o) { o.likeResult(result); });
  hooks_.pumpedWait(kLikeInfoMs);
  announce([](PlaybackObserver& o) { o.likeBoxShown(false); });
}

void PlaybackController::onFmButtonClicked(bool selected) {
  setPlayMode(selected ? kPersonalFmMode : kPlaylistMode);
}

void PlaybackController::setPlayMode(const std::string& mode) {
  if (mode != state_.playMode) discardPrepared();
  state_.playMode = mode;
}

void PlaybackController::forgetFmBatch() {
  discardPrepared();
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
  // The bar and the lyric freeze for the last second; the auto-play tick takes over. While
  // paused only a seek ticks, once.
  if (at.reachedEnd || playState_ == PlayState::Paused) hooks_.progressTicker->stop();
  announce([&at](PlaybackObserver& o) { o.positionChanged(at); });

  showLyric(at.elapsed);
}

void PlaybackController::positionMoved() {
  if (stopped_ || !watched_ || playState_ == PlayState::Stopped) return;
  hooks_.progressTicker->start(hooks_.periods.progressMs);
}

void PlaybackController::showLyric(const std::string& timeKey) {
  const std::string& lyric = state_.now.lyricText;
  auto show = [this](const std::string& line) {
    announce([&line](PlaybackObserver& o) { o.lyricLineChanged(line); });
  };
  if (lyric.empty() || lyric == kNoLyricMatch) {
    show("当前暂无歌词");
    return;
  }
  if (hooks_.findLyricLine) {
    const std::string line = hooks_.findLyricLine(lyric, timeKey);
    if (!line.empty()) show(line);
  }
  if (lyric.find('[') == std::string::npos) show("当前歌词不支持滚动.");
}

}  // namespace lumora
