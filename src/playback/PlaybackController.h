#pragma once
// The play modes: personal FM and playlists, their queues and history, the song playing, its
// tickers (progress, auto-play, retry, the like box) and what is announced to the observers. It
// alone writes PlaybackState, but during a call of its MusicService, which fills the FM queue, or
// the playlist queue and the load's state, it is handed. Others ask through named operations
// (setPlayMode, forgetFmBatch, setTitle, positionMoved, stopTickers). While the server is away,
// the routine that met no server is tried again after 1 s, 2, 4, ... up to 30 s; any start the
// user asks for replaces it. The end of a song and the song opened ahead are in SongEnd.cpp.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "playback/PlaybackClock.h"
#include "playback/PlaybackEvents.h"
#include "playback/PlaybackInterfaces.h"
#include "playback/PlaybackPlan.h"
#include "playback/PlaybackState.h"
#include "playback/SongOpening.h"
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
  // Where a song's opening and a like run while the window goes on; default right away, in
  // place. Must outlive the controller.
  BackgroundRunner* background = nullptr;
  // The progress bar's ticker (`time`), the auto-play ticker (`时钟_自动播放`), the one that
  // tries again while the server is away and the one that hides the like box; each ticks the
  // routine of its name. Default: idle.
  std::shared_ptr<Ticker> progressTicker;
  std::shared_ptr<Ticker> autoPlayTicker;
  std::shared_ptr<Ticker> retryTicker;
  std::shared_ptr<Ticker> likeBoxTicker;
  PlaybackPeriods periods;
};

// The play modes and the song queues: the order in which things happen. What is decided along
// the way is in PlaybackPlan.h, how a song is opened in SongOpening. Every member runs on the
// window thread; the window binds its controls and timers to them, and observers hear what
// happens. The controller alone writes its state and starts and stops its tickers; others ask
// through the operations below.
class PlaybackController : private PlaylistLoadProgress {
 public:
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
  void likeBoxTick();
  void onFmButtonClicked(bool selected);
  // "私人FM模式" or "歌单模式"; the next song comes from that mode's queue.
  void setPlayMode(const std::string& mode);
  // After a login: the batch fetched for nobody is not the account's.
  void forgetFmBatch();
  // What a download calls the song until one starts.
  void setTitle(const std::string& title);
  // Shutdown: every opening and like is given up and nothing starts again, not even a start
  // that is still on the stack.
  void stopTickers();
  // Left button on the song name.
  void openSongPage();
  // The auto-play timer: the end of a song that was never told, and the next song opened
  // shortly before the end when it is known.
  void autoPlayTick();
  // The player posted something: the song it took began, or the stream ended or failed. The
  // one place the end of a song is told; the auto-play tick stays behind it.
  void streamPosted();
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

  // A song being opened, and what for.
  struct Opening {
    Song song;
    // To start now, or opened ahead to follow the song that plays.
    enum class For { Start, Prepare } purpose = For::Start;
    // A step back: the history entries it leaves out.
    std::optional<StepBack> back;
    // The mode whose queue holds the song.
    std::string mode;
    // What a retry runs when the server did not answer.
    StartGate::Wish again;
  };
  // The next song, opened ahead; it stays in its queue until it plays.
  struct Prepared {
    Song song;
    std::string mode;
    NowPlaying record;
    // Handed to the stream that plays, to follow its last sample.
    bool offered = false;
  };

  // Runs now, or when the running start ends; a routine that may start a song enters first.
  bool admit(StartGate::Kind kind, StartGate::Steps wish);
  bool admit(StartGate::Wish wish) {
    return admit(StartGate::Kind::Other, [wish = std::move(wish)](int) { wish(); });
  }
  void playNextSteps(int times);
  void playPreviousSteps(int times);
  void playPlaylist(const std::string& playlistId);
  // Fills the mode's empty queue; false when nothing more should happen now.
  bool fillQueue();
  // Draws the song to open from the queue; `passOver` songs drawn before it are left out
  // unheard, as if next had been pressed on each. None when a newer wish came meanwhile.
  std::optional<Opening> drawFrom(PlayQueue& queue, int passOver = 0);
  void open(Opening opening, std::optional<NowPlaying> known = std::nullopt);
  void startSounding(std::uint32_t stream);
  // A stream of a start plays or waits paused, as the user last asked during the start.
  void followStartPause(std::uint32_t stream, bool paused);
  void opened(OpenedSong song);
  // A start under way gives way to a newer one: its song is passed over.
  void supersedeOpening();
  // The song leaves its queue, or the history the entries a step back left out.
  void leaveOrigin(const Opening& opening);
  bool starting() const;
  // The one moment a start changes what plays: `next` replaces the record whole and is told.
  void commit(const Song& song, bool fromHistory, NowPlaying next);
  void appendHistory(const Song& song);
  // Shortly before the end: the next song's answers, offered to the stream that plays.
  void prepareNext();
  void keepPrepared(const Opening& opening, NowPlaying record);
  // Anything that changes what comes next (a start, a pause, a mode change) drops the song
  // opened ahead, unless the stream has taken it already.
  void dropAhead();
  // The song the stream took began to sound.
  void nextSongBegan();
  // The stream ended or failed, or the tick found it stopped.
  void songEnded();
  // At each song start and each resume: both tickers from the start of their periods.
  void startTickers();
  void fail(PlaybackFailure::Kind kind);
  void waitForServer(StartGate::Wish again);
  void setState(PlayState state);
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
  // Closed while a start fills its queue: pumped waits inside the service let clicks and ticks
  // in mid-start.
  StartGate gate_;
  SongOpening opener_;
  std::optional<Opening> opening_;
  std::optional<Prepared> prepared_;
  // The song that plays had its next song opened ahead once already.
  bool nextTried_ = false;
  bool stopped_ = false;
  // The auto-play tick runs from the first song start on, except while paused or waiting.
  bool autoPlayArmed_ = false;
  // Personal FM wants a login, or the playlist loaded is gone: the auto-play tick asks nothing
  // (and opens no box) until the user plays or changes the mode.
  bool waitingForUser_ = false;
  bool watched_ = true;
  // The next progress tick shows the lyric line in effect, not only a line tagged this second.
  bool catchUp_ = false;
  // A pause (or the toggle) pressed while a song starts: the song starts paused.
  bool startPaused_ = false;
  // The stream of the start under way, sounding (or paused) before its record is committed.
  std::uint32_t startingStream_ = 0;
  // While the server does not answer: the pause before the next try, and what is tried.
  int retryDelayMs_ = 0;
  StartGate::Wish retry_;
};

}  // namespace lumora
