#pragma once
// The one way a song is opened: its address, its stream, its lyric and its cover, asked for one
// after another on a worker into a record of its own, while the window's thread goes on and the
// song before plays on. The stream is handed over as soon as it is open, so that the song can
// sound while its lyric and cover are asked for. A press of next, previous or a playlist, a
// pause, a mode change or the exit cancels it: the transfer or the stream open under way gives
// up at once, a stream it opened is freed, and nothing it found is used.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/Runners.h"
#include "common/Latest.h"
#include "playback/PlaybackInterfaces.h"
#include "playback/PlaybackState.h"

namespace lumora {

struct OpenedSong {
  // False when the server did not answer for the address: nothing else was asked.
  bool answered = true;
  // The address, the stream (0 when none was asked for or it could not be opened), the lyric and
  // the cover.
  NowPlaying record;
};

// The runner must deliver nothing more once the opening is gone (BackgroundRunner::stopAll).
class SongOpening {
 public:
  static constexpr const char* kBitRate = "320000";
  using Done = std::function<void(OpenedSong)>;
  // The stream opened, still the opening's: it is in the record handed to `done`.
  using Sounding = std::function<void(std::uint32_t stream)>;

  SongOpening(AudioOutput& audio, MusicService& service, BackgroundRunner& runner)
      : audio_(audio), service_(service), runner_(runner) {}
  ~SongOpening() { cancel(); }
  SongOpening(const SongOpening&) = delete;
  SongOpening& operator=(const SongOpening&) = delete;

  // Cancels the opening under way, then opens `songId`; `sounding` and then `done` run on this
  // thread. `known` answers are not asked for again: a song opened ahead whose stream is wanted
  // after all needs its stream alone. Without `withStream` the address is left for the stream
  // that plays to take.
  void begin(const std::string& songId, bool withStream, std::optional<NowPlaying> known,
             Sounding sounding, Done done);
  void cancel();
  bool busy() const { return busy_; }

 private:
  void finish(OpenedSong& song, const Sounding& sounding, const Done& done);

  AudioOutput& audio_;
  MusicService& service_;
  BackgroundRunner& runner_;
  Latest latest_;
  BackgroundRunner::Job job_;
  bool busy_ = false;
  // The stream opened, until the record that holds it is handed over.
  std::uint32_t stream_ = 0;
};

}  // namespace lumora
