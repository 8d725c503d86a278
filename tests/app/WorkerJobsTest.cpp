// Work on a thread of its own: its end comes back to the GUI thread as an event; a cancelled
// job's work is told to stop and its end still comes back; once stopped, nothing comes back.
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/WorkerJobs.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

TEST(WorkerJobs, TheEndComesBackToTheAskingThreadUnlessStopped) {
  const struct {
    const char* name;
    bool cancel, stopAll;
    bool done, workStopped;
  } rows[] = {
      {"left alone", false, false, true, false},
      {"cancelled", true, false, true, true},
      {"all stopped", false, true, false, true},
  };
  for (const auto& row : rows) {
    WorkerJobs jobs;
    std::atomic<bool> go{false};
    std::atomic<bool> workStopped{false};
    bool done = false;
    std::thread::id doneOn;
    BackgroundRunner::Job job;
    jobs.start(
        job,
        [&](const StopFlag& stop) {
          while (!go && !stop) std::this_thread::sleep_for(1ms);
          workStopped = bool(stop);
        },
        [&] {
          done = true;
          doneOn = std::this_thread::get_id();
        });
    if (row.cancel) job.cancel();
    if (row.stopAll) jobs.stopAll();
    go = true;
    // A worker that was stopped has ended and posted whatever it posts by now.
    waitFor([&] { return done || row.stopAll; }, 10s, [] { QApplication::processEvents(); });
    QApplication::processEvents();
    EXPECT_EQ(done, row.done) << row.name;
    EXPECT_EQ(workStopped, row.workStopped) << row.name;
    if (done) {
      EXPECT_EQ(doneOn, std::this_thread::get_id()) << row.name;
    }
  }
}

}  // namespace
}  // namespace lumora::test
