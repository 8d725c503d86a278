#pragma once

// FindLyricLine scans the whole lyric on every tick; for a long lyric that is most of the
// player's CPU. The cache reads the text once per song and answers each tick from an index.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lumora {

// Gives exactly FindLyricLine's line for every text and key.
class LyricLineCache {
 public:
  std::string FindLine(const std::string& lyricText, std::string_view timeKey);

 private:
  struct Segment {
    std::size_t start = 0;
    std::size_t size = 0;
  };

  void index(const std::string& lyricText);

  std::string text_;
  // Every clock-like piece ("m:ss" up to kMaxMinuteDigits minute digits) of the text, with the
  // last "["-delimited segment holding it: the only segment the plain lookup's answer comes from.
  std::unordered_map<std::string, Segment> lastSegmentWith_;
};

}  // namespace lumora
