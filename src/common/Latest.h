#pragma once
// Tells a result that is still wanted from one asked for before something newer began: whoever
// asks takes the latest ticket, whatever supersedes it renews the count, and a result whose
// ticket is no longer the latest is dropped.
#include <cstdint>

namespace lumora {

class Latest {
 public:
  using Ticket = std::uint64_t;

  // Something new begins: every ticket taken before is stale from now on.
  Ticket renew() { return ++latest_; }
  Ticket current() const { return latest_; }
  bool isLatest(Ticket ticket) const { return ticket == latest_; }
  // Nothing has begun yet.
  bool untouched() const { return latest_ == 0; }

 private:
  Ticket latest_ = 0;
};

}  // namespace lumora
