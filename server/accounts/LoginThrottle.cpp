#include "accounts/LoginThrottle.h"

#include <algorithm>
#include <cctype>

namespace lumora::server {

namespace {
constexpr auto kForgive = std::chrono::minutes(15);
// As long as a session lasts unused.
constexpr auto kKnownFor = std::chrono::hours(24 * 30);
constexpr std::size_t kMaxRecords = 20000;
// A login refused for want of room may come back this much later.
constexpr int kBusyRetryMs = 1000;

int IntervalMs(int failures) {
  const int over = failures - LoginThrottle::kFreeFailures;
  return over < 0 ? 0
                  : std::min(LoginThrottle::kMaxIntervalMs,
                             LoginThrottle::kFirstDelayMs << std::min(over, 8));
}
}  // namespace

LoginThrottle::Attempt::~Attempt() {
  if (throttle_) throttle_->End(*this);
}

LoginThrottle::Record* LoginThrottle::Find(const std::string& key, Clock::time_point now) {
  auto it = records_.find(key);
  if (it == records_.end()) return nullptr;
  Record& r = it->second;
  if (r.failures > 0 && now - r.last > kForgive) r.failures = r.failingPairs = 0;
  return &r;
}

LoginThrottle::Record& LoginThrottle::At(const std::string& key, Clock::time_point now) {
  if (Record* r = Find(key, now)) return *r;
  return records_[key];
}

LoginThrottle::Admission LoginThrottle::Begin(const std::string& peer, const std::string& account) {
  std::string name = account;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char ch) { return std::tolower(ch); });
  const std::string pairKey = "p:" + peer + "\n" + name;
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  if (records_.size() >= kMaxRecords) Forget(now);
  // Records are made only for a login that begins: refusals cost nothing to keep.
  const Record none;
  const Record* pair = Find(pairKey, now);
  const Record* address = Find("a:" + peer, now);
  const Record* owned = Find("u:" + name, now);
  const Record& byPair = pair ? *pair : none;
  const Record& byAddress = address ? *address : none;
  const Record& byAccount = owned ? *owned : none;

  const bool known = now < byPair.knownTill;
  const bool spared =
      known || (byPair.failures == 0 && byAccount.failingPairs + byAccount.sparedInFlight < 2);
  // The records whose pace holds this login.
  const Record* paced[] = {&byPair, known ? nullptr : &byAddress, spared ? nullptr : &byAccount};
  int intervalMs = 0, waitMs = 0;
  for (const Record* r : paced) {
    if (!r || r->failures < kFreeFailures) continue;
    intervalMs = std::max(intervalMs, IntervalMs(r->failures));
    if (now < r->next) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(r->next - now).count();
      waitMs = std::max(waitMs, static_cast<int>(left));
    }
  }
  if (waitMs > 0) return {nullptr, waitMs};
  const int delayMs = std::min(kMaxDelayMs, intervalMs);
  if (inFlight_ >= kInFlight || (delayMs > 0 && heldInFlight_ >= kHeldInFlight) ||
      byAddress.inFlight >= kPerAddress || (!spared && byAccount.inFlight >= kPerAccount))
    return {nullptr, kBusyRetryMs};

  Record& p = At(pairKey, now);
  Record& a = At("a:" + peer, now);
  Record& u = At("u:" + name, now);
  for (Record* r : {&p, known ? nullptr : &a, spared ? nullptr : &u})
    if (r && r->failures >= kFreeFailures)
      r->next = now + std::chrono::milliseconds(IntervalMs(r->failures));
  ++inFlight_;
  if (delayMs > 0) ++heldInFlight_;
  ++a.inFlight;
  if (spared)
    ++u.sparedInFlight;
  else
    ++u.inFlight;
  auto attempt = std::make_shared<Attempt>();
  attempt->throttle_ = this;
  attempt->peer_ = peer;
  attempt->account_ = std::move(name);
  attempt->spared_ = spared;
  attempt->delayMs = delayMs;
  return {std::move(attempt), 0};
}

void LoginThrottle::End(const Attempt& attempt) {
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  --inFlight_;
  if (attempt.delayMs > 0) --heldInFlight_;
  Record& pair = At("p:" + attempt.peer_ + "\n" + attempt.account_, now);
  Record& address = At("a:" + attempt.peer_, now);
  Record& account = At("u:" + attempt.account_, now);
  address.inFlight = std::max(0, address.inFlight - 1);
  int& underWay = attempt.spared_ ? account.sparedInFlight : account.inFlight;
  underWay = std::max(0, underWay - 1);
  if (attempt.failed_) {
    // The address counts the accounts it fails on, the account the addresses failing on it.
    if (pair.failures == 0) {
      address.failures = std::min(address.failures + 1, 1000);
      ++account.failingPairs;
    }
    for (Record* r : {&pair, &account}) r->failures = std::min(r->failures + 1, 1000);
    for (Record* r : {&pair, &address, &account}) r->last = now;
  }
  if (attempt.succeeded_) {
    pair.failures = 0;
    pair.knownTill = now + kKnownFor;
  }
}

void LoginThrottle::Forget(Clock::time_point now) {
  auto idle = [&](const auto& item) {
    return item.second.inFlight == 0 && item.second.sparedInFlight == 0 &&
           now >= item.second.knownTill;
  };
  std::erase_if(records_,
                [&](const auto& item) { return idle(item) && now - item.second.last > kForgive; });
  if (records_.size() >= kMaxRecords) std::erase_if(records_, idle);  // many at once: afresh
}

}  // namespace lumora::server
