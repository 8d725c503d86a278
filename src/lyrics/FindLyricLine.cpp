#include "lyrics/FindLyricLine.h"

#include <algorithm>

namespace lumora {

namespace {

// The words that follow the key in one "["-delimited segment: after the key's last occurrence,
// after the last "]", up to the first backslash-n pair; empty when either mark is missing.
std::string_view wordsAfterKey(std::string_view segment, std::string_view key) {
  std::string_view rest = segment.substr(segment.rfind(key) + key.size());
  const std::size_t bracket = rest.rfind(']');
  if (bracket == std::string_view::npos) return {};
  rest.remove_prefix(bracket + 1);
  const std::size_t lineEnd = rest.find("\\n");
  if (lineEnd == std::string_view::npos) return {};
  return rest.substr(0, lineEnd);
}

}  // namespace

std::string FindLyricLine(std::string_view lyricText, std::string_view timeKey) {
  if (timeKey.empty()) return {};
  std::string_view result;
  std::size_t start = 0;
  while (start <= lyricText.size()) {
    std::size_t end = lyricText.find('[', start);
    if (end == std::string_view::npos) end = lyricText.size();
    const std::string_view segment = lyricText.substr(start, end - start);
    if (segment.find(timeKey) != std::string_view::npos) result = wordsAfterKey(segment, timeKey);
    start = end + 1;
  }
  return std::string(result);
}

}  // namespace lumora
