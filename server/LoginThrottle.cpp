#include "LoginThrottle.h"

#include <algorithm>

namespace lumora::server {

namespace {
constexpr auto kForgive = std::chrono::minutes(15);
constexpr std::size_t kMaxRecords = 10000;
}  // namespace

int LoginThrottle::DelayMs(const std::string& peer) {
  std::lock_guard lock(mutex_);
  auto it = byPeer_.find(peer);
  const auto now = Clock::now();
  if (it == byPeer_.end() || now - it->second.last > kForgive) return 0;
  Record& r = it->second;
  int over = r.failures - kFreeFailures;
  if (over < 0) return 0;
  auto interval =
      std::chrono::milliseconds(std::min(kMaxDelayMs, kFirstDelayMs << std::min(over, 5)));
  r.answered =
      std::min(std::max(now, r.answered) + interval, now + std::chrono::milliseconds(kMaxWaitMs));
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(r.answered - now).count());
}

void LoginThrottle::Failed(const std::string& peer) {
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  if (byPeer_.size() >= kMaxRecords) Forget(now);
  Record& r = byPeer_[peer];
  if (now - r.last > kForgive) r.failures = 0;
  r.failures = std::min(r.failures + 1, 1000);
  r.last = now;
}

void LoginThrottle::Forget(Clock::time_point now) {
  std::erase_if(byPeer_, [&](const auto& item) { return now - item.second.last > kForgive; });
  if (byPeer_.size() >= kMaxRecords) byPeer_.clear();  // many addresses at once: start afresh
}

}  // namespace lumora::server
