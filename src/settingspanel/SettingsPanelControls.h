#pragma once
// The controls of the settings panel 外形框2, as the main window's form builds them.
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;

namespace lumora {

class ColourPicker;

struct SettingsPanelControls {
  QFrame* panel = nullptr;          // 外形框2
  QLabel* edgeHideLabel = nullptr;  // 透明标签2
  QCheckBox* edgeHide = nullptr;    // 选择框_侧边隐藏
  QLabel* autorunLabel = nullptr;   // 透明标签4
  QCheckBox* autorun = nullptr;     // 选择框_开机自启
  QComboBox* preset = nullptr;      // 预设方案
  QComboBox* fontFace = nullptr;    // 字体型号
  QCheckBox* bold = nullptr;        // 字体加粗
  QLabel* boldLabel = nullptr;      // 透明标签1
  QComboBox* fontSize = nullptr;    // 字体大小
  QCheckBox* italic = nullptr;      // 字体倾斜
  QCheckBox* underline = nullptr;   // 字体下划线
  ColourPicker* colour1 = nullptr;  // 颜色选择器1
  ColourPicker* colour2 = nullptr;  // 颜色选择器2
  ColourPicker* colour3 = nullptr;  // 颜色选择器3
  QComboBox* gradient = nullptr;    // 文字渐变
  QComboBox* opacity = nullptr;     // 透明度
};

}  // namespace lumora
