#pragma once
// One piece of start-up work run on a thread of its own, so that the window is built meanwhile;
// whoever needs its result later finds it done or waits for what is left. Joined when it goes.
#include <thread>

namespace lumora {

class WarmUpThread {
 public:
  explicit WarmUpThread(void (*work)()) : thread_(work) {}
  ~WarmUpThread() { finish(); }
  // Waits for the work to be done.
  void finish() {
    if (thread_.joinable()) thread_.join();
  }
  WarmUpThread(const WarmUpThread&) = delete;
  WarmUpThread& operator=(const WarmUpThread&) = delete;

 private:
  std::thread thread_;
};

}  // namespace lumora
