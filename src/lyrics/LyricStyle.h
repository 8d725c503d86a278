#pragma once
// The designed look of the desktop lyrics, shared by the settings panel's controls and the
// lyrics window itself.

namespace lumora {

// Colours are 0x00BBGGRR values; mode 0 plain, 1 two-colour gradient, 2 three-band gradient.
struct LyricColours {
  int colour1;
  int colour2;
  int outline;
  int gradientMode;
};

// What start-up shows before any saved setting is read: the "海洋蓝" preset.
inline constexpr LyricColours kStartupLyricColours{0xDD6F00, 0xFFFFFF, 0x000000, 1};

}  // namespace lumora
