#pragma once
// Counts a timer's ticks from now on, so a test can wait for the program's own clock ("three
// auto-play ticks went by and nothing was asked") instead of sleeping. The count stops with this
// object, whatever outlives it.
#include <QObject>
#include <QTimer>

namespace lumora::test {

class TimerTicks : public QObject {
 public:
  explicit TimerTicks(QTimer* timer) : timer_(timer) {
    connect(timer, &QTimer::timeout, this, [this] { ++count_; });
  }
  int count() const { return count_; }
  // n ticks went by, or the timer rests and so cannot tick.
  bool passedOrResting(int n) const { return count_ >= n || !timer_->isActive(); }

 private:
  QTimer* timer_;
  int count_ = 0;
};

}  // namespace lumora::test
