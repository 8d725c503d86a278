#pragma once
// The library looked at whole, by size and modification time, at an interval: how changes are
// followed where the folder watch cannot follow them (no inotify instance to be had, folders past
// the watch limit, a network file system). Off until started.
#include <algorithm>
#include <chrono>

namespace lumora::server {

class PeriodicCheck {
 public:
  using Clock = std::chrono::steady_clock;
  // The default: a walk of a large share every two minutes costs its server little.
  static constexpr std::chrono::seconds kInterval{120};

  void Start(Clock::duration every) {
    every_ = every;
    next_ = Clock::now() + every;
  }
  bool on() const { return every_ > Clock::duration::zero(); }
  // Milliseconds until the next look (0: due); -1 when off.
  int MsUntilDue() const {
    if (!on()) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next_ - Clock::now());
    return static_cast<int>(std::max<long>(0, left.count()));
  }
  // A look at the whole library ended just now.
  void Looked() { next_ = Clock::now() + every_; }

 private:
  Clock::duration every_{};
  Clock::time_point next_;
};

}  // namespace lumora::server
