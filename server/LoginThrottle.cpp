#include "LoginThrottle.h"

#include <algorithm>
#include <cctype>

namespace lumora::server {

namespace {
constexpr auto kForgive = std::chrono::minutes(15);
constexpr std::size_t kMaxRecords = 20000;
}  // namespace

LoginThrottle::Attempt::~Attempt() {
  if (throttle_) throttle_->End(*this);
}

LoginThrottle::Record& LoginThrottle::At(const std::string& key, Clock::time_point now) {
  Record& r = records_[key];
  if (r.failures > 0 && now - r.last > kForgive) r.failures = 0;
  return r;
}

std::shared_ptr<LoginThrottle::Attempt> LoginThrottle::Begin(const std::string& peer,
                                                             const std::string& account) {
  std::string name = account;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char ch) { return std::tolower(ch); });
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  if (records_.size() >= kMaxRecords) Forget(now);
  Record& byPeer = At("a:" + peer, now);
  Record& byAccount = At("u:" + name, now);
  if (inFlight_ >= kInFlight || byPeer.inFlight >= kPerAddress || byAccount.inFlight >= kPerAccount)
    return nullptr;
  const int over = std::max(byPeer.failures, byAccount.failures) - kFreeFailures;
  const int interval = over < 0 ? 0 : std::min(kMaxIntervalMs, kFirstDelayMs << std::min(over, 8));
  // Only a record past its free failures sets the pace.
  Record* const paced[] = {byPeer.failures >= kFreeFailures ? &byPeer : nullptr,
                           byAccount.failures >= kFreeFailures ? &byAccount : nullptr};
  for (Record* r : paced)
    if (r && now < r->next) return nullptr;
  for (Record* r : paced)
    if (r) r->next = now + std::chrono::milliseconds(interval);
  ++inFlight_;
  ++byPeer.inFlight;
  ++byAccount.inFlight;
  auto attempt = std::make_shared<Attempt>();
  attempt->throttle_ = this;
  attempt->peer_ = peer;
  attempt->account_ = std::move(name);
  attempt->delayMs = std::min(kMaxDelayMs, interval);
  return attempt;
}

void LoginThrottle::End(const Attempt& attempt) {
  std::lock_guard lock(mutex_);
  const auto now = Clock::now();
  --inFlight_;
  for (const std::string& key : {"a:" + attempt.peer_, "u:" + attempt.account_}) {
    Record& r = At(key, now);
    r.inFlight = std::max(0, r.inFlight - 1);
    if (attempt.failed_) {
      r.failures = std::min(r.failures + 1, 1000);
      r.last = now;
    }
  }
  if (attempt.succeeded_) At("u:" + attempt.account_, now).failures = 0;
}

void LoginThrottle::Forget(Clock::time_point now) {
  auto idle = [&](const auto& item) { return item.second.inFlight == 0; };
  std::erase_if(records_,
                [&](const auto& item) { return idle(item) && now - item.second.last > kForgive; });
  if (records_.size() >= kMaxRecords) std::erase_if(records_, idle);  // many at once: afresh
}

}  // namespace lumora::server
