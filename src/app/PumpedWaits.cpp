#include "app/PumpedWaits.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <thread>

namespace lumora {

PumpedWaits::PumpedWaits(QObject* parent) : QObject(parent) {}

PumpedWaits::~PumpedWaits() = default;

void PumpedWaits::pause(int ms) {
  if (stopped_) return;
  ++depth_;
  QEventLoop loop;
  pauses_.push_back(&loop);
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  std::erase(pauses_, &loop);
  leave();
}

void PumpedWaits::run(const BlockingWork& work) {
  if (QThread::currentThread() != thread()) {
    InPlaceRunner().run(work);
    return;
  }
  if (stopped_) return;
  ++depth_;
  StopFlag stop{false};
  std::atomic<bool> done{false};
  running_.push_back(&stop);
  QEventLoop loop;
  std::thread worker([&] {
    work(stop);
    done = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  if (!done) loop.exec();
  // The loop also ends when the application is told to exit, which ends every loop at once:
  // then the work is told to stop, which it does within a few tens of milliseconds.
  if (!done) stop = true;
  worker.join();
  std::erase(running_, &stop);
  leave();
}

void PumpedWaits::stop() {
  stopped_ = true;
  for (StopFlag* flag : running_) *flag = true;
  for (QEventLoop* loop : pauses_) loop->quit();
}

void PumpedWaits::leave() {
  if (--depth_ == 0) emit waitsFinished();
}

}  // namespace lumora
