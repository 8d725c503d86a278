#pragma once
// Click-through mode: the face turns see-through by the chosen opacity, loses its bottom row of
// buttons and lets the mouse pass.
#include <string_view>

#include "behaviour/FaceSize.h"

namespace lumora {

inline constexpr int kClickThroughHeight = 232;

// The opacity (0 to 255) for the text of the selected 透明度 item, a percentage: truncated
// p × 255 / 100. Text that does not start with a number reads as 0; values outside 0 to 100
// are held to that range.
int clickThroughAlpha(std::string_view percentText);

struct ClickThroughLook {
  int alpha = 255;
  int height = kFaceHeight;
  bool inputTransparent = false;
  bool operator==(const ClickThroughLook&) const = default;
};

ClickThroughLook clickThroughLook(bool on, std::string_view percentText);

}  // namespace lumora
