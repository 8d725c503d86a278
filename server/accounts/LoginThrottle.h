#pragma once
// Slows a password guesser down without turning the slowing against the account's owner. Each
// login is counted against three records: its address and account together (the pair), its
// address, and its account. A guesser's pace is its pair's own: after kFreeFailures failures of
// the pair each of its logins is held before its password is even looked at, and a further one
// sooner than an interval after it is refused at once. The interval doubles per failure up to
// kMaxIntervalMs, the pace a guesser had when it waited for each answer in turn; the hold stops
// at kMaxDelayMs, far below the time a client waits for an answer.
//
// Beside it, an address that failed on kFreeFailures accounts (one password tried on many)
// is paced the same way by its address record, and an account that failed from several
// addresses (one account guessed from many) by its account record, so spreading the guesses
// gains nothing. The owner is spared both: a pair that logged in lately is paced by its own
// failures only, and a pair without failures of its own is let through while fewer than two
// other addresses are failing on the account. Other people's typos at the same address, or a
// guesser at another one, therefore never refuse the owner's right password.
//
// At most kPerAddress logins from one address, kPerAccount for one account (the owner's
// aside) and kInFlight in all are under way at once; logins held by a pace take at most
// kHeldInFlight of those, so a crowd of held guessers leaves room for a login nobody holds.
// A quarter of an hour without failures forgives a record.
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
  static constexpr int kHeldInFlight = 12;

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
    bool spared_ = false;  // not counted among the account's logins under way
    bool failed_ = false, succeeded_ = false;
  };

  // A login begun, or the time after which one may begin.
  struct Admission {
    std::shared_ptr<Attempt> attempt;
    int retryAfterMs = 0;
  };

  // A new login from peer for account (as typed, compared without case).
  Admission Begin(const std::string& peer, const std::string& account);

 private:
  using Clock = std::chrono::steady_clock;
  struct Record {
    int failures = 0;        // a pair's and an account's failures; an address's failing accounts
    int failingPairs = 0;    // an account's addresses that failed on it
    int sparedInFlight = 0;  // an account's logins under way spared its pace
    int inFlight = 0;
    Clock::time_point last;       // the latest failure
    Clock::time_point next;       // once past its free failures, no login begins before this
    Clock::time_point knownTill;  // a pair: its latest login, and a while after
  };
  void End(const Attempt& attempt);
  // The record of key, forgiven when its last failure is old; null when there is none.
  Record* Find(const std::string& key, Clock::time_point now);
  Record& At(const std::string& key, Clock::time_point now);
  void Forget(Clock::time_point now);  // idle records older than the forgiving time

  std::mutex mutex_;
  int inFlight_ = 0;
  int heldInFlight_ = 0;
  // "p:" address and account, "a:" address, "u:" account.
  std::unordered_map<std::string, Record> records_;
};

}  // namespace lumora::server
