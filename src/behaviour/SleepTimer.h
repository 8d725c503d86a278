#pragma once
// The sleep timer's choices: the items of 组合框_时间 and how long each waits before the
// program ends.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace lumora {

struct SleepDelay {
  std::string_view item;
  int periodMs;  // 0: no countdown
};

inline constexpr std::array<SleepDelay, 10> kSleepDelays{{
    {"不开启", 0},
    {"10分钟后", 600000},
    {"20分钟后", 1200000},
    {"30分钟后", 1800000},
    {"45分钟后", 2700000},
    {"60分钟后", 3600000},
    {"1小时15分钟后", 4500000},
    {"1小时30分钟后", 5400000},
    {"1小时45分钟后", 6300000},
    {"2小时后", 7200000},
}};

// The caption of 设定倒计时 for the selected item; nothing when no item is selected.
std::optional<std::string_view> sleepButtonCaption(int index);

// The countdown a confirm starts: 0 stops it, nothing leaves it as it is (no item selected).
std::optional<int> sleepPeriod(int index);

// The time a running countdown has left, rounded up to whole seconds: "剩余 1:14:59".
std::string sleepTimeLeftText(int msLeft);

}  // namespace lumora
