#pragma once
// One start at a time. A wish that comes while a start runs (a click during a pumped wait, or,
// once requests no longer block, while an answer is awaited) is kept and runs when that start
// ends; a later wish replaces a kept one, so the user's latest choice is what happens. Presses of
// next (or of previous) add up instead: three of them during a start are one wish of three steps.
// A start therefore never runs inside another, and a start that sees a kept wish after one of
// its answers gives way to it.
#include <functional>

namespace lumora {

class StartGate {
 public:
  using Wish = std::function<void()>;
  // A wish run with the number of presses it stands for.
  using Steps = std::function<void(int times)>;
  enum class Kind { Other, Next, Previous };

  // True when the caller may start now: the gate closes behind it and `wish` is remembered as
  // what runs (a retry runs it again, once). Otherwise the wish is kept and the answer is false.
  bool enter(Kind kind, Steps wish);
  bool enter(Wish wish) {
    return enter(Kind::Other, [wish = std::move(wish)](int) { wish(); });
  }
  // Keeps `wish` for the end of the running start: one more step of a kept wish of the same
  // kind, or in place of whatever was kept before.
  void keep(Kind kind, Steps wish);
  // The running start is over, however it ended; a kept wish runs now. A start that waits for
  // an answer leaves when the answer has come.
  void leave();
  bool busy() const { return busy_; }
  bool hasKept() const { return static_cast<bool>(kept_); }
  // True while a kept wish is being run: the start it makes carries on the one that gave way.
  bool handingOver() const { return handingOver_; }
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
  bool handingOver_ = false;
  Wish current_;
  Steps kept_;
  Kind keptKind_ = Kind::Other;
  int keptTimes_ = 0;
};

}  // namespace lumora
