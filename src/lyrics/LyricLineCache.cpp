#include "lyrics/LyricLineCache.h"

#include "lyrics/FindLyricLine.h"

namespace lumora {

namespace {

// Longer minute counts (a song of over 16 years) fall back to the plain lookup.
constexpr std::size_t kMaxMinuteDigits = 6;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits, a colon, then exactly two digits: every key ClockText gives.
bool isClockLike(std::string_view key) {
  if (key.size() < 4 || key.size() > kMaxMinuteDigits + 3) return false;
  const std::size_t colon = key.size() - 3;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (i == colon ? key[i] != ':' : !isDigit(key[i])) return false;
  }
  return true;
}

}  // namespace

void LyricLineCache::index(const std::string& lyricText) {
  text_ = lyricText;
  lastSegmentWith_.clear();
  const std::string_view text = text_;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('[', start);
    if (end == std::string_view::npos) end = text.size();
    const Segment segment{start, end - start};
    const std::string_view words = text.substr(start, segment.size);
    // Every clock-like piece ending at this colon, from one minute digit to the most allowed.
    for (std::size_t colon = words.find(':'); colon != std::string_view::npos;
         colon = words.find(':', colon + 1)) {
      if (colon + 2 >= words.size() || !isDigit(words[colon + 1]) || !isDigit(words[colon + 2]))
        continue;
      for (std::size_t digits = 1;
           digits <= kMaxMinuteDigits && digits <= colon && isDigit(words[colon - digits]);
           ++digits) {
        lastSegmentWith_[std::string(words.substr(colon - digits, digits + 3))] = segment;
      }
    }
    start = end + 1;
  }
}

std::string LyricLineCache::FindLine(const std::string& lyricText, std::string_view timeKey) {
  if (!isClockLike(timeKey)) return FindLyricLine(lyricText, timeKey);
  if (lyricText != text_) index(lyricText);
  const auto found = lastSegmentWith_.find(std::string(timeKey));
  if (found == lastSegmentWith_.end()) return {};
  const Segment segment = found->second;
  // The one segment goes through the plain lookup, so the words are cut exactly alike.
  return FindLyricLine(std::string_view(text_).substr(segment.start, segment.size), timeKey);
}

}  // namespace lumora
