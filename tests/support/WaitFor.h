#pragma once
// Polls until done() holds or the time is up. Players and windows are queried from the calling
// thread only, so tests poll instead of waiting on a signal.
#include <chrono>
#include <functional>
#include <thread>

namespace lumora::test {

inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit,
                    const std::function<void()>& betweenPolls = {}) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    if (betweenPolls) betweenPolls();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

}  // namespace lumora::test
