#include "behaviour/LiveWindowFlags.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>

namespace lumora {
namespace {

// On X11 a window that is transparent for input stops selecting key events as well, so Ctrl+G
// could never switch click-through off again. They are selected again by hand.
void keepKeyEvents(QWindow* native) {
  // Other platforms (offscreen among them) may answer as X11 without an X connection.
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection || !native->flags().testFlag(Qt::WindowTransparentForInput)) return;
  const auto id = static_cast<xcb_window_t>(native->winId());
  xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
      connection, xcb_get_window_attributes(connection, id), nullptr);
  if (!attributes) return;
  const std::uint32_t mask =
      attributes->your_event_mask | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
  std::free(attributes);
  xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection);
}

}  // namespace

// Changing a flag through QWidget re-creates a shown window, which vanishes and comes back. The
// native window takes the flag in place, and the widget's record is brought in line with it.
void setLiveWindowFlag(QWidget* window, Qt::WindowType flag, bool on) {
  if (window->windowFlags().testFlag(flag) == on) return;
  QWindow* native = window->windowHandle();
  if (!native) {
    window->setWindowFlag(flag, on);
    return;
  }
  Qt::WindowFlags flags = window->windowFlags();
  flags.setFlag(flag, on);
  window->overrideWindowFlags(flags);
  native->setFlags(flags);
  keepKeyEvents(native);
}

}  // namespace lumora
