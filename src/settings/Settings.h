#pragma once
// The ten display settings kept between runs, in the order the settings file holds them, and
// their text form: "真"/"假" and decimal numbers joined with "|".
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/LyricPresets.h"

namespace lumora {

// What the stored indexes of 字体型号 and 字体大小 (in pixels) stand for.
inline constexpr std::array<const char*, 3> kFontFaceNames = {"微软雅黑", "黑体", "楷体"};
inline constexpr std::array<int, 13> kFontSizes = {10, 15, 20, 25, 30, 35, 40,
                                                   45, 50, 55, 60, 65, 70};

// Item counts of the combo boxes whose selections are stored; a stored index must address one.
inline constexpr int kPresetCount = static_cast<int>(kLyricPresets.size());
inline constexpr int kFontFaceCount = static_cast<int>(kFontFaceNames.size());
inline constexpr int kFontSizeCount = static_cast<int>(kFontSizes.size());
inline constexpr int kGradientCount = 3;
inline constexpr int kOpacityCount = 12;

// Colours are 0x00BBGGRR. The defaults are the designed ones, the colours those of the preset
// start-up shows.
struct Settings {
  bool edgeHide = true;                                  // 选择框_侧边隐藏
  int preset = kStartupPreset;                           // 预设方案
  int fontFace = 0;                                      // 字体型号: 微软雅黑
  bool bold = true;                                      // 字体加粗
  int fontSize = 4;                                      // 字体大小: 30
  std::uint32_t colour1 = kStartupLyricColours.colour1;  // 颜色选择器1
  std::uint32_t colour2 = kStartupLyricColours.colour2;  // 颜色选择器2
  std::uint32_t colour3 = kStartupLyricColours.outline;  // 颜色选择器3
  int gradient = kStartupLyricColours.gradientMode;      // 文字渐变
  int opacity = 2;                                       // 透明度

  bool operator==(const Settings&) const = default;
};

// True when every index addresses an item and every colour fits in 24 bits.
bool isValid(const Settings& settings);

// The UTF-8 settings text, e.g. "真|1|0|真|4|14511872|16777215|0|1|2".
std::string SettingsText(const Settings& settings);

// Puts the fields of a settings text into `settings` by position. A file may be damaged or come
// from elsewhere, so a missing field, a field that is not a number, or an index outside its combo
// box leaves that value as it was; colours keep their low 24 bits.
void ApplySettingsText(std::string_view text, Settings& settings);

}  // namespace lumora
