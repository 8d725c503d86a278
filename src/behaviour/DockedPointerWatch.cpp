#include "behaviour/DockedPointerWatch.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <cstdlib>
#include <memory>
#include <utility>

#include "behaviour/DockingRest.h"

namespace lumora {

QByteArray DockedPointerWatch::programDisplay() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return {};
  return qgetenv("DISPLAY");
}

DockedPointerWatch::DockedPointerWatch(QObject* parent, QByteArray display)
    : QObject(parent), display_(std::move(display)) {}

DockedPointerWatch::~DockedPointerWatch() { disconnectDisplay(); }

bool DockedPointerWatch::rest(DockRect window, const DockStep& step, DockPoint cursor,
                              const QScreen& screen) {
  if (display_.isEmpty() || !dockingCanRest(window, step, cursor)) return false;
  const QRect geometry = screen.geometry();
  const DockRect a = dockingWatchArea(window);
  const QRect area =
      QRect(geometry.topLeft() + QPoint(a.left, a.top), QSize(a.width, a.height)) & geometry;
  const qreal ratio = screen.devicePixelRatio();
  return watch(QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio).toRect());
}

// The connection is the watch's own: the toolkit's keeps its event masks on the root window.
bool DockedPointerWatch::connectDisplay() {
  if (connection_) return true;
  if (display_.isEmpty()) return false;
  int screenNumber = 0;
  connection_ = xcb_connect(display_.constData(), &screenNumber);
  if (xcb_connection_has_error(connection_)) {
    disconnectDisplay();
    display_.clear();
    return false;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  root_ = it.data->root;
  window_ = xcb_generate_id(connection_);
  const std::uint32_t values[] = {1, XCB_EVENT_MASK_ENTER_WINDOW};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                    XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  notifier_ = new QSocketNotifier(xcb_get_file_descriptor(connection_), QSocketNotifier::Read,
                                  this);
  connect(notifier_, &QSocketNotifier::activated, this, &DockedPointerWatch::readEvents);
  return true;
}

void DockedPointerWatch::disconnectDisplay() {
  // Perhaps called from the notifier's own signal: it goes once that has returned.
  if (notifier_) {
    notifier_->setEnabled(false);
    notifier_->deleteLater();
  }
  notifier_ = nullptr;
  if (connection_) xcb_disconnect(connection_);
  connection_ = nullptr;
  watching_ = false;
}

bool DockedPointerWatch::watch(const QRect& area) {
  if (area.isEmpty() || !connectDisplay()) return false;
  const std::uint32_t place[] = {static_cast<std::uint32_t>(area.x()),
                                 static_cast<std::uint32_t>(area.y()),
                                 static_cast<std::uint32_t>(area.width()),
                                 static_cast<std::uint32_t>(area.height())};
  xcb_configure_window(connection_, window_,
                       XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                           XCB_CONFIG_WINDOW_HEIGHT,
                       place);
  xcb_map_window(connection_, window_);
  // Another window raised over the area would hide the pointer from it: every change of the
  // stacking is answered by raising the watch again.
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  watching_ = true;
  raise();
  return true;
}

void DockedPointerWatch::raise() {
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(connection_);
}

void DockedPointerWatch::stop() {
  if (!watching_) return;
  watching_ = false;
  const std::uint32_t none = 0;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &none);
  xcb_unmap_window(connection_, window_);
  xcb_flush(connection_);
}

void DockedPointerWatch::readEvents() {
  bool pointerIn = false;
  bool restacked = false;
  while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
    const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, &std::free);
    switch (event->response_type & 0x7f) {
      case XCB_ENTER_NOTIFY:
        pointerIn = pointerIn || reinterpret_cast<xcb_enter_notify_event_t*>(raw)->event == window_;
        break;
      case XCB_CONFIGURE_NOTIFY:
        restacked =
            restacked || reinterpret_cast<xcb_configure_notify_event_t*>(raw)->window != window_;
        break;
      case XCB_MAP_NOTIFY:
        restacked = restacked || reinterpret_cast<xcb_map_notify_event_t*>(raw)->window != window_;
        break;
      default:
        break;
    }
  }
  if (xcb_connection_has_error(connection_)) {
    const bool wasWatching = watching_;
    disconnectDisplay();
    display_.clear();
    if (wasWatching) emit entered();
    return;
  }
  if (!watching_) return;
  if (pointerIn) {
    stop();
    emit entered();
  } else if (restacked) {
    raise();
  }
}

}  // namespace lumora
