#include "lyrics/KaraokeSweep.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace lumora {

namespace {

bool digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Reads the digits at `at`, moving past them; -1 when there are none.
long readDigits(std::string_view text, std::size_t& at, std::size_t* count = nullptr) {
  const std::size_t start = at;
  long value = 0;
  while (at < text.size() && digit(text[at]) && at - start < 6)
    value = value * 10 + (text[at++] - '0');
  if (count) *count = at - start;
  return at == start ? -1 : value;
}

}  // namespace

std::vector<double> LyricTagTimes(std::string_view text) {
  std::vector<double> tags;
  for (std::size_t open = text.find('['); open != std::string_view::npos;
       open = text.find('[', open + 1)) {
    std::size_t at = open + 1;
    const long minutes = readDigits(text, at);
    if (minutes < 0 || at >= text.size() || text[at++] != ':') continue;
    std::size_t secondDigits = 0;
    const long seconds = readDigits(text, at, &secondDigits);
    if (seconds < 0 || secondDigits != 2) continue;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
      std::size_t fractionDigits = 0;
      const long f = readDigits(text, ++at, &fractionDigits);
      if (f < 0) continue;
      fraction = f / std::pow(10.0, static_cast<double>(fractionDigits));
    }
    if (at >= text.size() || text[at] != ']') continue;
    tags.push_back(minutes * 60.0 + seconds + fraction);
  }
  std::sort(tags.begin(), tags.end());
  tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
  return tags;
}

double SweepShare(const std::vector<double>& tags, double seconds, double songEnd) {
  const double second = std::floor(seconds);
  // The first tag whose second has not come yet; the one before it is the shown line's.
  const auto next = std::find_if(tags.begin(), tags.end(),
                                 [second](double tag) { return std::floor(tag) > second; });
  if (next == tags.begin()) return 0.0;
  const double start = *(next - 1);
  const double end = next != tags.end() ? *next : songEnd;
  if (end <= start) return 1.0;
  return std::clamp((seconds - start) / (end - start), 0.0, 1.0);
}

}  // namespace lumora
