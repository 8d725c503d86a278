#include "playback/PlaybackController.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "common/Text.h"

namespace lumora {

namespace {

constexpr int kFaceWidth = 154;
constexpr int kProgressIntervalMs = 100;
constexpr int kAutoPlayIntervalMs = 1000;
constexpr int kLikeInfoMs = 2000;
constexpr std::size_t kHistoryLimit = 10;
constexpr int kLastDrawnSquareRow = 7;
constexpr const char* kNoLyricMatch = "没有匹配到歌词.";

// Truncates toward zero; unknown (negative) times count as 0.
std::int64_t WholeSeconds(double seconds) {
  if (!(seconds > 0)) return 0;
  return static_cast<std::int64_t>(seconds);
}

// Runs a scope with a flag raised, lowering it on every way out.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

int RandomBetween(RandomSource& random, int a, int b) {
  if (b < a) return a;
  const std::int64_t r = std::llabs(static_cast<std::int64_t>(random.next()));
  return a + static_cast<int>(r % (static_cast<std::int64_t>(b) - a + 1));
}

PlaybackController::PlaybackController(AudioOutput& audio, MusicService& service, PlayerView& view,
                                       std::string apiBaseAddress, PlaybackHooks hooks)
    : audio_(audio),
      service_(service),
      view_(view),
      apiBaseAddress_(std::move(apiBaseAddress)),
      hooks_(std::move(hooks)) {
  if (!hooks_.pumpedWait) hooks_.pumpedWait = [](int) {};
  if (!hooks_.tickCount) {
    hooks_.tickCount = [] {
      using namespace std::chrono;
      return static_cast<std::uint32_t>(
          duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
  }
  if (!hooks_.random) hooks_.random = std::make_shared<DefaultRandom>();
}

// The old stream is released here rather than left to the end of the run: a long session
// would otherwise hold every song it ever played.
void PlaybackController::replaceStream(const std::string& songId) {
  NowPlaying& now = state_.now;
  const std::uint32_t old = now.currentStream;
  if (old != 0) {
    audio_.stop(old);
    audio_.freeStream(old);
    now.currentStream = 0;
  }
  now.currentUrl = service_.GetSongUrl(songId, kBitRate);
  now.currentStream = audio_.createStream(now.currentUrl);
  // Sound first; the lyric and the cover may take a while to arrive.
  audio_.play(now.currentStream, false);
  now.lyricText = service_.GetLyric(songId);
  view_.setCoverPicture(service_.GetCoverImage(songId));
}

void PlaybackController::showPlaying() {
  view_.setPlayButtonVisible(false);
  view_.setPauseButtonVisible(true);
}

void PlaybackController::showPaused() {
  view_.setPlayButtonVisible(true);
  view_.setPauseButtonVisible(false);
}

void PlaybackController::startSong(PlayQueue& queue, std::size_t position, bool takeSongFields) {
  const Song song = queue.at(position);
  NowPlaying& now = state_.now;

  replaceStream(song.id);
  now.currentSongId = song.id;

  view_.setSongNameCaption(song.name);
  view_.setArtistCaption(song.artists);
  view_.setWindowTitle(song.name);
  now.currentTitle = song.name + "-" + song.artists;
  if (takeSongFields) {
    now.currentArtists = song.artists;
    now.currentName = song.name;
    now.currentAlbum = song.album;
    now.likeSongId = song.id;
  }

  view_.setProgressTimerInterval(kProgressIntervalMs);
  view_.setAutoPlayTimerInterval(kAutoPlayIntervalMs);
  showPlaying();

  state_.history.append(song.name, song.artists, song.id);
  queue.removeAt(position);
  state_.queueCount = static_cast<int>(queue.size());
  if (state_.history.size() > kHistoryLimit) state_.history.clear();
}

// A square with fewer than eight rows only offers the rows it has; row 0 is drawn only when it
// is the one row there is, and an empty square asks for nothing.
void PlaybackController::loadRandomSquarePlaylist() {
  const int rows = view_.squareRowCount();
  if (rows <= 0) return;
  const int row =
      rows == 1 ? 0 : RandomBetween(*hooks_.random, 1, std::min(kLastDrawnSquareRow, rows - 1));
  view_.setArtistCaption("歌单加载中...");
  service_.LoadPlaylist(view_.squarePlaylistId(row), state_.playlistQueue, state_.playlist);
  state_.queueCount = static_cast<int>(state_.playlistQueue.size());
  view_.setArtistCaption(std::to_string(state_.queueCount) + "首歌曲加载完毕");
}

void PlaybackController::playNext() {
  if (starting_) return;
  FlagGuard guard(starting_);

  if (state_.playMode == kPersonalFmMode) {
    PlayQueue& queue = state_.fmQueue;
    if (queue.empty()) {
      service_.FetchPersonalFm(queue);
      state_.queueCount = static_cast<int>(queue.size());
      view_.setSongNameCaption(kPersonalFmMode);
    }
    if (!queue.empty()) {
      const int k = RandomBetween(*hooks_.random, 1, static_cast<int>(queue.size()));
      startSong(queue, static_cast<std::size_t>(k), true);
    }
  } else if (state_.playMode == kPlaylistMode) {
    hooks_.random->seed(hooks_.tickCount());
    PlayQueue& queue = state_.playlistQueue;
    if (queue.empty()) loadRandomSquarePlaylist();
    if (state_.playlist.playlistLoadCode == "200") {
      if (!queue.empty()) {
        const int k = RandomBetween(*hooks_.random, 1, static_cast<int>(queue.size()));
        startSong(queue, static_cast<std::size_t>(k), true);
      }
    } else if (state_.playlist.playlistLoadCode == "404") {
      view_.setSongNameCaption(state_.now.currentTitle);
    }
  }
}

void PlaybackController::playSelectedPlaylist(int row) {
  if (starting_) return;
  FlagGuard guard(starting_);

  view_.hidePlaylistSquare();
  state_.playMode = kPlaylistMode;
  view_.setFmButtonSelected(false);
  view_.setArtistCaption("歌单加载中...");
  service_.LoadPlaylist(view_.squarePlaylistId(row), state_.playlistQueue, state_.playlist);

  if (state_.playlist.playlistLoadCode == "200") {
    state_.queueCount = static_cast<int>(state_.playlistQueue.size());
    view_.setArtistCaption(std::to_string(state_.queueCount) + "首歌曲加载完毕");
    if (state_.queueCount > 0) {
      const int k = RandomBetween(*hooks_.random, 1, state_.queueCount);
      startSong(state_.playlistQueue, static_cast<std::size_t>(k), false);
    }
  } else if (state_.playlist.playlistLoadCode == "404") {
    view_.setSongNameCaption(state_.now.currentTitle);
  }
}

void PlaybackController::playPrevious() {
  if (starting_) return;
  PlayHistory& history = state_.history;
  if (history.size() <= 1) return;
  FlagGuard guard(starting_);

  // The entry before the newest; the newest stays, so repeated steps walk further back.
  const std::size_t p = history.size() - 1;
  const std::string id = history.ids[p - 1];
  const std::string caption = history.names[p - 1] + " - " + history.artists[p - 1];

  replaceStream(id);
  view_.setSongNameCaption(caption);
  view_.setWindowTitle(caption);
  state_.now.currentTitle = caption;

  view_.setProgressTimerInterval(kProgressIntervalMs);
  view_.setAutoPlayTimerInterval(kAutoPlayIntervalMs);
  // Like every other start: the song plays, so pausing is what the button offers.
  showPlaying();

  history.removeAt(p);
}

// The menu item also pauses; otherwise it does what the play button does.
void PlaybackController::togglePlayPause() {
  const std::uint32_t stream = state_.now.currentStream;
  if (audio_.isActive(stream) == 1) {
    audio_.pause(stream);
    showPaused();
    return;
  }
  resumeOrStart();
}

void PlaybackController::resumeOrStart() {
  const std::uint32_t stream = state_.now.currentStream;
  switch (audio_.isActive(stream)) {
    case 0:
      playNext();
      break;
    case 3:
      audio_.play(stream, false);
      showPlaying();
      break;
    default:
      break;
  }
}

void PlaybackController::pausePlayback() {
  const std::uint32_t stream = state_.now.currentStream;
  if (audio_.isActive(stream) != 1) return;
  audio_.pause(stream);
  view_.setWindowTitle("暂停播放");
  showPaused();
}

void PlaybackController::likeCurrentSong() {
  view_.setLikeInfoVisible(true);
  service_.LikeSong(state_.now.likeSongId);
  hooks_.pumpedWait(kLikeInfoMs);
  view_.setLikeInfoVisible(false);
}

void PlaybackController::onFmButtonClicked(bool selected) {
  state_.playMode = selected ? kPersonalFmMode : kPlaylistMode;
}

void PlaybackController::openSongPage() {
  if (state_.now.currentSongId.empty()) return;
  view_.openUrl(apiBaseAddress_ + "/#/song?id=" + state_.now.currentSongId);
}

void PlaybackController::autoPlayTick() {
  if (audio_.isActive(state_.now.currentStream) == 0) playNext();
}

void PlaybackController::progressTick() {
  const std::uint32_t stream = state_.now.currentStream;
  const std::int64_t position = audio_.getPosition(stream);
  const std::int64_t length = audio_.getLength(stream);

  // A length below the face width (or unknown) has no meaningful scale: the bar stays empty.
  int width = 0;
  if (length >= kFaceWidth && position > 0) {
    const double scaled =
        static_cast<double>(position) / (static_cast<double>(length) / kFaceWidth);
    width = static_cast<int>(std::min<double>(scaled, kFaceWidth));
  }
  view_.setProgressWidth(width);

  const std::string elapsed =
      ClockText(position >= 0 ? WholeSeconds(audio_.bytesToSeconds(stream, position)) : 0);
  const std::string total =
      ClockText(length > 0 ? WholeSeconds(audio_.bytesToSeconds(stream, length)) : 0);
  view_.setPlayTimes(elapsed, total);
  // Until the length is known there is no end to reach; stopping here would freeze the song.
  if (length > 0 && elapsed == total) view_.setProgressTimerInterval(0);

  showLyric(elapsed);
}

void PlaybackController::setArtistAndDesktopLyric(const std::string& text) {
  view_.setArtistCaption(text);
  // The desktop window shows what the label really holds.
  view_.setDesktopLyricText(view_.artistCaption(), 0);
}

void PlaybackController::showLyric(const std::string& timeKey) {
  const std::string& lyric = state_.now.lyricText;
  if (lyric.empty() || lyric == kNoLyricMatch) {
    setArtistAndDesktopLyric("当前暂无歌词");
    return;
  }
  if (hooks_.findLyricLine) {
    const std::string line = hooks_.findLyricLine(lyric, timeKey);
    if (!line.empty()) setArtistAndDesktopLyric(line);
  }
  if (lyric.find('[') == std::string::npos) setArtistAndDesktopLyric("当前歌词不支持滚动.");
}

}  // namespace lumora
