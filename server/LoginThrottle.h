#pragma once
// Slows a password guesser down: after kFreeFailures failed logins from one address, each
// further login from it is answered an interval later, and no sooner than an interval after
// the one before, so parallel connections gain nothing. The interval doubles per failure up
// to a ceiling. The answers themselves stay the same. A quarter of an hour without failures
// forgives; a success does not (a guesser may well own an account).
#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

namespace lumora::server {

class LoginThrottle {
 public:
  static constexpr int kFreeFailures = 10;
  static constexpr int kFirstDelayMs = 500;
  static constexpr int kMaxDelayMs = 16000;
  static constexpr int kMaxWaitMs = 60000;  // however many logins queue up

  // How much later to answer a login from this address, which takes its turn.
  int DelayMs(const std::string& peer);
  void Failed(const std::string& peer);

 private:
  using Clock = std::chrono::steady_clock;
  struct Record {
    int failures = 0;
    Clock::time_point last;      // the latest failure
    Clock::time_point answered;  // when the latest held login is answered
  };
  void Forget(Clock::time_point now);  // records older than the forgiving time

  std::mutex mutex_;
  std::unordered_map<std::string, Record> byPeer_;
};

}  // namespace lumora::server
