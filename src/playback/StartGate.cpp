#include "playback/StartGate.h"

#include <utility>

namespace lumora {

bool StartGate::enter(Wish wish) {
  if (busy_) {
    keep(std::move(wish));
    return false;
  }
  busy_ = true;
  current_ = std::move(wish);
  return true;
}

void StartGate::leave() {
  busy_ = false;
  current_ = nullptr;
  if (!kept_) return;
  Wish next = std::move(kept_);
  kept_ = nullptr;
  next();
}

}  // namespace lumora
