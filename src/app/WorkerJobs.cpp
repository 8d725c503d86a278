#include "app/WorkerJobs.h"

#include <utility>

namespace lumora {

WorkerJobs::WorkerJobs(QObject* parent) : QObject(parent) {}

WorkerJobs::~WorkerJobs() { stopAll(); }

// The work lets go of what it holds on its own thread; `done` is delivered to this object,
// which is there as long as any worker runs, since it waits for them before it goes.
void WorkerJobs::start(Job job, BlockingWork work, std::function<void()> done) {
  if (stopped_) {
    job.cancel();
    return;
  }
  reap();
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([this, work = std::move(work), done = std::move(done), stop = job.flag(),
                      finished]() mutable {
    work(*stop);
    work = nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, done = std::move(done)] {
          if (!stopped_) done();
        },
        Qt::QueuedConnection);
    *finished = true;
  });
  workers_.push_back({std::move(thread), std::move(finished), job});
}

void WorkerJobs::stopAll() {
  stopped_ = true;
  for (Worker& worker : workers_) worker.job.cancel();
  for (Worker& worker : workers_) worker.thread.join();
  workers_.clear();
}

void WorkerJobs::reap() {
  std::erase_if(workers_, [](Worker& worker) {
    if (!*worker.finished) return false;
    worker.thread.join();
    return true;
  });
}

}  // namespace lumora
