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
    if (state == PlayState::Paused) hooks_.autoPlayTicker->stop();
  }
  announce([state](PlaybackObserver& o) { o.stateChanged(state); });
}

// The old stream is released here rather than left to the end of the run: a long session
// would otherwise hold every song it ever played.
bool PlaybackController::replaceStream(const std::string& songId) {
  NowPlaying& now = state_.now;
  const std::uint32_t old = now.currentStream;
  if (old != 0) {
    audio_.stop(old);
    audio_.freeStream(old);
    now.currentStream = 0;
  }
  now.currentUrl = service_.GetSongUrl(songId, kBitRate);
  if (service_.LastReply() == ServiceReply::Unreachable) {
    if (playState_ != PlayState::Stopped) setState(PlayState::Stopped);
    waitForServer();
    return false;
  }
  retryDelayMs_ = 0;
  now.currentStream = audio_.createStream(now.currentUrl);
  // Sound first; the lyric and the cover may take a while to arrive.
  audio_.play(now.currentStream, false);
  now.lyricText = service_.GetLyric(songId);
  const std::string cover = service_.GetCoverImage(songId);
  announce([&cover](PlaybackObserver& o) { o.coverChanged(cover); });
  return true;
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

// Whatever the user asks for next replaces a pending retry.
bool PlaybackController::admit(StartGate::Wish wish) {
  if (stopped_ || !gate_.enter(std::move(wish))) return false;
  hooks_.retryTicker->stop();
  retry_ = nullptr;
  // The auto-play tick rests while it waits for the user or the retry; this is either.
  if (autoPlayArmed_ && playState_ != PlayState::Paused)
    hooks_.autoPlayTicker->start(hooks_.periods.autoPlayMs);
  return true;
}

void PlaybackController::startTickers() {
  if (stopped_) return;
  autoPlayArmed_ = true;
  hooks_.progressTicker->start(hooks_.periods.progressMs);
  hooks_.autoPlayTicker->start(hooks_.periods.autoPlayMs);
}

void PlaybackController::stopTickers() {
  stopped_ = true;
  hooks_.progressTicker->stop();
  hooks_.autoPlayTicker->stop();
  hooks_.retryTicker->stop();
  retry_ = nullptr;
  gate_.forgetKept();
}

void PlaybackController::startSong(PlayQueue& queue, std::size_t position) {
  const Song song = queue.at(position);
  NowPlaying& now = state_.now;

  // Without an answer the song stays queued for the next try.
  if (!replaceStream(song.id)) return;
  now.currentSongId = song.id;

  const SongStart start{song, false};
  announce([&start](PlaybackObserver& o) { o.songStarted(start); });
  announce([&song](PlaybackObserver& o) { o.titleChanged(song.name); });
  now.currentTitle = song.name + "-" + song.artists;
  // A download or a like describes the song that plays, however it was started.
  now.currentArtists = song.artists;
  now.currentName = song.name;
  now.currentAlbum = song.album;
  now.likeSongId = song.id;
  setState(PlayState::Playing);
  if (now.currentStream == 0) {
    const PlaybackFailure failure{PlaybackFailure::Kind::SongUnavailable, song, {}, {}};
    announce([&failure](PlaybackObserver& o) { o.failed(failure); });
  }

  state_.history.append(song.name, song.artists, song.id);
  queue.removeAt(position);
  state_.queueCount = static_cast<int>(queue.size());
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

void PlaybackController::playNext() {
  if (!admit([this] { playNext(); })) return;
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
    if (!queue.empty()) {
      const int k = RandomBetween(*hooks_.random, 1, static_cast<int>(queue.size()));
      startSong(queue, static_cast<std::size_t>(k));
    }
  } else if (state_.playMode == kPlaylistMode) {
    hooks_.random->seed(hooks_.tickCount());
    PlayQueue& queue = state_.playlistQueue;
    if (queue.empty() && !loadRandomSquarePlaylist()) return;
    if (state_.playlist.playlistLoadCode == "200") {
      if (!queue.empty()) {
        const int k = RandomBetween(*hooks_.random, 1, static_cast<int>(queue.size()));
        startSong(queue, static_cast<std::size_t>(k));
      }
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
    if (state_.queueCount > 0) {
      const int k = RandomBetween(*hooks_.random, 1, state_.queueCount);
      startSong(state_.playlistQueue, static_cast<std::size_t>(k));
    }
  } else if (state_.playlist.playlistLoadCode == "404") {
    failPlaylistLoad();
  }
}

void PlaybackController::playPrevious() {
  PlayHistory& history = state_.history;
  if (history.size() <= 1 && !gate_.busy()) return;
  if (!admit([this] { playPrevious(); })) return;
  const StartGate::Pass pass(gate_);
  if (history.size() <= 1) return;

  // The entry before the newest; the newest stays, so repeated steps walk further back.
  const std::size_t p = history.size() - 1;
  const SongStart start{{history.ids[p - 1], history.names[p - 1], history.artists[p - 1], {}},
                        true};
  const std::string caption = start.song.name + " - " + start.song.artists;

  if (!replaceStream(start.song.id)) return;
  announce([&start](PlaybackObserver& o) { o.songStarted(start); });
  announce([&caption](PlaybackObserver& o) { o.titleChanged(caption); });
  state_.now.currentTitle = caption;
  // Like every other start: the song plays, so pausing is what the button offers.
  setState(PlayState::Playing);

  history.removeAt(p);
}

// The menu item also pauses; otherwise it does what the play button does.
void PlaybackController::togglePlayPause() {
  const std::uint32_t stream = state_.now.currentStream;
  if (audio_.isActive(stream) == AudioPlayer::kPlaying) {
    audio_.pause(stream);
    setState(PlayState::Paused);
    return;
  }
  resumeOrStart();
}

void PlaybackController::resumeOrStart() {
  const std::uint32_t stream = state_.now.currentStream;
  switch (audio_.isActive(stream)) {
    case AudioPlayer::kStopped:
      // During a start the wish waits and asks again: by then the new song may be playing.
      if (gate_.busy())
        gate_.keep([this] { resumeOrStart(); });
      else
        playNext();
      break;
    case AudioPlayer::kPaused:
      audio_.play(stream, false);
      setState(PlayState::Playing);
      break;
    default:
      break;
  }
}

void PlaybackController::pausePlayback() {
  const std::uint32_t stream = state_.now.currentStream;
  if (audio_.isActive(stream) != AudioPlayer::kPlaying) return;
  audio_.pause(stream);
  announce([](PlaybackObserver& o) { o.titleChanged("暂停播放"); });
  setState(PlayState::Paused);
}

void PlaybackController::likeCurrentSong() {
  announce([](PlaybackObserver& o) { o.likeBoxShown(true); });
  const std::string result = service_.LikeSong(state_.now.likeSongId);
  if (!result.empty()) announce([&result](PlaybackObserver& o) { o.likeResult(result); });
  hooks_.pumpedWait(kLikeInfoMs);
  announce([](PlaybackObserver& o) { o.likeBoxShown(false); });
}

void PlaybackController::onFmButtonClicked(bool selected) {
  setPlayMode(selected ? kPersonalFmMode : kPlaylistMode);
}

void PlaybackController::setPlayMode(const std::string& mode) { state_.playMode = mode; }

void PlaybackController::forgetFmBatch() { state_.fmQueue.clear(); }

void PlaybackController::setTitle(const std::string& title) { state_.now.currentTitle = title; }

void PlaybackController::openSongPage() {
  if (state_.now.currentSongId.empty()) return;
  hooks_.openUrl(SongPageUrl(apiBaseAddress_, state_.now.currentSongId));
}

// A tick during a start is not kept as a wish: the next one looks again a period later.
void PlaybackController::autoPlayTick() {
  if (gate_.busy() || audio_.isActive(state_.now.currentStream) != AudioPlayer::kStopped) return;
  if (playState_ != PlayState::Stopped) setState(PlayState::Stopped);
  // Nothing to do until the user or the retry acts; either starts the tick again.
  if (waitingForLogin_ || retry_) {
    hooks_.autoPlayTicker->stop();
    return;
  }
  playNext();
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
  if (stopped_ || playState_ == PlayState::Stopped) return;
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
