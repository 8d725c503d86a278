#pragma once
// The texts of the last searches, by the id of the playlist each one's song titles made: a
// player that shows such a playlist in the square asks for it by id a moment later.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace lumora::server {

class RecentSearches {
 public:
  void Remember(std::uint64_t id, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!texts_.insert_or_assign(id, text).second) return;
    order_.push_back(id);
    if (order_.size() > kMost) {
      texts_.erase(order_.front());
      order_.pop_front();
    }
  }
  std::optional<std::string> Text(std::uint64_t id) const {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(id);
    return it == texts_.end() ? std::nullopt : std::optional(it->second);
  }

  static constexpr std::size_t kMost = 1000;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::uint64_t, std::string> texts_;
  std::deque<std::uint64_t> order_;  // the oldest first
};

}  // namespace lumora::server
