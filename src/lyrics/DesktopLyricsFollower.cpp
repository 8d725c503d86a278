#include "lyrics/DesktopLyricsFollower.h"

#include "lyrics/KaraokeSweep.h"

namespace lumora {

// The last song's line goes with its stream; until the new song's first line the window says
// who sings, as the face does.
void DesktopLyricsFollower::songStarted(const SongStart& start) {
  percent_ = 0;
  lyricLineChanged(start.song.artists);
}

void DesktopLyricsFollower::lyricLineChanged(const std::string& line) {
  line_ = line;
  lyrics_.SetText(line, sweep_ ? percent_ : 0);
}

// The window renders only when the lit share has moved by a whole percent.
void DesktopLyricsFollower::positionChanged(const PlaybackPosition& at) {
  if (!sweep_) return;
  percent_ = sweepPercent(at);
  if (!line_.empty()) lyrics_.SetText(line_, percent_);
}

int DesktopLyricsFollower::sweepPercent(const PlaybackPosition& at) {
  const std::string& text = lyricText_();
  if (text != taggedText_) {
    taggedText_ = text;
    tags_ = LyricTagTimes(text);
  }
  return static_cast<int>(SweepShare(tags_, at.seconds, static_cast<double>(at.totalSeconds)) *
                          100);
}

void DesktopLyricsFollower::setSweep(bool on) {
  sweep_ = on;
  percent_ = 0;
  // Before the first line the window keeps its greeting.
  if (!line_.empty()) lyrics_.SetText(line_, 0);
}

}  // namespace lumora
