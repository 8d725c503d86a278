#pragma once
// When the docking check may rest: a step that moved nothing, with the cursor away from every
// edge's band, is repeated unchanged by every further step until the cursor comes near again,
// so the check can wait for the pointer instead of polling.
#include "behaviour/EdgeDocking.h"

namespace lumora {

// The window widened by the widest band of any edge: a cursor outside it is near no edge.
DockRect dockingWatchArea(DockRect window);

// The step left the window as it was and the cursor is outside the watch area.
bool dockingCanRest(DockRect window, const DockStep& step, DockPoint cursor);

}  // namespace lumora
