#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "playback/PlaybackClock.h"
#include "playback/PlaybackEvents.h"
#include "playback/PlaybackInterfaces.h"
#include "playback/PlaybackState.h"
#include "playback/StartGate.h"

namespace lumora {

// The web page of a song on the music server.
std::string SongPageUrl(const std::string& apiBaseAddress, const std::string& songId);

// What the window supplies besides the interfaces. Empty members take the defaults noted.
struct PlaybackHooks {
  // The lyric line for a time key; empty gives no line at all.
  std::function<std::string(const std::string& lyricText, const std::string& timeKey)>
      findLyricLine;
  // Waits while the window keeps dispatching; default returns at once.
  std::function<void(int ms)> pumpedWait;
  // Lets pending window events run once; default does nothing.
  std::function<void()> processPendingEvents;
  // Opens a web address in the desktop's browser; default does nothing.
  std::function<void(const std::string& url)> openUrl;
  // Milliseconds since some fixed moment; default the steady clock.
  std::function<std::uint32_t()> tickCount;
  // Default: a generator of its own.
  std::shared_ptr<RandomSource> random;
  // The progress bar's ticker (`time`), the auto-play ticker (`时钟_自动播放`) and the one that
  // tries again while the server is away; each ticks the routine of its name. Default: idle.
  std::shared_ptr<Ticker> progressTicker;
  std::shared_ptr<Ticker> autoPlayTicker;
  std::shared_ptr<Ticker> retryTicker;
  PlaybackPeriods periods;
};

// The play modes and the song queues. Every member runs on the window thread; the window binds
// its controls and timers to them, and observers hear what happens. The controller alone writes
// its state and starts and stops its tickers; others ask through the operations below.
class PlaybackController : private PlaylistLoadProgress {
 public:
  static constexpr const char* kBitRate = "320000";

  PlaybackController(AudioOutput& audio, MusicService& service, PlaylistSource& playlists,
                     std::string apiBaseAddress, PlaybackHooks hooks = {});

  // Observers are told in the order they were added; each must outlive the controller or be
  // removed first.
  void addObserver(PlaybackObserver& observer);
  void removeObserver(PlaybackObserver& observer);

  const PlaybackState& state() const { return state_; }
  // As last announced.
  PlayState playState() const { return playState_; }

  void playNext();
  void playPrevious();
  // Double-click on a row of the playlist square.
  void playSelectedPlaylist(int row);
  void togglePlayPause();  // menu
  void resumeOrStart();    // play button
  void pausePlayback();    // pause button
  void likeCurrentSong();
  void onFmButtonClicked(bool selected);
  // "私人FM模式" or "歌单模式"; the next song comes from that mode's queue.
  void setPlayMode(const std::string& mode);
  // After a login: the batch fetched for nobody is not the account's.
  void forgetFmBatch();
  // What a download calls the song until one starts.
  void setTitle(const std::string& title);
  // Shutdown: once the device is released nothing starts again, not even a start that is still
  // on the stack.
  void stopTickers();
  // Left button on the song name.
  void openSongPage();
  // The auto-play timer: starts the next song once the stream has stopped, and opens the next
  // song shortly before the end when it is known.
  void autoPlayTick();
  // The player says a stream ended or failed, as it happens: what comes next starts now, the
  // auto-play tick staying behind it in case the word never comes.
  void streamEnded();
  // Whether the face or the desktop lyrics can be seen; unseen, the progress ticker rests.
  void setWatched(bool watched);
  // The progress half and then the lyric half of the progress timer.
  void progressTick();
  // The stream was sought: the face follows on the next progress tick, one tick while paused.
  void positionMoved();
  // The back-off pause is over: what met no server is tried again.
  void retryTick();

 private:
  // Tests set a scene up directly.
  friend struct PlaybackControllerAccess;

  // Runs now, or when the running start ends; a routine that may start a song enters first.
  bool admit(StartGate::Kind kind, StartGate::Steps wish);
  bool admit(StartGate::Wish wish) {
    return admit(StartGate::Kind::Other, [wish = std::move(wish)](int) { wish(); });
  }
  void playNextSteps(int times);
  void playPreviousSteps(int times);
  void playPlaylist(const std::string& playlistId);
  // Takes a song from the queue and starts it; `passOver` songs drawn before it are left out
  // unheard, as if next had been pressed on each.
  void startFromQueue(PlayQueue& queue, int passOver = 0);
  // How a start's answers went: all in, none from the server, or a wish came meanwhile.
  enum class Opening { Ready, NoServer, GaveWay };
  // Asks for the song's address, stream, lyric and cover into `next`, holding off the swap.
  Opening openSong(const std::string& songId, NowPlaying& next);
  // A start that waited gives way to a wish that came meanwhile, or to the shutdown.
  bool superseded() const { return stopped_ || gate_.hasKept(); }
  bool starting() const { return gate_.busy() && !preparing_; }
  // The one moment a start changes what plays: `next` replaces the record whole and is told.
  // `followsEnd`: the old song ended by itself and sounds out meanwhile.
  void commit(const Song& song, bool fromHistory, NowPlaying next, bool followsEnd = false);
  void releaseStream(std::uint32_t stream);
  // The song drawn from the queue is in the record now; the history learns of it.
  void startDrawn(const Song& song, NowPlaying next, bool followsEnd = false);
  // The queue the next song of the mode comes from, when it already holds songs.
  PlayQueue* nextSongQueue();
  // Shortly before the end: the next song's answers and stream, held aside until the end.
  void prepareNext();
  // At the end: the prepared song plays, in one step. False when there is none to play.
  bool startPrepared();
  // Anything that changes what comes next (a start, a pause, a mode change) drops it.
  void discardPrepared();
  void freeRetired();
  // At each song start and each resume: both tickers from the start of their periods.
  void startTickers();
  void fail(PlaybackFailure::Kind kind);
  void waitForServer();
  void setState(PlayState state);
  void showLyric(const std::string& timeKey);
  // False when nothing was loaded: no playlist to draw, or no server.
  bool loadRandomSquarePlaylist();
  void loadPlaylist(const std::string& playlistId);
  void failPlaylistLoad();

  template <class Event>
  void announce(Event event) {
    for (std::size_t i = 0; i < observers_.size(); ++i) event(*observers_[i]);
  }

  void playlistNotFound() override;
  void playlistFound(const std::string& name, const std::string& coverBytes) override;
  void songsLoaded(std::size_t loaded, std::size_t total) override;

  AudioOutput& audio_;
  MusicService& service_;
  PlaylistSource& playlists_;
  std::vector<PlaybackObserver*> observers_;
  std::string apiBaseAddress_;
  PlaybackHooks hooks_;
  PlaybackState state_;
  PlayState playState_ = PlayState::Stopped;
  // Closed while a start runs: pumped waits inside the service let clicks and ticks in mid-start.
  StartGate gate_;
  bool stopped_ = false;
  // The auto-play tick runs from the first song start on, except while paused or waiting.
  bool autoPlayArmed_ = false;
  // Personal FM wants a login: the auto-play tick asks nothing until the user plays again.
  bool waitingForLogin_ = false;
  // The next song, asked for and opened aside; it stays in its queue until it plays.
  struct Prepared {
    Song song;
    std::string mode;
    NowPlaying record;
  };
  std::optional<Prepared> prepared_;
  // Counts the discards: a preparation that sees it change while it waits keeps nothing.
  std::uint64_t discards_ = 0;
  // The start (its startSerial) whose next song was last tried; 0 after a discard.
  std::uint64_t preparedFor_ = 0;
  // Set while a preparation awaits its answers: the gate is closed then, but no song starts.
  bool preparing_ = false;
  bool watched_ = true;
  // Streams freed at the next tick rather than on the way to a start, since taking a pipeline
  // down may take a while: a song that ended by itself, sounding out its last samples, and a
  // next song opened aside and dropped.
  std::vector<std::uint32_t> retired_;
  // A pause (or the toggle) pressed while a song starts: the song starts paused.
  bool startPaused_ = false;
  // While the server does not answer: the pause before the next try, and what is tried.
  int retryDelayMs_ = 0;
  StartGate::Wish retry_;
};

}  // namespace lumora
