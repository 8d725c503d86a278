#pragma once
// The controls of the sleep timer's box 信息框, as the main window's form builds them.
class QComboBox;
class QFrame;
class QPushButton;
class QTimer;

namespace lumora {

struct SleepControls {
  QFrame* box = nullptr;           // 信息框
  QComboBox* period = nullptr;     // 组合框_时间
  QPushButton* confirm = nullptr;  // 设定倒计时
  QTimer* countdown = nullptr;     // 时钟_倒计时
};

}  // namespace lumora
