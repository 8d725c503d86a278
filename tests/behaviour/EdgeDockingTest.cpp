#include <gtest/gtest.h>

#include "behaviour/EdgeDocking.h"

namespace lumora {
namespace {

constexpr DockScreen kScreen{1920, 1080};
constexpr int W = 154;
constexpr int H = 260;

struct Case {
  const char* what;
  DockRect window;
  DockPoint cursor;
  DockRect expected;
  bool alwaysOnTop;
};

DockRect at(int left, int top) { return {left, top, W, H}; }

TEST(EdgeDocking, FollowsTheFiveStepsOverTheirBands) {
  const Case cases[] = {
      // Top edge.
      {"dragged past the top, mouse over it", at(500, -5), {550, 50}, at(500, 0), true},
      {"dragged past the top, mouse away", at(500, -5), {1000, 600}, at(500, 2 - H), true},
      {"touching the top counts", at(500, 0), {1000, 600}, at(500, 2 - H), true},
      {"one pixel below the top stays", at(500, 1), {1000, 600}, at(500, 1), false},
      {"hidden at the top, mouse on the strip", at(500, 2 - H), {560, 1}, at(500, 0), true},
      {"hidden at the top, band bottom is open", at(500, 2 - H), {560, 12}, at(500, 2 - H), true},
      {"hidden at the top, inside band bottom", at(500, 2 - H), {560, 11}, at(500, 0), true},
      {"top band left is open", at(500, -5), {490, 50}, at(500, 2 - H), true},
      {"top band right is open", at(500, -5), {500 + W + 10, 50}, at(500, 2 - H), true},
      {"top band inside left", at(500, -5), {491, 50}, at(500, 0), true},
      {"top band above is 2", at(500, -5), {550, -7}, at(500, 2 - H), true},
      {"top band inside above", at(500, -5), {550, -6}, at(500, 0), true},
      // Left edge.
      {"dragged past the left, mouse over it", at(-5, 300), {40, 400}, at(0, 300), true},
      {"dragged past the left, mouse away", at(-5, 300), {900, 400}, at(2 - W, 300), true},
      {"hidden at the left, mouse on the strip", at(2 - W, 300), {0, 400}, at(0, 300), true},
      {"hidden at the left, band right is open", at(2 - W, 300), {12, 400}, at(2 - W, 300), true},
      {"left band left is 2", at(-5, 300), {-7, 400}, at(2 - W, 300), true},
      {"left band inside left", at(-5, 300), {-6, 400}, at(0, 300), true},
      // Right edge.
      {"dragged past the right, mouse over it",
       at(1770, 300),
       {1800, 400},
       at(1920 - W, 300),
       true},
      {"dragged past the right, mouse away", at(1770, 300), {900, 400}, at(1918, 300), true},
      {"touching the right counts", at(1920 - W, 300), {900, 400}, at(1918, 300), true},
      {"one pixel short of the right stays",
       at(1919 - W, 300),
       {900, 400},
       at(1919 - W, 300),
       false},
      {"hidden at the right, mouse on the strip",
       at(1918, 300),
       {1919, 400},
       at(1920 - W, 300),
       true},
      {"hidden at the right, band left is open", at(1918, 300), {1908, 400}, at(1918, 300), true},
      {"right band right is 2", at(1770, 300), {1770 + W + 2, 400}, at(1918, 300), true},
      // Bottom edge.
      {"near the bottom, mouse over it, parks 30 above",
       at(500, 800),
       {550, 900},
       at(500, 790),
       false},
      {"parked exactly, mouse away, hides",
       at(500, 1080 - H - 30),
       {900, 300},
       at(500, 1078),
       false},
      {"one pixel above parked stays",
       at(500, 1080 - H - 31),
       {900, 300},
       at(500, 1080 - H - 31),
       false},
      {"low but not parked, mouse away, stays", at(500, 800), {900, 300}, at(500, 800), false},
      // On top from the top edge of the window 30 pixels above the screen's bottom.
      {"top 30 above the bottom is on top", at(500, 1050), {900, 300}, at(500, 1050), true},
      {"top 31 above the bottom is not", at(500, 1049), {900, 300}, at(500, 1049), false},
      {"hidden at the bottom, mouse on the strip", at(500, 1078), {550, 1079}, at(500, 790), true},
      {"bottom band top is 10", at(500, 1078), {550, 1068}, at(500, 1078), true},
      {"bottom band reaches 32 below", at(500, 800), {550, 800 + H + 31}, at(500, 790), false},
      // Middle of the screen: nothing moves and the window is no longer on top.
      {"in the middle", at(500, 300), {550, 400}, at(500, 300), false},
      {"in the middle, mouse away", at(500, 300), {1500, 900}, at(500, 300), false},
      // Corners: every edge sees the moves of the edges before it.
      {"top-left corner, mouse away", at(-5, -5), {900, 600}, at(2 - W, 2 - H), true},
      {"left band is read after the top slid away", at(-5, -5), {50, -20}, at(0, 2 - H), true},
      {"bottom band is read after the right slid away",
       at(1770, 800),
       {1940, 1000},
       at(1918, 790),
       true},
  };
  for (const Case& c : cases) {
    const DockStep step = dockWindow(c.window, c.cursor, kScreen);
    EXPECT_EQ(step.window, c.expected) << c.what;
    EXPECT_EQ(step.alwaysOnTop, c.alwaysOnTop) << c.what;
  }
}

// Where a step cannot move the window, it only clears always-on-top, wherever the mouse is; where
// it can, some mouse position moves it or keeps it on top.
TEST(EdgeDocking, CanMoveExactlyWhereSomeStepDoesMoreThanClearOnTop) {
  constexpr DockScreen screen{800, 600};
  int wrong = 0;
  for (int left = -200; left <= 900; left += 7)
    for (int top = -300; top <= 650; top += 5) {
      const DockRect window = at(left, top);
      bool acts = false;
      for (int x = -20; x < screen.width + 20 && !acts; x += 13)
        for (int y = -20; y < screen.height + 20 && !acts; y += 13) {
          const DockStep step = dockWindow(window, {x, y}, screen);
          acts = step.alwaysOnTop || !(step.window == window);
        }
      if (acts != dockingCanMove(window, screen) && ++wrong <= 5)
        ADD_FAILURE() << "at " << left << "," << top;
    }
  EXPECT_EQ(wrong, 0);
}

// Under a mouse that stays still on the screen, the window comes to rest within two ticks
// wherever it starts: it never keeps jumping between shown and hidden.
TEST(EdgeDocking, ComesToRestUnderAStillMouse) {
  constexpr DockScreen screen{800, 600};
  int restless = 0;
  for (int left = -200; left <= 900; left += 7)
    for (int top = -300; top <= 650; top += 11)
      for (int x = 0; x < screen.width; x += 41)
        for (int y = 0; y < screen.height; y += 37) {
          DockRect window = at(left, top);
          for (int tick = 0; tick < 2; ++tick) window = dockWindow(window, {x, y}, screen).window;
          if (!(dockWindow(window, {x, y}, screen).window == window) && ++restless <= 5)
            ADD_FAILURE() << "from " << left << "," << top << " under " << x << "," << y;
        }
  EXPECT_EQ(restless, 0);
}

}  // namespace
}  // namespace lumora
