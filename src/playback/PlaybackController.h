#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/PlayQueue.h"
#include "playback/PlaybackInterfaces.h"

namespace lumora {

// What the window supplies besides the three interfaces. Empty members take the defaults noted.
struct PlaybackHooks {
  // The lyric line for a time key; empty gives no line at all.
  std::function<std::string(const std::string& lyricText, const std::string& timeKey)>
      findLyricLine;
  // Waits while the window keeps dispatching; default returns at once.
  std::function<void(int ms)> pumpedWait;
  // Milliseconds since some fixed moment; default the steady clock.
  std::function<std::uint32_t()> tickCount;
  // Default: a generator of its own.
  std::shared_ptr<RandomSource> random;
};

// The play modes, the song queues and the two playback timers of the main window. Every member
// runs on the window thread; the window binds its controls and timers to them.
class PlaybackController {
 public:
  static constexpr const char* kBitRate = "320000";

  PlaybackController(AudioOutput& audio, MusicService& service, PlayerView& view,
                     std::string apiBaseAddress, PlaybackHooks hooks = {});

  PlaybackState& state() { return state_; }
  const PlaybackState& state() const { return state_; }

  void playNext();
  void playPrevious();
  // Double-click on a row of the playlist square.
  void playSelectedPlaylist(int row);
  void togglePlayPause();  // menu
  void resumeOrStart();    // play button
  void pausePlayback();    // pause button
  void likeCurrentSong();
  void onFmButtonClicked(bool selected);
  // Left button on the song name.
  void openSongPage();
  void autoPlayTick();
  // The progress half and then the lyric half of the `time` handler.
  void progressTick();

 private:
  void startSong(PlayQueue& queue, std::size_t position, bool takeSongFields);
  void replaceStream(const std::string& songId);
  void showPlaying();
  void showPaused();
  void showLyric(const std::string& timeKey);
  void setArtistAndDesktopLyric(const std::string& text);
  void loadRandomSquarePlaylist();

  AudioOutput& audio_;
  MusicService& service_;
  PlayerView& view_;
  std::string apiBaseAddress_;
  PlaybackHooks hooks_;
  PlaybackState state_;
  // Set while a song start runs: pumped waits inside the service let timers fire mid-start.
  bool starting_ = false;
};

}  // namespace lumora
