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

ScopedBlockingRunner::ScopedBlockingRunner(BlockingRunner& runner) : runner_(&runner) {
  BlockingRunner* none = nullptr;
  installed.compare_exchange_strong(none, runner_);
}

ScopedBlockingRunner::~ScopedBlockingRunner() {
  BlockingRunner* mine = runner_;
  installed.compare_exchange_strong(mine, nullptr);
}

}  // namespace lumora
