#pragma once
// Click-through mode: the face turns see-through by the chosen opacity, loses its bottom row of
// buttons and lets the mouse pass.
#include <string_view>

namespace lumora {

// The opacity (0 to 255) for the text of the selected 透明度 item, a percentage: truncated
// p × 255 / 100. Text that does not start with a number reads as 0; values outside 0 to 100
// are held to that range.
int clickThroughAlpha(std::string_view percentText);

// The window's height with click-through off and on; the face knows them, not the behaviour.
struct ClickThroughHeights {
  int off = 0;
  int on = 0;
};

struct ClickThroughLook {
  int alpha = 255;
  int height = 0;
  bool inputTransparent = false;
  bool operator==(const ClickThroughLook&) const = default;
};

ClickThroughLook clickThroughLook(bool on, std::string_view percentText,
                                  ClickThroughHeights heights);

}  // namespace lumora
