#include "behaviour/EdgeDocking.h"

namespace lumora {
namespace {

constexpr int kStrip = 2;
constexpr int kBottomGap = 30;

struct Band {
  int left;
  int right;
  int above;
  int below;
};

// Strictly inside the window widened by the band's margins.
bool cursorNear(const DockRect& w, DockPoint c, Band band) {
  return w.left - band.left < c.x && c.x < w.left + w.width + band.right &&
         w.top - band.above < c.y && c.y < w.top + w.height + band.below;
}

}  // namespace

bool dockingCanMove(DockRect w, DockScreen screen) {
  return w.top <= 0 || w.left <= 0 || w.left + w.width >= screen.width ||
         w.top + w.height >= screen.height - kBottomGap;
}

DockStep dockWindow(DockRect w, DockPoint cursor, DockScreen screen) {
  DockStep step;
  step.alwaysOnTop = w.top <= 0 || w.left <= 0 || w.left + w.width >= screen.width ||
                     w.top >= screen.height - kBottomGap;

  if (w.top <= 0) w.top = cursorNear(w, cursor, {10, 10, 2, 10}) ? 0 : kStrip - w.height;
  if (w.left <= 0) w.left = cursorNear(w, cursor, {2, 10, 10, 10}) ? 0 : kStrip - w.width;
  if (w.left + w.width >= screen.width)
    w.left =
        cursorNear(w, cursor, {10, 2, 10, 10}) ? screen.width - w.width : screen.width - kStrip;

  const int parked = screen.height - w.height - kBottomGap;
  if (cursorNear(w, cursor, {10, 10, 10, 32})) {
    if (w.top + w.height >= screen.height - kBottomGap) w.top = parked;
  } else if (w.top == parked) {
    w.top = screen.height - kStrip;
  }

  step.window = w;
  return step;
}

}  // namespace lumora
