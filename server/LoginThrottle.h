#pragma once
// Slows a password guesser down: after a few failed logins from one address, each further
// login from it is answered later, twice as late per failure up to a ceiling. The answers
// themselves stay the same. A success, or a quarter of an hour without failures, forgives.
#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace lumora::server {

class LoginThrottle {
 public:
  static constexpr int kFreeFailures = 5;
  static constexpr int kFirstDelayMs = 500;
  static constexpr int kMaxDelayMs = 16000;

  // How much later to answer a login from this address.
  int DelayMs(const std::string& peer);
  void Failed(const std::string& peer);
  void Succeeded(const std::string& peer);

 private:
  using Clock = std::chrono::steady_clock;
  struct Record {
    int failures = 0;
    Clock::time_point last;
  };
  void Forget(Clock::time_point now);  // records older than the forgiving time

  std::mutex mutex_;
  std::unordered_map<std::string, Record> byPeer_;
};

}  // namespace lumora::server
