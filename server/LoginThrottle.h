#pragma once
// Slows a password guesser down by counting attempts, not sequences: at most kPerAddress
// logins from one address, kPerAccount for one account and kInFlight in all are under way at
// once (others are refused at once), and after kFreeFailures failures of an address or an
// account each of its logins is held before its password is even looked at, and a further one
// sooner than an interval after it is refused at once. The interval doubles per failure up to
// kMaxIntervalMs, the pace a guesser had when it waited for each answer in turn; the hold
// stops at kMaxDelayMs, far below the time a client waits for an answer. A quarter of an hour
// without failures forgives; an account's success forgives the account, never the address (a
// guesser may well own an account).
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace lumora::server {

class LoginThrottle {
 public:
  static constexpr int kFreeFailures = 10;
  static constexpr int kFirstDelayMs = 500;
  static constexpr int kMaxDelayMs = 3000;
  static constexpr int kMaxIntervalMs = 16000;
  static constexpr int kPerAddress = 2;
  static constexpr int kPerAccount = 2;
  static constexpr int kInFlight = 16;

  // One login under way; it ends when the last copy goes, failed or not as said.
  class Attempt {
   public:
    ~Attempt();
    int delayMs = 0;  // how much later to look at the password
    void Failed() { failed_ = true; }
    void Succeeded() { succeeded_ = true; }

   private:
    friend class LoginThrottle;
    LoginThrottle* throttle_ = nullptr;
    std::string peer_, account_;
    bool failed_ = false, succeeded_ = false;
  };

  // A new login from peer for account (as typed, compared without case); nullptr when too
  // many are under way.
  std::shared_ptr<Attempt> Begin(const std::string& peer, const std::string& account);

 private:
  using Clock = std::chrono::steady_clock;
  struct Record {
    int failures = 0;
    int inFlight = 0;
    Clock::time_point last;  // the latest failure
    Clock::time_point next;  // once past its free failures, no login begins before this
  };
  void End(const Attempt& attempt);
  // The record of key, forgiven when its last failure is old.
  Record& At(const std::string& key, Clock::time_point now);
  void Forget(Clock::time_point now);  // idle records older than the forgiving time

  std::mutex mutex_;
  int inFlight_ = 0;
  std::unordered_map<std::string, Record> records_;  // "a:" address, "u:" account
};

}  // namespace lumora::server
