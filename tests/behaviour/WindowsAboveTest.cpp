// What lies over a window, asked of an X display of the test's own with windows of other
// programs made on it directly.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QList>
#include <QRect>

#include "behaviour/WindowsAbove.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

// Only the shown drawing windows of others above the face lie over it: not those below it, not
// hidden ones, not input-only ones, not the program's own, and not the face's own children.
TEST(WindowsAbove, ListsOnlyOtherProgramsShownWindowsOverTheWindow) {
  if (!haveTool("Xvfb")) GTEST_SKIP() << "Xvfb is needed";
  Xvfb xvfb;
  ASSERT_FALSE(xvfb.display().isEmpty());
  xcb_connection_t* c = xcb_connect(xvfb.display().toLocal8Bit().constData(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(c));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto make = [&](xcb_window_t parent, QRect r, bool mapped, bool inputOnly = false) {
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, inputOnly ? 0 : XCB_COPY_FROM_PARENT, w, parent, r.x(), r.y(), r.width(),
                      r.height(), inputOnly ? 0 : 1,
                      inputOnly ? XCB_WINDOW_CLASS_INPUT_ONLY : XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    if (mapped) xcb_map_window(c, w);
    return w;
  };
  // Stacked in the order made, bottom first.
  make(root, QRect(0, 0, 800, 600), true);  // below the face
  const xcb_window_t face = make(root, QRect(100, 100, 154, 260), true);
  const xcb_window_t cover = make(face, QRect(0, 0, 155, 155), true);
  const xcb_window_t lyrics = make(root, QRect(0, 300, 800, 150), true);
  make(root, QRect(120, 120, 50, 50), false);         // hidden
  make(root, QRect(100, 100, 400, 100), true, true);  // input only
  make(root, QRect(200, 150, 300, 200), true);        // another program's, over the face
  xcb_flush(c);

  const QList<QRect> expected = {QRect(200, 150, 302, 202)};  // its border counts
  EXPECT_EQ(windowsAbove(c, face, {lyrics}), expected);
  EXPECT_EQ(windowsAbove(c, cover, {lyrics}), expected) << "asked of a child of the face";
  EXPECT_EQ(windowsAbove(c, face, {}).size(), 2) << "the lyrics are another program's here";
  xcb_disconnect(c);
}

}  // namespace
}  // namespace lumora::test
