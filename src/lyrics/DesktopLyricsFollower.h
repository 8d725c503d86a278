#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "lyrics/DesktopLyricsWindow.h"
#include "playback/PlaybackEvents.h"

namespace lumora {

// The desktop lyrics window shows each lyric line as the face does; with the sweep on, the line
// is lit from its time tag to the next line's, a step each progress tick.
class DesktopLyricsFollower : public PlaybackObserver {
 public:
  using LyricText = std::function<const std::string&()>;
  DesktopLyricsFollower(DesktopLyricsWindow& lyrics, LyricText lyricText)
      : lyrics_(lyrics), lyricText_(std::move(lyricText)) {}
  void songStarted(const SongStart& start) override;
  void lyricLineChanged(const std::string& line) override;
  void positionChanged(const PlaybackPosition& at) override;
  // Off by default: the line is drawn in the fill colours alone.
  void setSweep(bool on);

 private:
  int sweepPercent(const PlaybackPosition& at);

  DesktopLyricsWindow& lyrics_;
  LyricText lyricText_;
  bool sweep_ = false;
  std::string line_;
  int percent_ = 0;
  // The tags of the lyric they were read from, read again when the song's lyric changes.
  std::string taggedText_;
  std::vector<double> tags_;
};

}  // namespace lumora
