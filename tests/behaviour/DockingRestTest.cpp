#include <gtest/gtest.h>

#include "behaviour/DockingRest.h"

namespace lumora {
namespace {

constexpr DockScreen kScreen{800, 600};
constexpr int W = 154;
constexpr int H = 260;

bool inside(DockRect r, DockPoint p) {
  return r.left <= p.x && p.x < r.left + r.width && r.top <= p.y && p.y < r.top + r.height;
}

// Resting is safe: wherever outside the watch area the cursor goes, a step that moved nothing
// still moves nothing, so only the pointer's entry can change anything. And the watch has a
// point: for a hidden window some cursor inside the area brings it out.
TEST(DockingRest, OutsideTheWatchAreaNoCursorChangesARestingWindow) {
  const struct {
    const char* what;
    DockRect window;
    bool hidden;
  } cases[] = {
      {"hidden at the top", {300, 2 - H, W, H}, true},
      {"hidden at the left", {2 - W, 150, W, H}, true},
      {"hidden at the right", {kScreen.width - 2, 150, W, H}, true},
      {"hidden at the bottom", {300, kScreen.height - 2, W, H}, true},
      {"hidden in the top left corner", {2 - W, 2 - H, W, H}, true},
      {"a pixel above the bottom's parking place", {300, kScreen.height - H - 31, W, H}, false},
      {"away from every edge", {300, 150, W, H}, false},
  };
  for (const auto& c : cases) {
    const DockRect area = dockingWatchArea(c.window);
    int bringsOut = 0;
    for (int y = -40; y < kScreen.height + 40; ++y) {
      for (int x = -40; x < kScreen.width + 40; ++x) {
        const DockPoint cursor{x, y};
        const DockStep step = dockWindow(c.window, cursor, kScreen);
        const bool rest = dockingCanRest(c.window, step, cursor);
        if (inside(area, cursor)) {
          ASSERT_FALSE(rest) << c.what << " at " << x << "," << y;
          if (step.window != c.window) ++bringsOut;
        } else {
          ASSERT_EQ(step.window, c.window) << c.what << " at " << x << "," << y;
          ASSERT_TRUE(rest) << c.what << " at " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(bringsOut > 0, c.hidden) << c.what;
  }
}

TEST(DockingRest, AStepThatMovesTheWindowNeverRests) {
  const DockRect slidOut{300, 0, W, H};
  const DockPoint away{700, 500};
  const DockStep step = dockWindow(slidOut, away, kScreen);
  ASSERT_NE(step.window, slidOut);
  EXPECT_FALSE(dockingCanRest(slidOut, step, away));
}

}  // namespace
}  // namespace lumora
