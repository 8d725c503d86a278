#include "behaviour/WindowsAbove.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <vector>

namespace lumora {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// The child of the root that holds `window` (a window manager puts a frame in between); 0 when
// the window is gone.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t window) {
  for (int depth = 0; window != XCB_NONE && depth < 64; ++depth) {
    ReplyPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree) return XCB_NONE;
    if (tree->parent == tree->root || tree->parent == XCB_NONE) return window;
    window = tree->parent;
  }
  return XCB_NONE;
}

}  // namespace

QList<QRect> windowsAbove(xcb_connection_t* c, std::uint32_t window,
                          const QList<std::uint32_t>& own) {
  const xcb_window_t top = topLevelOf(c, window);
  if (top == XCB_NONE) return {};
  QList<xcb_window_t> ours;
  for (std::uint32_t w : own) ours.push_back(topLevelOf(c, w));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  if (!tree) return {};
  // The root's children come bottom first.
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  int at = 0;
  while (at < count && children[at] != top) ++at;
  // All questions go out before the first answer is awaited: one round trip for them all.
  struct Asked {
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
  };
  std::vector<Asked> asked;
  for (int i = at + 1; i < count; ++i) {
    if (ours.contains(children[i])) continue;
    asked.push_back({xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i])});
  }
  QList<QRect> above;
  for (const Asked& a : asked) {
    ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, a.attributes, nullptr));
    ReplyPtr<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, a.geometry, nullptr));
    if (!attributes || !g || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
      continue;
    above.push_back(
        QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width));
  }
  return above;
}

QList<QRect> otherWindowsAbove(const QWidget& window) {
  // Other platforms (offscreen among them) may answer as X11 without an X connection.
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return {};
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  const QWindow* native = window.windowHandle();
  if (!connection || !native) return {};
  QList<std::uint32_t> own;
  for (const QWindow* w : QGuiApplication::topLevelWindows())
    if (w != native && w->handle()) own.push_back(static_cast<std::uint32_t>(w->winId()));
  const qreal ratio = native->devicePixelRatio();
  QList<QRect> above;
  for (const QRect& r : windowsAbove(connection, static_cast<std::uint32_t>(native->winId()), own))
    above.push_back(QRect(QRectF(r.topLeft() / ratio, r.size() / ratio).toRect()));
  return above;
}

}  // namespace lumora
