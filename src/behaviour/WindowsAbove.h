#pragma once
// What lies over a window: the other programs' windows stacked above it, as the X server keeps
// them. Only an X server tells this; elsewhere nothing is known to lie over anything.
#include <QList>
#include <QRect>
#include <cstdint>

struct xcb_connection_t;
class QWidget;

namespace lumora {

// The rectangles (root coordinates, borders included) of the shown windows stacked above the
// top-level window that holds `window`, leaving out those that hold one of `own`; input-only
// windows draw nothing and are left out too.
QList<QRect> windowsAbove(xcb_connection_t* connection, std::uint32_t window,
                          const QList<std::uint32_t>& own);

// The same for a widget's window on the program's X display, in the widget's logical pixels,
// leaving out the program's own windows; empty on any other platform.
QList<QRect> otherWindowsAbove(const QWidget& window);

}  // namespace lumora
