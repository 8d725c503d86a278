#pragma once
// The main window's form: every control under its designed name, at its designed place. The
// builder hands out typed groups; each feature takes the group it needs.
#include "behaviour/SleepControls.h"
#include "settingspanel/SettingsPanelControls.h"
#include "square/SquareControls.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QTimer;
class QWidget;

namespace lumora {

class ColourPicker;
class PictureButton;

// The player face and the two boxes laid over it.
struct FaceControls {
  QLabel* pic = nullptr;                    // Pic
  QFrame* progressBar = nullptr;            // 进度条
  PictureButton* previousButton = nullptr;  // 图形按钮_上一曲
  PictureButton* playButton = nullptr;      // 图形按钮_播放
  PictureButton* pauseButton = nullptr;     // 图形按钮_暂停
  PictureButton* nextButton = nullptr;      // 图形按钮_下一曲
  QLabel* songName = nullptr;               // 歌曲名称
  QLabel* artistName = nullptr;             // 歌手名称
  PictureButton* squareButton = nullptr;    // 图形按钮_列表
  PictureButton* fmButton = nullptr;        // 图形按钮_私人FM
  PictureButton* lyricsButton = nullptr;    // 图形按钮_歌词
  PictureButton* downloadButton = nullptr;  // 图形按钮_下载
  PictureButton* settingsButton = nullptr;  // 图形按钮_设置
  PictureButton* exitButton = nullptr;      // 图形按钮_退出
  QFrame* likeBox = nullptr;                // 信息提示框
  QLabel* likeResult = nullptr;             // 提示1
  QTimer* progressTimer = nullptr;          // time
  QTimer* autoPlayTimer = nullptr;          // 时钟_自动播放
};

// The right-button menu 菜单 and its eleven items, in order.
struct MenuControls {
  QMenu* menu = nullptr;            // 菜单
  QAction* login = nullptr;         // 登录
  QAction* like = nullptr;          // 喜欢当前歌曲
  QAction* playPause = nullptr;     // 播放/暂停(&Ctrl+ P)
  QAction* previous = nullptr;      // 上一曲(&Ctrl+ Left)
  QAction* next = nullptr;          // 下一曲(&Ctrl+ Right)
  QAction* lyrics = nullptr;        // 歌词显示(&Ctrl+ D)
  QAction* clickThrough = nullptr;  // 穿透模式(&Ctrl+ G)
  QAction* hideToTray = nullptr;    // 最小化(&Ctrl+ M)
  QAction* sleep = nullptr;         // 定时关闭
  QAction* about = nullptr;         // 关于
  QAction* exit = nullptr;          // 退出
};

// The window's timers that belong to no panel.
struct WindowTimers {
  QTimer* hotkeys = nullptr;  // 时钟_监视热键
  QTimer* dock = nullptr;     // 时钟_靠边
};

struct MainWindowControls {
  FaceControls face;
  SleepControls sleep;
  SquareControls square;
  SettingsPanelControls settings;
  MenuControls menu;
  WindowTimers timers;
};

// Builds the form on `window` as designed (741 × 349, panels to the right of the face), tooltips
// included; the created handler then cuts it down and moves the panels over the face.
MainWindowControls buildMainWindowControls(QWidget* window);

}  // namespace lumora
