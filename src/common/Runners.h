#pragma once
// The runners: how work that blocks its thread for a while (a transfer, a stream open) is run,
// and how the thread that asks for it waits. Each client that does such work is handed the
// runner it waits with: the window's hands the work to a worker and keeps handling events until
// it is done; the default runs it right on the calling thread. Callers stay synchronous either
// way, so the order of what they do never changes. Work that the asking thread should not wait
// for at all goes to a BackgroundRunner instead.
#include <atomic>
#include <functional>
#include <memory>

namespace lumora {

// Set when the work should give up: it polls the flag and returns soon afterwards, with whatever
// it takes as failure.
using StopFlag = std::atomic<bool>;
using BlockingWork = std::function<void(const StopFlag& stop)>;

class BlockingRunner {
 public:
  virtual ~BlockingRunner() = default;
  // Returns once the work has ended; a runner may also end it early through its stop flag, or
  // not start it at all (the program is closing).
  virtual void run(const BlockingWork& work) = 0;
};

// Runs the work right on the calling thread and never stops it: every client's default, for
// tests and tools. Holds no state, so any thread may use it.
BlockingRunner& InPlaceRunner();

// Runs the work right on the calling thread, stopped by a flag its owner holds: for work that
// already runs on a worker and is cancelled from elsewhere.
class FlaggedRunner final : public BlockingRunner {
 public:
  explicit FlaggedRunner(const StopFlag& stop) : stop_(stop) {}
  void run(const BlockingWork& work) override { work(stop_); }

 private:
  const StopFlag& stop_;
};

// Work handed away while the asking thread goes on with its events: `done` runs on the asking
// thread once the work has ended, a cancelled job's too (the asker tells what is stale, see
// Latest). Cancelling sets the work's stop flag, so a transfer or a stream open under way gives
// up within moments.
class BackgroundRunner {
 public:
  // Made by the asker before the job starts and kept to cancel it; copies share one flag.
  class Job {
   public:
    void cancel() { *stop_ = true; }
    const std::shared_ptr<StopFlag>& flag() const { return stop_; }

   private:
    std::shared_ptr<StopFlag> stop_ = std::make_shared<StopFlag>(false);
  };

  virtual ~BackgroundRunner() = default;
  virtual void start(Job job, BlockingWork work, std::function<void()> done) = 0;
  // Cancels every job and waits for its work to end; nothing runs afterwards, `done` neither.
  virtual void stopAll() = 0;
};

// Runs the work and then `done` right away, on the calling thread: the default, for tests and
// tools.
BackgroundRunner& InPlaceBackground();

}  // namespace lumora
