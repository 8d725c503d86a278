#pragma once
// What playback announces. The face, the desktop lyrics and anything else that follows the music
// register a PlaybackObserver with the controller; each overrides only what it shows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Song.h"

namespace lumora {

enum class PlayState { Stopped, Playing, Paused };

struct SongStart {
  Song song;
  // A step back through the history: the caption is name - artists.
  bool fromHistory = false;
};

struct PlaybackPosition {
  // In bytes of the stream; negative when unknown.
  std::int64_t position = -1;
  std::int64_t length = -1;
  // The elapsed time with its fraction; 0 when unknown.
  double seconds = 0;
  // Whole seconds and their mm:ss text.
  std::int64_t elapsedSeconds = 0;
  std::int64_t totalSeconds = 0;
  std::string elapsed;
  std::string total;
  // The elapsed time has reached a known total.
  bool reachedEnd = false;
};

struct PlaybackFailure {
  enum class Kind {
    // The service had no playable address for a started song; the next tick passes it over.
    SongUnavailable,
    // A playlist load answered with a code other than "200".
    PlaylistLoadFailed,
    // The server did not answer at all; the song stays queued and what met no server is tried
    // again after a growing pause.
    ServerUnreachable,
    // Personal FM answered that nobody is logged in; nothing is asked again until the user
    // plays or logs in.
    NeedsLogin,
    // A first play in playlist mode found no playlist to draw from.
    NoPlaylists,
  };
  Kind kind = Kind::SongUnavailable;
  Song song;
  std::string code;
  // The title shown before the load began.
  std::string title;
};

class PlaybackObserver {
 public:
  virtual ~PlaybackObserver() = default;

  virtual void stateChanged(PlayState) {}
  virtual void songStarted(const SongStart&) {}
  // The picture bytes of the song that starts; empty when there is none.
  virtual void coverChanged(const std::string&) {}
  // What the window should call the moment: the song, the step back, or a pause.
  virtual void titleChanged(const std::string&) {}
  virtual void positionChanged(const PlaybackPosition&) {}
  // The lyric line for the current second, or a note that there is none.
  virtual void lyricLineChanged(const std::string&) {}

  // A row of the playlist square was chosen: playlist mode from now on.
  virtual void playlistChosen() {}
  virtual void playlistLoadStarted() {}
  virtual void playlistNotFound() {}
  virtual void playlistFound(const std::string& /*name*/, const std::string& /*coverBytes*/) {}
  virtual void playlistLoadProgress(std::size_t /*loaded*/, std::size_t /*total*/) {}
  virtual void playlistLoaded(std::size_t /*songCount*/) {}
  virtual void fmBatchFetched(std::size_t /*queued*/) {}

  virtual void likeBoxShown(bool /*shown*/) {}
  virtual void likeResult(const std::string& /*text*/) {}

  virtual void failed(const PlaybackFailure&) {}
};

}  // namespace lumora
