#pragma once
// The colour presets of 预设方案: the stored settings start from one of them and the desktop
// lyrics wear it until a saved style is read.
#include <array>
#include <optional>

namespace lumora {

// Colours are 0x00BBGGRR values; mode 0 plain, 1 a two-colour gradient, 2 the gradient mirrored
// (first, second, first from top to bottom).
struct LyricColours {
  int colour1;
  int colour2;
  int outline;
  int gradientMode;
};

// In 预设方案's item order: 秋色橙, 海洋蓝, 火焰红, 酷炫黑, 浪漫紫, 自然绿.
inline constexpr std::array<LyricColours, 6> kLyricPresets{{
    {0x0000FF, 0x00FFFF, 0, 1},
    {0xDD6F00, 0xFFFFFF, 0, 1},
    {0x4080FF, 0x0000FF, 0, 1},
    {0xC0C0C0, 0x000000, 0, 1},
    {0xFF0090, 0xFFA8FF, 0, 2},
    {0x00E080, 0x008000, 0, 1},
}};

// The preset at a 预设方案 index; nothing for an index outside the list.
constexpr std::optional<LyricColours> lyricPreset(int index) {
  if (index < 0 || index >= static_cast<int>(kLyricPresets.size())) return std::nullopt;
  return kLyricPresets[static_cast<std::size_t>(index)];
}

// What start-up shows before any saved setting is read: the "海洋蓝" preset.
inline constexpr int kStartupPreset = 1;
inline constexpr LyricColours kStartupLyricColours = kLyricPresets[kStartupPreset];

}  // namespace lumora
