// The tray names the song and its state, and its menu leads with the transport.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSystemTrayIcon>

#include "desktop/TrayWiring.h"
#include "support/PlaybackWindowSupport.h"

namespace lumora::test {
namespace {

std::vector<std::string> captions(QMenu* menu) {
  std::vector<std::string> out;
  for (QAction* a : menu->actions()) out.push_back(a->objectName().toStdString());
  return out;
}

TEST(TrayToolTip, NamesTheSongAndItsState) {
  const Song song{"1", "晴天", "周杰伦", "叶惠美"};
  const struct {
    Song song;
    PlayState state;
    const char* text;
  } rows[] = {
      {Song{}, PlayState::Stopped, "Lumora"},
      {song, PlayState::Playing, "晴天 — 周杰伦\n播放中"},
      {song, PlayState::Paused, "晴天 — 周杰伦\n已暂停"},
      {song, PlayState::Stopped, "晴天 — 周杰伦"},
      {Song{"2", "无名", "", ""}, PlayState::Playing, "无名\n播放中"},
  };
  for (const auto& row : rows) EXPECT_EQ(trayToolTip(row.song, row.state), row.text);
}

TEST(TrayWiring, TooltipFollowsEventsAndTheMenuLeadsWithTheTransport) {
  PlaybackWindow w;
  MainWindow& window = *w.window;
  QSystemTrayIcon* tray = window.trayIcon();
  ASSERT_NE(tray, nullptr);
  const auto tip = [&] { return tray->toolTip().toStdString(); };
  const auto song = [&] { return window.playback().state().now.currentSongId; };
  EXPECT_EQ(tip(), "Lumora");

  window.onTrayOperation(3);
  ASSERT_TRUE(window.menu()->isVisible());
  const std::vector<std::string> trayOrder = captions(window.menu());
  ASSERT_EQ(trayOrder.size(), 14u);
  EXPECT_EQ(trayOrder[0], "播放/暂停(&Ctrl+ P)");
  EXPECT_EQ(trayOrder[1], "下一曲(&Ctrl+ Right)");
  EXPECT_EQ(trayOrder[2], "上一曲(&Ctrl+ Left)");
  EXPECT_EQ(trayOrder[3], "登录");
  EXPECT_EQ(trayOrder[9], "新歌通知");
  EXPECT_EQ(trayOrder[10], "卡拉OK歌词");
  EXPECT_EQ(trayOrder[11], "响度均衡");
  EXPECT_TRUE(window.menu()->actions()[11]->isChecked());
  window.menu()->hide();
  QAction* const playPause = window.menu()->actions()[0];
  QAction* const next = window.menu()->actions()[1];
  QAction* const previous = window.menu()->actions()[2];

  playPause->trigger();
  const std::string first = song();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(tip(), "name" + first + " — artist" + first + "\n播放中");
  playPause->trigger();
  EXPECT_EQ(tip(), "name" + first + " — artist" + first + "\n已暂停");
  next->trigger();
  const std::string second = song();
  ASSERT_NE(second, first);
  EXPECT_EQ(tip(), "name" + second + " — artist" + second + "\n播放中");
  previous->trigger();  // a step back names the song from the history
  EXPECT_EQ(tip(), "name" + first + " — artist" + first + "\n播放中");

  // The right button on the face shows the designed items in their order again.
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 228), window.mapToGlobal(QPointF(3, 228)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &press);
  ASSERT_TRUE(window.menu()->isVisible());
  const std::vector<std::string> faceOrder = captions(window.menu());
  ASSERT_EQ(faceOrder.size(), 11u);
  EXPECT_EQ(std::vector<std::string>(faceOrder.begin() + 2, faceOrder.begin() + 5),
            (std::vector<std::string>{"播放/暂停(&Ctrl+ P)", "上一曲(&Ctrl+ Left)",
                                      "下一曲(&Ctrl+ Right)"}));
  EXPECT_EQ(faceOrder[0], "登录");
  window.menu()->hide();
}

}  // namespace
}  // namespace lumora::test
