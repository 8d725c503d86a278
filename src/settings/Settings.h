#pragma once
// The ten display settings kept between runs, in the order the settings file holds them, and
// their text form: "真"/"假" and decimal numbers joined with "|".
#include <cstdint>
#include <string>
#include <string_view>

namespace lumora {

// Item counts of the combo boxes whose selections are stored; a stored index must address one.
inline constexpr int kPresetCount = 6;
inline constexpr int kFontFaceCount = 3;
inline constexpr int kFontSizeCount = 13;
inline constexpr int kGradientCount = 3;
inline constexpr int kOpacityCount = 12;

// Colours are 0x00BBGGRR.
struct Settings {
  bool edgeHide = true;              // 选择框_侧边隐藏
  int preset = 1;                    // 预设方案
  int fontFace = 0;                  // 字体型号
  bool bold = true;                  // 字体加粗
  int fontSize = 4;                  // 字体大小
  std::uint32_t colour1 = 0xDD6F00;  // 颜色选择器1
  std::uint32_t colour2 = 0xFFFFFF;  // 颜色选择器2
  std::uint32_t colour3 = 0x000000;  // 颜色选择器3
  int gradient = 1;                  // 文字渐变
  int opacity = 2;                   // 透明度

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
