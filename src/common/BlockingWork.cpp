#include "common/BlockingWork.h"

namespace lumora {

namespace {

// Installed on the GUI thread; a runner asked from another thread runs the work right there.
std::atomic<BlockingRunner*> installed{nullptr};

}  // namespace

void RunBlocking(const BlockingWork& work) {
  if (BlockingRunner* runner = installed.load()) {
    runner->run(work);
    return;
  }
  const StopFlag never{false};
  work(never);
}

ScopedBlockingRunner::ScopedBlockingRunner(BlockingRunner& runner)
    : previous_(installed.exchange(&runner)) {}

ScopedBlockingRunner::~ScopedBlockingRunner() { installed = previous_; }

}  // namespace lumora
