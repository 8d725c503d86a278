#pragma once
// One start at a time. A wish that comes while a start runs (a click during a pumped wait, or,
// once requests no longer block, while an answer is awaited) is kept and runs when that start
// ends; a later wish replaces a kept one, so the user's latest choice is what happens. A start
// therefore never runs inside another.
#include <functional>

namespace lumora {

class StartGate {
 public:
  using Wish = std::function<void()>;

  // True when the caller may start now: the gate closes behind it and `wish` is remembered as
  // what runs (a retry runs it again). Otherwise the wish is kept and the answer is false.
  bool enter(Wish wish);
  // Keeps `wish` for the end of the running start, replacing any kept before.
  void keep(Wish wish) { kept_ = std::move(wish); }
  // The running start is over, however it ended; a kept wish runs now. A start that waits for
  // an answer leaves when the answer has come.
  void leave();
  bool busy() const { return busy_; }
  const Wish& current() const { return current_; }
  void forgetKept() { kept_ = nullptr; }

  // Leaves when the scope of a start that ends with its routine is left.
  class Pass {
   public:
    explicit Pass(StartGate& gate) : gate_(gate) {}
    ~Pass() { gate_.leave(); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

   private:
    StartGate& gate_;
  };

 private:
  bool busy_ = false;
  Wish current_;
  Wish kept_;
};

}  // namespace lumora
