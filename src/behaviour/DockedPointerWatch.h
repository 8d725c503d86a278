#pragma once
// While the face rests docked at an edge, the pointer is watched without a poll: an input-only
// window over the area where the pointer could bring the face out reports the pointer's entry,
// and goes away at once so that it never takes a click. Only an X server offers this; elsewhere
// the docking check keeps polling.
#include <QByteArray>
#include <QObject>
#include <QRect>
#include <cstdint>

#include "behaviour/EdgeDocking.h"

struct xcb_connection_t;
class QScreen;
class QSocketNotifier;

namespace lumora {

class DockedPointerWatch : public QObject {
  Q_OBJECT
 public:
  // The X display the program's windows are on; empty on any other platform.
  static QByteArray programDisplay();

  // An empty display watches nothing: rest() always declines.
  explicit DockedPointerWatch(QObject* parent, QByteArray display = programDisplay());
  ~DockedPointerWatch() override;

  // After a step of the docking check (window and cursor relative to the screen's top-left):
  // true when the check may stop until entered(), the area being watched from now.
  bool rest(DockRect window, const DockStep& step, DockPoint cursor, const QScreen& screen);
  // Watches a rectangle of the root window, in the X server's pixels; false when it cannot.
  bool watch(const QRect& area);
  // Nothing is reported until the next watch.
  void stop();

 signals:
  // The pointer entered the area, or the display went away; the watch is over.
  void entered();

 private:
  bool connectDisplay();
  void readEvents();
  void raise();
  void disconnectDisplay();

  QByteArray display_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::uint32_t window_ = 0;
  QSocketNotifier* notifier_ = nullptr;
  bool watching_ = false;
};

}  // namespace lumora
