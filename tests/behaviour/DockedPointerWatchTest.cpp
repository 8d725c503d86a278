// The pointer watch of a face docked out of sight, on an X display of the test's own.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

#include "behaviour/DockedPointerWatch.h"
#include "support/WaitFor.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

bool until(const std::function<bool()>& done) {
  return waitFor(done, 10s, [] { QCoreApplication::processEvents(); });
}

// The top-level windows, bottom first.
std::vector<xcb_window_t> stacking(xcb_connection_t* c, xcb_window_t root) {
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree);
  std::vector<xcb_window_t> order(children, children + xcb_query_tree_children_length(tree));
  std::free(tree);
  return order;
}

// The pointer moving about outside the area says nothing; its entry is reported once, and the
// watch is gone at once, so the click that may follow reaches what lies under it. A window
// raised over the area later does not hide the pointer from the watch.
TEST(DockedPointerWatch, ReportsThePointerEnteringTheAreaOnceEvenUnderANewerWindow) {
  if (!haveTool("Xvfb") || !haveTool("xdotool")) GTEST_SKIP() << "Xvfb and xdotool are needed";
  EXPECT_FALSE(DockedPointerWatch(nullptr, {}).watch(QRect(0, 0, 10, 10)));
  Xvfb xvfb;
  ASSERT_FALSE(xvfb.display().isEmpty());
  const QByteArray display = xvfb.display().toLocal8Bit();
  xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(c));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto windowUnderPointer = [&] {
    return xvfb.xdotool({"getmouselocation", "--shell"}).section("WINDOW=", 1).trimmed();
  };
  xvfb.xdotool({"mousemove", "400", "300"});

  DockedPointerWatch watch(nullptr, display);
  int entered = 0;
  QObject::connect(&watch, &DockedPointerWatch::entered, [&] { ++entered; });
  const QRect area(100, 0, 173, 11);
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(watch.watch(area));
    ASSERT_TRUE(until([&] { return !stacking(c, root).empty(); }));
    const xcb_window_t strip = stacking(c, root).back();
    // Exactly the area: the server reports the entry, at no pixel outside.
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, strip), nullptr);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(QRect(g->x, g->y, g->width, g->height), area);
    std::free(g);
    if (round == 1) {
      // Another program's window over the area, as a window manager would raise one.
      const xcb_window_t other = xcb_generate_id(c);
      xcb_create_window(c, XCB_COPY_FROM_PARENT, other, root, 0, 0, 400, 100, 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
      xcb_map_window(c, other);
      xcb_flush(c);
      ASSERT_TRUE(until([&] {
        const auto order = stacking(c, root);
        return order.size() > 1 && order.back() == strip;
      })) << "the watch raised again over the newer window";
    }
    for (const char* outside : {"300 20", "273 5", "99 0"})
      xvfb.xdotool(QString("mousemove %1").arg(outside).split(' '));
    xvfb.xdotool({"mousemove", "272", "10"});
    ASSERT_TRUE(until([&] { return entered > round; })) << "round " << round;
    EXPECT_EQ(entered, round + 1);
    EXPECT_NE(windowUnderPointer(), QString::number(strip)) << "the watch still takes clicks";
    xvfb.xdotool({"mousemove", "400", "300"});
  }
  xcb_disconnect(c);
}

}  // namespace
}  // namespace lumora::test
