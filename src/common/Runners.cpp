#include "common/Runners.h"

namespace lumora {

namespace {

class InPlace final : public BlockingRunner {
 public:
  void run(const BlockingWork& work) override {
    const StopFlag never{false};
    work(never);
  }
};

class InPlaceJobs final : public BackgroundRunner {
 public:
  void start(Job job, BlockingWork work, std::function<void()> done) override {
    work(*job.flag());
    done();
  }
  void stopAll() override {}
};

}  // namespace

BackgroundRunner& InPlaceBackground() {
  static InPlaceJobs runner;
  return runner;
}

BlockingRunner& InPlaceRunner() {
  static InPlace runner;
  return runner;
}

}  // namespace lumora
