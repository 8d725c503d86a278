#pragma once
// The designed look of the desktop lyrics: the colour presets, which the stored settings start
// from, and the installed stand-ins for the form's font faces.
#include <array>

#include "settings/LyricPresets.h"

namespace lumora {

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
