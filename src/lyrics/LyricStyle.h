#pragma once
// The designed look of the desktop lyrics, shared by the settings panel's controls and the
// lyrics window itself.
#include <array>
#include <optional>

namespace lumora {

// Colours are 0x00BBGGRR values; mode 0 plain, 1 two-colour gradient, 2 three-band gradient.
struct LyricColours {
  int colour1;
  int colour2;
  int outline;
  int gradientMode;
};

// The colour presets of 预设方案, in its item order: 秋色橙, 海洋蓝, 火焰红, 酷炫黑, 浪漫紫,
// 自然绿.
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
inline constexpr LyricColours kStartupLyricColours = kLyricPresets[1];

// The form's face names are Windows faces; each stands for installed faces of the same style,
// tried in order: a light sans, a heavy sans, a kai face and a song face.
struct LyricFace {
  const char* designed;
  std::array<const char*, 2> installed;
};

inline constexpr std::array<LyricFace, 4> kLyricFaces{{
    {"微软雅黑", {"WenQuanYi Micro Hei", "Noto Sans CJK SC"}},
    {"黑体", {"WenQuanYi Zen Hei", "Noto Sans CJK SC Black"}},
    {"楷体", {"AR PL UKai CN", "AR PL KaitiM GB"}},
    {"宋体", {"AR PL UMing CN", "Noto Serif CJK SC"}},
}};

}  // namespace lumora
