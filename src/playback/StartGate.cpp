#include "playback/StartGate.h"

#include <utility>

namespace lumora {

bool StartGate::enter(Kind kind, Steps wish) {
  if (busy_) {
    keep(kind, std::move(wish));
    return false;
  }
  busy_ = true;
  current_ = [wish = std::move(wish)] { wish(1); };
  return true;
}

void StartGate::keep(Kind kind, Steps wish) {
  const bool again = kept_ && kind != Kind::Other && kind == keptKind_;
  keptTimes_ = again ? keptTimes_ + 1 : 1;
  keptKind_ = kind;
  kept_ = std::move(wish);
}

void StartGate::leave() {
  busy_ = false;
  current_ = nullptr;
  if (!kept_) return;
  Steps next = std::move(kept_);
  kept_ = nullptr;
  handingOver_ = true;
  next(keptTimes_);
  handingOver_ = false;
}

}  // namespace lumora
