#pragma once
// Work that blocks its thread for a while (a transfer, a stream open), and how the thread that
// asks for it waits. Each client that does such work is handed the runner it waits with: the
// window's hands the work to a worker and keeps handling events until it is done; the default
// runs it right on the calling thread. Callers stay synchronous either way, so the order of what
// they do never changes.
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

// Runs the work right on the calling thread and never stops it: every client's default, for
// tests and tools. Holds no state, so any thread may use it.
BlockingRunner& InPlaceRunner();

}  // namespace lumora
