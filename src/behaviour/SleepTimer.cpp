#include "behaviour/SleepTimer.h"

#include <cstdio>

namespace lumora {
namespace {

bool isItem(int index) { return index >= 0 && index < static_cast<int>(kSleepDelays.size()); }

}  // namespace

std::optional<std::string_view> sleepButtonCaption(int index) {
  if (!isItem(index)) return std::nullopt;
  return index == 0 ? std::string_view("取消") : std::string_view("确认设定");
}

std::optional<int> sleepPeriod(int index) {
  if (!isItem(index)) return std::nullopt;
  return kSleepDelays[static_cast<std::size_t>(index)].periodMs;
}

std::string sleepTimeLeftText(int msLeft) {
  // Rounded up, so a countdown still running never reads 0:00:00.
  const long seconds = msLeft > 0 ? (static_cast<long>(msLeft) + 999) / 1000 : 0;
  char clock[32];
  std::snprintf(clock, sizeof clock, "%ld:%02ld:%02ld", seconds / 3600, seconds % 3600 / 60,
                seconds % 60);
  return std::string("剩余 ") + clock;
}

}  // namespace lumora
