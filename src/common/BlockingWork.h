#pragma once
// Work that blocks its thread for a while (a transfer, a stream open), and how the thread that
// asks for it waits. By default the work runs right on the calling thread; the window installs a
// runner that hands it to a worker and keeps handling events until it is done. Callers stay
// synchronous either way, so the order of what they do never changes.
#include <atomic>
#include <functional>

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

// Through the runner installed last, or right here when there is none.
void RunBlocking(const BlockingWork& work);

// Installs a runner while it lives, unless one is installed already: there is one window.
class ScopedBlockingRunner {
 public:
  explicit ScopedBlockingRunner(BlockingRunner& runner);
  ~ScopedBlockingRunner();
  ScopedBlockingRunner(const ScopedBlockingRunner&) = delete;
  ScopedBlockingRunner& operator=(const ScopedBlockingRunner&) = delete;

 private:
  BlockingRunner* runner_;
};

}  // namespace lumora
