#include "behaviour/EdgeDockingTimer.h"

#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "behaviour/DockedPointerWatch.h"
#include "behaviour/EdgeDocking.h"
#include "behaviour/LiveWindowFlags.h"

namespace lumora {
namespace {

constexpr int kDockPeriodMs = 10;

}  // namespace

EdgeDockingTimer::EdgeDockingTimer(QWidget* window, QCheckBox* box, QLabel* label, QTimer* timer,
                                   QSize face)
    : QObject(window),
      window_(window),
      box_(box),
      label_(label),
      timer_(timer),
      dockedWatch_(new DockedPointerWatch(this)) {
  connect(box_, &QCheckBox::toggled, this, &EdgeDockingTimer::align);
  connect(dockedWatch_, &DockedPointerWatch::entered, this, &EdgeDockingTimer::align);
  connect(timer_, &QTimer::timeout, this, &EdgeDockingTimer::step);
  label_->installEventFilter(this);
  window_->installEventFilter(this);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // A screen of another size may put the window at an edge, or take it away from one.
    connect(screen, &QScreen::geometryChanged, this, &EdgeDockingTimer::align);
    window_->move(screen->availableGeometry().center() -
                  QPoint(face.width() / 2, face.height() / 2));
  }
}

void EdgeDockingTimer::stop() {
  stopped_ = true;
  timer_->stop();
}

// Started anew only when stopped: a drag's stream of moves must not keep pushing the tick away.
void EdgeDockingTimer::align() {
  dockedWatch_->stop();
  if (!box_->isChecked() || stopped_)
    timer_->stop();
  else if (!timer_->isActive())
    timer_->start(kDockPeriodMs);
}

void EdgeDockingTimer::step() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QPoint origin = area.topLeft();
  const QRect frame = window_->geometry();
  const QPoint cursor = QCursor::pos() - origin;
  const DockScreen size{area.width(), area.height()};
  const DockRect before{frame.x() - origin.x(), frame.y() - origin.y(), frame.width(),
                        frame.height()};
  const DockStep step = dockWindow(before, {cursor.x(), cursor.y()}, size);
  const QPoint target = origin + QPoint(step.window.left, step.window.top);
  if (target != frame.topLeft()) window_->move(target);
  setLiveWindowFlag(window_, Qt::WindowStaysOnTopHint, step.alwaysOnTop);
  // Docked and left as it was, the window waits for the pointer rather than polling for it.
  if (!dockingCanMove(step.window, size) ||
      dockedWatch_->rest(before, step, {cursor.x(), cursor.y()}, *screen))
    timer_->stop();
}

bool EdgeDockingTimer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label_ && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    box_->toggle();
  } else if (watched == window_ &&
             (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
              event->type() == QEvent::Show)) {
    align();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora
