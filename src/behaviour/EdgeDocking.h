#pragma once
// Sliding the main window into a screen edge: one tick of the docking timer as plain geometry.
// Coordinates are relative to the primary screen's top-left corner.

namespace lumora {

struct DockRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const DockRect&) const = default;
};

struct DockPoint {
  int x = 0;
  int y = 0;
};

struct DockScreen {
  int width = 0;
  int height = 0;
};

struct DockStep {
  DockRect window;
  bool alwaysOnTop = false;
  bool operator==(const DockStep&) const = default;
};

// Where the window goes for this tick and whether it stays on top. The top, left and right
// edges hide the window to a 2-pixel strip once the cursor leaves it and bring it back when the
// cursor returns; the bottom edge first parks it 30 pixels above the screen's bottom and hides
// it only from exactly that place. Each edge sees the moves of the edges handled before it.
DockStep dockWindow(DockRect window, DockPoint cursor, DockScreen screen);

// Whether a step can move this window: it touches or passes an edge, or its bottom reaches into
// the band above the screen's bottom. Away from all of them a step only clears always-on-top,
// wherever the cursor is, so the docking check can rest until the window moves.
bool dockingCanMove(DockRect window, DockScreen screen);

}  // namespace lumora
