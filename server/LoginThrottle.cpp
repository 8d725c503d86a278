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
  if (it == byPeer_.end() || Clock::now() - it->second.last > kForgive) return 0;
  int over = it->second.failures - kFreeFailures;
  if (over < 0) return 0;
  return std::min(kMaxDelayMs, kFirstDelayMs << std::min(over, 5));
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

void LoginThrottle::Succeeded(const std::string& peer) {
  std::lock_guard lock(mutex_);
  byPeer_.erase(peer);
}

void LoginThrottle::Forget(Clock::time_point now) {
  std::erase_if(byPeer_, [&](const auto& item) { return now - item.second.last > kForgive; });
  if (byPeer_.size() >= kMaxRecords) byPeer_.clear();  // many addresses at once: start afresh
}

}  // namespace lumora::server
