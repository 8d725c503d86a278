// Each button, menu item, list and timer of the face reaches its playback routine.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <chrono>

#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/PlaybackWindowSupport.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<std::string> urls;
 public slots:
  void open(const QUrl& url) { urls.push_back(url.toString().toStdString()); }
};

struct WiringTest : ::testing::Test {
  PlaybackWindow w;
  MainWindow& window = *w.window;

  // Shown: the progress tick rests while nobody can see the face.
  WiringTest() { window.show(); }
  void click(const char* button) { control<PictureButton>(window, button)->click(); }
  void trigger(const char* item) {
    window.menu()->findChild<QAction*>(QString::fromUtf8(item))->trigger();
  }
  QTimer* timer(const char* name) { return window.findChild<QTimer*>(QString::fromUtf8(name)); }
  bool visible(const char* name) { return !control<QWidget>(window, name)->isHidden(); }
  std::string caption(const char* label) {
    return control<QLabel>(window, label)->text().toStdString();
  }
  const PlaybackState& state() const { return window.playback().state(); }
  bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return waitFor(done, limit, [] { QApplication::processEvents(); });
  }
};

TEST_F(WiringTest, PlayButtonLoadsASquarePlaylistFromRowsOneToSevenAndStartsATrack) {
  click("图形按钮_播放");
  ASSERT_EQ(w.count("load "), 1u);
  const auto load = std::find_if(w.log.begin(), w.log.end(),
                                 [](const auto& e) { return e.rfind("load ", 0) == 0; });
  const int row = std::stoi(load->substr(6));
  EXPECT_GE(row, 1);
  EXPECT_LE(row, 7);
  ASSERT_EQ(w.count("create "), 1u);
  const std::string id = state().now.currentSongId;
  EXPECT_EQ(id.substr(0, 2), "p" + std::to_string(row));
  EXPECT_EQ(caption("歌曲名称"), "name" + id);
  EXPECT_EQ(caption("歌手名称"), "artist" + id);
  EXPECT_EQ(window.windowTitle().toStdString(), "name" + id);
  EXPECT_FALSE(visible("图形按钮_播放"));
  EXPECT_TRUE(visible("图形按钮_暂停"));
  EXPECT_TRUE(timer("time")->isActive());
  EXPECT_EQ(timer("time")->interval(), 100);
  EXPECT_TRUE(timer("时钟_自动播放")->isActive());
  EXPECT_EQ(timer("时钟_自动播放")->interval(), 1000);
}

TEST_F(WiringTest, PauseAndPlayButtonsPauseAndResumeTheSameStream) {
  click("图形按钮_播放");
  const std::uint32_t stream = state().now.currentStream;
  click("图形按钮_暂停");
  EXPECT_EQ(w.audio.isActive(stream), ChannelState::Paused);
  EXPECT_EQ(window.windowTitle().toStdString(), "暂停播放");
  EXPECT_TRUE(visible("图形按钮_播放"));
  EXPECT_FALSE(visible("图形按钮_暂停"));
  click("图形按钮_播放");
  EXPECT_EQ(w.audio.isActive(stream), ChannelState::Playing);
  EXPECT_EQ(state().now.currentStream, stream);
  EXPECT_EQ(w.count("create "), 1u);
  EXPECT_TRUE(visible("图形按钮_暂停"));
}

TEST_F(WiringTest, MenuPlayPauseTogglesAndStartsWhenStopped) {
  trigger("播放/暂停(&Ctrl+ P)");
  ASSERT_EQ(w.count("create "), 1u);
  const std::uint32_t stream = state().now.currentStream;
  trigger("播放/暂停(&Ctrl+ P)");
  EXPECT_EQ(w.audio.isActive(stream), ChannelState::Paused);
  EXPECT_TRUE(visible("图形按钮_播放"));
  trigger("播放/暂停(&Ctrl+ P)");
  EXPECT_EQ(w.audio.isActive(stream), ChannelState::Playing);
  EXPECT_TRUE(visible("图形按钮_暂停"));
}

TEST_F(WiringTest, NextAndPreviousFromButtonsAndMenu) {
  click("图形按钮_下一曲");
  trigger("下一曲(&Ctrl+ Right)");
  click("图形按钮_下一曲");
  ASSERT_EQ(w.count("create "), 3u);
  const PlayHistory history = state().history;
  ASSERT_EQ(history.size(), 3u);

  click("图形按钮_上一曲");
  const std::string second = history.names[1] + " - " + history.artists[1];
  EXPECT_EQ(caption("歌曲名称"), second);
  EXPECT_EQ(window.windowTitle().toStdString(), second);
  trigger("上一曲(&Ctrl+ Left)");
  EXPECT_EQ(caption("歌曲名称"), history.names[0] + " - " + history.artists[0]);
  EXPECT_EQ(w.count("create "), 5u);
}

TEST_F(WiringTest, FmButtonSwitchesTheModeForTheNextSong) {
  w.service.fmBatches.push_back({MakeSong("fm1")});
  click("图形按钮_私人FM");
  EXPECT_EQ(state().playMode, "私人FM模式");
  click("图形按钮_下一曲");
  EXPECT_EQ(w.count("fm"), 1u);
  EXPECT_EQ(state().now.currentSongId, "fm1");
  click("图形按钮_私人FM");
  EXPECT_EQ(state().playMode, "歌单模式");
}

void doubleClick(QTreeWidget* list, QPoint at) {
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &event);
  }
}

TEST_F(WiringTest, DoubleClickOnASquareRowPlaysThatPlaylist) {
  window.show();
  control<PictureButton>(window, "图形按钮_私人FM")->click();
  window.toggleSquare();
  auto* list = control<QTreeWidget>(window, "超级列表框1");
  // The square reports -1 for a double-click with no row selected: nothing to load.
  emit window.squareWidgets()->playlistChosen(-1);
  EXPECT_EQ(w.count("load "), 0u);
  EXPECT_FALSE(control<QFrame>(window, "外形框1")->isHidden());

  doubleClick(list, list->visualItemRect(list->topLevelItem(3)).center());
  EXPECT_EQ(w.count("load p3"), 1u);
  EXPECT_EQ(state().now.currentSongId.substr(0, 2), "p3");
  EXPECT_TRUE(control<QFrame>(window, "外形框1")->isHidden());
  EXPECT_FALSE(control<PictureButton>(window, "图形按钮_私人FM")->isChecked());
  EXPECT_EQ(state().playMode, "歌单模式");
}

TEST_F(WiringTest, LeftPressOnTheSongNameOpensTheSongPageOnceASongIsKnown) {
  UrlRecorder recorder;
  QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
  auto press = [&](Qt::MouseButton button) {
    auto* label = control<QLabel>(window, "歌曲名称");
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(label, &event);
  };
  press(Qt::LeftButton);
  EXPECT_TRUE(recorder.urls.empty());
  click("图形按钮_播放");
  press(Qt::RightButton);
  EXPECT_TRUE(recorder.urls.empty());
  press(Qt::LeftButton);
  QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  ASSERT_EQ(recorder.urls.size(), 1u);
  EXPECT_EQ(recorder.urls[0], "http://127.0.0.1:9/#/song?id=" + state().now.currentSongId);
}

// The menu item returns at once: the box is up, and goes two seconds after the answer.
TEST_F(WiringTest, LikeShowsTheInfoBoxWhileTheWindowKeepsRunning) {
  click("图形按钮_播放");
  trigger("喜欢当前歌曲");
  EXPECT_TRUE(visible("信息提示框"));
  EXPECT_EQ(w.count("like " + state().now.likeSongId), 1u);
  EXPECT_TRUE(pump([&] { return !visible("信息提示框"); }, 10s));
}

TEST_F(WiringTest, ProgressTimerMovesTheBarAndShowsTheLyricInBothPlaces) {
  click("图形按钮_播放");
  w.stream().length = 10000;
  w.stream().position = 1500;  // 00:01, the fake lyric's one line
  const std::string line = "line of " + state().now.currentSongId;
  ASSERT_TRUE(pump([&] { return caption("歌手名称") == line; }, 2s));
  EXPECT_EQ(w.objects.desktopLyrics.look().text.toStdString(), line);
  EXPECT_EQ(control<QFrame>(window, "进度条")->width(), 23);  // 1500 / (10000 / 154)
  EXPECT_EQ(control<QFrame>(window, "进度条")->toolTip().toStdString(), "00:01 / 00:10");
  w.stream().position = 10000;
  ASSERT_TRUE(pump([&] { return !timer("time")->isActive(); }, 2s));
  EXPECT_EQ(control<QFrame>(window, "进度条")->width(), 154);
  EXPECT_TRUE(timer("时钟_自动播放")->isActive());
}

TEST_F(WiringTest, AutoPlayTimerStartsTheNextSongOnceTheStreamStops) {
  click("图形按钮_播放");
  const std::string first = state().now.currentSongId;
  w.stream().active = 0;
  ASSERT_TRUE(pump([&] { return w.count("create ") == 2; }, 3s));
  EXPECT_NE(state().now.currentSongId, first);
}

TEST_F(WiringTest, LyricsButtonAndMenuItemShowAndHideTheDesktopWindowTogether) {
  QAction* item = window.menu()->findChild<QAction*>(QString::fromUtf8("歌词显示(&Ctrl+ D)"));
  auto* button = control<PictureButton>(window, "图形按钮_歌词");
  QWidget* surface = w.objects.desktopLyrics.Handle();
  ASSERT_TRUE(surface->isHidden());
  item->trigger();
  EXPECT_TRUE(button->isChecked());
  EXPECT_FALSE(surface->isHidden());
  button->click();
  EXPECT_FALSE(item->isChecked());
  EXPECT_TRUE(surface->isHidden());
  button->click();
  EXPECT_TRUE(item->isChecked());
  EXPECT_FALSE(surface->isHidden());
  item->trigger();
  EXPECT_FALSE(button->isChecked());
  EXPECT_TRUE(surface->isHidden());
}

TEST_F(WiringTest, ClosingStopsBothPlaybackTimers) {
  click("图形按钮_播放");
  window.destroyMainWindow();
  EXPECT_FALSE(timer("time")->isActive());
  EXPECT_FALSE(timer("时钟_自动播放")->isActive());
}

}  // namespace
}  // namespace lumora::test

namespace lumora::test {
namespace {

// The window is closed (and deleted, as the program does) while the like result is shown.
TEST(PlaybackWiringShutdown, ClosingDuringALikeWaitIsSafe) {
  PlaybackWindow w;
  QPointer<MainWindow> window = w.window.release();
  window->setAttribute(Qt::WA_DeleteOnClose);
  control<PictureButton>(*window, "图形按钮_播放")->click();
  QTimer::singleShot(200, window, [window] { window->destroyMainWindow(); });
  window->menu()->findChild<QAction*>(QString::fromUtf8("喜欢当前歌曲"))->trigger();
  EXPECT_TRUE(waitFor([&] { return window.isNull(); }, 10s,
                      [] {
                        QApplication::processEvents();
                        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                      }));
}

}  // namespace
}  // namespace lumora::test

#include "PlaybackWiringTest.moc"
