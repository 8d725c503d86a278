#pragma once
// The karaoke sweep of the desktop lyrics: how much of the shown line is lit, from the line
// timing alone. Lines are shown from the whole second of their tag on, so the line a position
// shows is the last one whose tag's second has come; it stays unlit until its own tag.
#include <string_view>
#include <vector>

namespace lumora {

// Every time tag ("[mm:ss]", "[mm:ss.xx]") of a lyric, in seconds, sorted, each once.
std::vector<double> LyricTagTimes(std::string_view lyricText);

// 0..1: from the shown line's tag to the next line's (the song's end after the last line; fully
// lit when that is unknown). 0 before the first line.
double SweepShare(const std::vector<double>& tags, double seconds, double songEnd);

}  // namespace lumora
