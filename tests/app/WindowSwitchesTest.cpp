// The face's switches: shortcuts, click-through, hide to tray, the desktop lyrics, tooltips.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSystemTrayIcon>
#include <string>
#include <vector>

#include "app/BehaviourWindowSupport.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

struct WindowSwitches : ::testing::Test {
  BehaviourWindow w;
  MainWindow& window = *w.window;

  void selectOpacity(const char* percent) {
    auto* box = control<QComboBox>(window, "透明度");
    box->setCurrentIndex(box->findText(QString::fromUtf8(percent)));
  }
  bool menuShows(const char* caption) { return w.item(caption)->isVisible(); }
};

TEST_F(WindowSwitches, ClickThroughByShortcutUsesTheOpacityAndComesBack) {
  selectOpacity("50");
  w.tap(Qt::Key_G);
  ASSERT_TRUE(w.pump([&] { return w.item("穿透模式(&Ctrl+ G)")->isChecked(); }));
  EXPECT_EQ(w.alpha(), 127);
  EXPECT_EQ(window.height(), 232);
  EXPECT_EQ(window.width(), 154);
  EXPECT_TRUE(w.inputTransparent());

  // A later change of the opacity waits for the next switch-on.
  selectOpacity("20");
  EXPECT_EQ(w.alpha(), 127);

  w.tap(Qt::Key_G);
  ASSERT_TRUE(w.pump([&] { return !w.item("穿透模式(&Ctrl+ G)")->isChecked(); }));
  EXPECT_EQ(w.alpha(), 255);
  EXPECT_EQ(window.height(), 260);
  EXPECT_FALSE(w.inputTransparent());

  w.item("穿透模式(&Ctrl+ G)")->trigger();
  EXPECT_EQ(w.alpha(), 51);
  EXPECT_EQ(window.height(), 232);
  w.item("穿透模式(&Ctrl+ G)")->trigger();
  EXPECT_EQ(w.alpha(), 255);
  EXPECT_FALSE(w.inputTransparent());
}

// Nothing to poll while no key is down: the poll starts with a press and rests again after the
// first tick that finds the keys up and no press waiting.
TEST_F(WindowSwitches, ShortcutPollRunsOnlyWhileAKeyIsDownOrAPressWaits) {
  EXPECT_FALSE(w.hotkeys->isActive());
  w.press(Qt::Key_Control);
  EXPECT_TRUE(w.hotkeys->isActive());
  w.waitTicks(2);
  EXPECT_TRUE(w.hotkeys->isActive());
  w.press(Qt::Key_G);
  w.release(Qt::Key_G);
  w.release(Qt::Key_Control);
  w.waitTicks(1);
  EXPECT_TRUE(w.item("穿透模式(&Ctrl+ G)")->isChecked());
  EXPECT_FALSE(w.hotkeys->isActive());
  w.tap(Qt::Key_G);
  EXPECT_TRUE(w.hotkeys->isActive());
  ASSERT_TRUE(w.pump([&] { return !w.item("穿透模式(&Ctrl+ G)")->isChecked(); }));
}

TEST_F(WindowSwitches, LyricsAndClickThroughTogetherInOneTick) {
  w.press(Qt::Key_Control);
  w.press(Qt::Key_D);
  w.press(Qt::Key_G);
  w.waitTicks(1);
  EXPECT_TRUE(w.item("歌词显示(&Ctrl+ D)")->isChecked());
  EXPECT_TRUE(control<PictureButton>(window, "图形按钮_歌词")->isChecked());
  EXPECT_TRUE(w.objects.desktopLyrics.Handle()->isVisible());
  EXPECT_TRUE(w.item("穿透模式(&Ctrl+ G)")->isChecked());
  // Held on, they do not switch back.
  w.waitTicks(4);
  EXPECT_TRUE(w.item("歌词显示(&Ctrl+ D)")->isChecked());
  EXPECT_TRUE(w.item("穿透模式(&Ctrl+ G)")->isChecked());
  w.release(Qt::Key_G);
  w.release(Qt::Key_D);
  w.release(Qt::Key_Control);
}

TEST_F(WindowSwitches, ClickThroughHeldFiveTicksSwitchesOnce) {
  w.press(Qt::Key_Control);
  w.press(Qt::Key_G);
  w.waitTicks(5);
  EXPECT_TRUE(w.item("穿透模式(&Ctrl+ G)")->isChecked());
  w.release(Qt::Key_G);
  w.release(Qt::Key_Control);
  w.waitTicks(1);
  EXPECT_TRUE(w.item("穿透模式(&Ctrl+ G)")->isChecked());
}

TEST_F(WindowSwitches, NextSongHeldFiveTicksStartsFiveSongs) {
  w.press(Qt::Key_Control);
  w.press(Qt::Key_Right);
  const int until = w.ticks + 5;
  w.afterTick = [&] {
    if (w.ticks == until) w.release(Qt::Key_Right);
  };
  w.waitTicks(7);
  EXPECT_EQ(w.count("create "), 5u);
  w.release(Qt::Key_Control);
}

TEST_F(WindowSwitches, PreviousSongByShortcutStepsBackThroughTheHistory) {
  RecordingObserver observer;
  window.playback().addObserver(observer);
  w.tap(Qt::Key_Right);
  w.waitTicks(1);
  w.tap(Qt::Key_Right);
  w.waitTicks(1);
  w.tap(Qt::Key_Left);
  w.waitTicks(1);
  window.playback().removeObserver(observer);
  std::vector<std::string> starts;
  for (const std::string& e : observer.events)
    if (e.rfind("start ", 0) == 0 || e.rfind("back to ", 0) == 0) starts.push_back(e.substr(0, 5));
  EXPECT_EQ(starts, (std::vector<std::string>{"start", "start", "back "}));
}

TEST_F(WindowSwitches, PlayPauseShortcutFollowsThePlayerState) {
  w.tap(Qt::Key_P);
  w.waitTicks(1);
  ASSERT_EQ(w.count("create "), 1u);  // stopped: the next song
  EXPECT_EQ(w.stream().active, 1);
  const std::string title = window.windowTitle().toStdString();

  w.tap(Qt::Key_P);
  w.waitTicks(1);
  EXPECT_EQ(w.stream().active, 3);
  EXPECT_EQ(window.windowTitle().toStdString(), "暂停播放");
  EXPECT_FALSE(control<PictureButton>(window, "图形按钮_播放")->isHidden());
  EXPECT_TRUE(control<PictureButton>(window, "图形按钮_暂停")->isHidden());

  w.tap(Qt::Key_P);
  w.waitTicks(1);
  EXPECT_EQ(w.stream().active, 1);
  EXPECT_EQ(w.log.back(),
            "play " + std::to_string(window.playback().state().now.currentStream));  // no restart
  EXPECT_EQ(w.count("create "), 1u);
  EXPECT_TRUE(control<PictureButton>(window, "图形按钮_播放")->isHidden());
  EXPECT_FALSE(control<PictureButton>(window, "图形按钮_暂停")->isHidden());
}

TEST_F(WindowSwitches, HideToTrayFromTheMenuAndTheTray) {
  w.item("最小化(&Ctrl+ M)")->trigger();
  EXPECT_TRUE(window.isHidden());
  EXPECT_FALSE(menuShows("穿透模式(&Ctrl+ G)"));
  EXPECT_TRUE(menuShows("最小化(&Ctrl+ M)"));

  window.onTrayOperation(1);  // left click on the tray icon
  EXPECT_FALSE(window.isHidden());
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(w.onTop());
  EXPECT_TRUE(menuShows("穿透模式(&Ctrl+ G)"));
  EXPECT_FALSE(w.item("最小化(&Ctrl+ M)")->isChecked());

  window.onTrayOperation(1);
  EXPECT_TRUE(window.isHidden());
  window.onTrayOperation(2);  // a double click does nothing
  EXPECT_TRUE(window.isHidden());
  w.item("最小化(&Ctrl+ M)")->trigger();
  EXPECT_FALSE(window.isHidden());
}

TEST_F(WindowSwitches, HideToTrayShortcutDoesNotRaiseTheWindow) {
  ASSERT_FALSE(w.onTop());
  w.tap(Qt::Key_M);
  ASSERT_TRUE(w.pump([&] { return window.isHidden(); }));
  EXPECT_FALSE(menuShows("穿透模式(&Ctrl+ G)"));
  // The shortcut timer runs on while the window is hidden.
  w.tap(Qt::Key_M);
  ASSERT_TRUE(w.pump([&] { return !window.isHidden(); }));
  EXPECT_FALSE(w.onTop());
  EXPECT_TRUE(menuShows("穿透模式(&Ctrl+ G)"));
}

TEST_F(WindowSwitches, WithoutATrayTheWindowIsMinimisedAndCanComeBack) {
  w.trayAvailable = false;
  w.item("最小化(&Ctrl+ M)")->trigger();
  EXPECT_TRUE(window.isMinimized());
  EXPECT_FALSE(window.isHidden());
  EXPECT_FALSE(menuShows("穿透模式(&Ctrl+ G)"));
  w.item("最小化(&Ctrl+ M)")->trigger();
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(menuShows("穿透模式(&Ctrl+ G)"));

  // Brought back through the task bar: the switch follows, so the menu is whole again.
  w.tap(Qt::Key_M);
  ASSERT_TRUE(w.pump([&] { return window.isMinimized(); }));
  window.showNormal();
  EXPECT_FALSE(w.item("最小化(&Ctrl+ M)")->isChecked());
  EXPECT_TRUE(menuShows("穿透模式(&Ctrl+ G)"));
}

TEST_F(WindowSwitches, ATrayThatAppearsLaterGetsTheIconBeforeTheWindowHides) {
  QSystemTrayIcon* tray = window.trayIcon();
  ASSERT_NE(tray, nullptr);
  tray->hide();  // no notification area at start-up
  w.item("最小化(&Ctrl+ M)")->trigger();
  EXPECT_TRUE(window.isHidden());
  EXPECT_TRUE(tray->isVisible());
}

TEST_F(WindowSwitches, TooltipsAndAccessibleNames) {
  struct Tip {
    const char* control;
    const char* text;
  };
  const Tip tips[] = {
      {"图形按钮_上一曲", "上一曲（Ctrl + Left）"},
      {"图形按钮_下一曲", "下一曲（Ctrl + Right）"},
      {"图形按钮_播放", "播放（Ctrl + P）"},
      {"图形按钮_暂停", "暂停（Ctrl + P）"},
      {"图形按钮_歌词", "打开歌词（Ctrl + D）"},
      {"图形按钮_私人FM", "私人FM"},
      {"图形按钮_列表", "歌单列表"},
      {"图形按钮_下载", "下载"},
      {"图形按钮_设置", "设置"},
      {"图形按钮_退出", "退出"},
      {"图形按钮_查询", "歌单搜索"},
      {"首页", "歌单首页"},
      {"下一页", "歌单下一页"},
      {"选择框_开机自启", "开机自启动"},
      {"透明标签4", "开机自启动"},
      {"选择框_侧边隐藏", "侧边自动隐藏"},
      {"透明标签2", "侧边自动隐藏"},
      {"预设方案", "歌词颜色预设方案"},
  };
  for (const Tip& tip : tips) {
    const QWidget* c = control<QWidget>(window, tip.control);
    ASSERT_NE(c, nullptr) << tip.control;
    EXPECT_EQ(c->toolTip().toStdString(), tip.text) << tip.control;
    if (qobject_cast<const PictureButton*>(c)) {
      EXPECT_EQ(c->accessibleName().toStdString(), tip.text) << tip.control;
    }
  }
  EXPECT_TRUE(window.testAttribute(Qt::WA_AlwaysShowToolTips));
}

}  // namespace
}  // namespace lumora::test
