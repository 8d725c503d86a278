#pragma once
// Work that runs on a thread of its own while the GUI thread goes on with its events, without a
// nested event loop: each job's `done` comes back to the GUI thread as an event. Playback opens
// its songs and sends its likes here.
#include <QObject>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "common/Runners.h"

namespace lumora {

class WorkerJobs : public QObject, public BackgroundRunner {
  Q_OBJECT
 public:
  explicit WorkerJobs(QObject* parent = nullptr);
  ~WorkerJobs() override;

  void start(Job job, BlockingWork work, std::function<void()> done) override;
  void stopAll() override;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
    Job job;
  };
  // Joins the workers whose work has ended.
  void reap();

  std::vector<Worker> workers_;
  bool stopped_ = false;
};

}  // namespace lumora
