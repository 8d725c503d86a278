#pragma once
// The GUI thread's waits. A pause of some milliseconds (the play modes' pumped waits) and blocking
// work (transfers, stream opens) both run a local event loop, so the window keeps painting and
// answering meanwhile; the work itself runs on a worker thread. The window hands it to every
// client whose work it waits for.
//
// Inside a wait anything the event loop delivers may run: paints, ticks, clicks, the media-player
// service. What keeps that safe: a start never runs inside another (StartGate keeps the wish); a
// routine reads the answer it parsed into apiJson with no wait in between; an answer for a
// routine superseded meanwhile is dropped (Latest); the window puts off its deletion until the
// outermost wait has returned (waitsFinished); and stop(), at the exit, ends the transfers and
// stream opens under way, so the routines beneath unwind at once, showing nothing.
#include <QObject>
#include <vector>

#include "common/Runners.h"

class QEventLoop;

namespace lumora {

class PumpedWaits : public QObject, public BlockingRunner {
  Q_OBJECT
 public:
  explicit PumpedWaits(QObject* parent = nullptr);
  ~PumpedWaits() override;

  void pause(int ms);
  // From another thread the work simply runs there.
  void run(const BlockingWork& work) override;

  // True while a wait runs: a routine is still on the stack below the events it lets through.
  bool waiting() const { return depth_ > 0; }

  // The program is closing: running work is told to stop, pauses end, and nothing new waits.
  void stop();

 signals:
  // The outermost wait has returned.
  void waitsFinished();

 private:
  void leave();

  int depth_ = 0;
  bool stopped_ = false;
  std::vector<StopFlag*> running_;
  std::vector<QEventLoop*> pauses_;
};

}  // namespace lumora
