#pragma once
// The player face's size: the window, the full width of its progress bar, and what docking and
// click-through shape.
namespace lumora {

inline constexpr int kFaceWidth = 154;
inline constexpr int kFaceHeight = 260;
// The face above its bottom row of buttons: the window's height in click-through mode.
inline constexpr int kFaceHeightAboveButtons = 232;

}  // namespace lumora
