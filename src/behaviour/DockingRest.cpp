#include "behaviour/DockingRest.h"

namespace lumora {
namespace {

// The bands reach 10 pixels to the sides and above and 32 below; they are strict, so the
// area's outermost pixels lie one inside them.
constexpr int kSideReach = 10;
constexpr int kBelowReach = 32;

}  // namespace

DockRect dockingWatchArea(DockRect w) {
  return {w.left - kSideReach + 1, w.top - kSideReach + 1, w.width + 2 * kSideReach - 1,
          w.height + kSideReach + kBelowReach - 1};
}

bool dockingCanRest(DockRect window, const DockStep& step, DockPoint cursor) {
  const DockRect a = dockingWatchArea(window);
  const bool inside = a.left <= cursor.x && cursor.x < a.left + a.width && a.top <= cursor.y &&
                      cursor.y < a.top + a.height;
  return step.window == window && !inside;
}

}  // namespace lumora
