#include "behaviour/ClickThrough.h"

#include <algorithm>
#include <charconv>

namespace lumora {

int clickThroughAlpha(std::string_view percentText) {
  const std::size_t start = percentText.find_first_not_of(' ');
  if (start == std::string_view::npos) return 0;
  const char* first = percentText.data() + start;
  const char* last = percentText.data() + percentText.size();
  if (*first == '+') ++first;
  long long percent = 0;
  if (std::from_chars(first, last, percent).ec == std::errc::result_out_of_range)
    percent = *first == '-' ? 0 : 100;
  return static_cast<int>(std::clamp(percent, 0LL, 100LL)) * 255 / 100;
}

ClickThroughLook clickThroughLook(bool on, std::string_view percentText,
                                  ClickThroughHeights heights) {
  if (!on) return {255, heights.off, false};
  return {clickThroughAlpha(percentText), heights.on, true};
}

}  // namespace lumora
