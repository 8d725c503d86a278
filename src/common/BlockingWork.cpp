#include "common/BlockingWork.h"

namespace lumora {

namespace {

class InPlace final : public BlockingRunner {
 public:
  void run(const BlockingWork& work) override {
    const StopFlag never{false};
    work(never);
  }
};

}  // namespace

BlockingRunner& InPlaceRunner() {
  static InPlace runner;
  return runner;
}

}  // namespace lumora
