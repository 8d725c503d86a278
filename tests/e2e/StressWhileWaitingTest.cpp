// Random clicks, double-clicks, menu items and shortcuts, seeded and bounded, while the server
// holds answers back and cuts the audio short, so that routines start inside each other's waits.
// Under the sanitizers nothing may go wrong, and afterwards the player plays the next song.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "app/MainWindow.h"
#include "square/PlaylistSquarePanel.h"
#include "support/Controls.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kSeed = 26;
constexpr int kActions = 150;

TEST(StressWhileWaiting, RandomInputWhileAnswersAreSlowOrCutLeavesAPlayerThatPlays) {
  ServerProcess server;
  ASSERT_TRUE(server.start()) << server.errors();
  TempDir dir;
  ProgramObjects objects{ReadOptions()};
  objects.options.apiBaseAddress = server.baseUrl();
  objects.options.musicDir = dir.path().string();
  auto window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
  window->show();
  for (const char* path : {"/lyric", "/song/url", "/song/detail", "/top/playlist", "/like"})
    ASSERT_TRUE(server.addDelay(path, 600));
  ASSERT_TRUE(server.cutAfter("/audio/*", 40000));

  auto click = [&](const char* name) {
    return [w = window.get(), name] { control<QAbstractButton>(*w, name)->click(); };
  };
  auto shortcut = [&](Qt::Key key) {
    return [w = window.get(), key] {
      QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
      QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
      QApplication::sendEvent(w, &ctrl);
      QApplication::sendEvent(w, &press);
      QTimer::singleShot(150, w, [w, key] {
        QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
        QKeyEvent ctrlUp(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
        QApplication::sendEvent(w, &ctrlUp);
      });
    };
  };
  std::mt19937 random(kSeed);
  const MenuControls& menu = window->controls().menu;
  const std::vector<std::function<void()>> actions = {
      click("图形按钮_下一曲"),
      click("图形按钮_上一曲"),
      click("图形按钮_播放"),
      click("图形按钮_暂停"),
      click("图形按钮_私人FM"),
      click("图形按钮_列表"),
      click("图形按钮_设置"),
      click("图形按钮_下载"),
      click("图形按钮_歌词"),
      click("下一页"),
      click("首页"),
      shortcut(Qt::Key_Right),
      shortcut(Qt::Key_Left),
      shortcut(Qt::Key_P),
      [&] { menu.like->trigger(); },
      [&] { emit window->playlistSquare()->playlistChosen(int(random() % 8)); },
  };

  int done = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (done == kActions) return;
    ++done;
    actions[random() % actions.size()]();
    driver.setInterval(int(20 + random() % 120));
  });
  driver.start(50);
  auto pump = [](const std::function<bool()>& until, std::chrono::milliseconds limit) {
    return waitFor(until, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
  };
  ASSERT_TRUE(pump([&] { return done == kActions; }, 300s)) << "seed " << kSeed;
  driver.stop();
  ASSERT_TRUE(server.clearFaults());

  // The routines started meanwhile have ended once a queued call gets through at the top level.
  const PlaybackState& state = window->playback().state();
  auto playing = [&] {
    return objects.player.isActive(state.now.currentStream) == AudioPlayer::kPlaying;
  };
  const std::string before = state.now.currentSongId;
  window->playback().onFmButtonClicked(false);
  // Paging on may have gone past the last page: back to the first one.
  window->playlistSquare()->browser().chooseCategory(0);
  control<PictureButton>(*window, "图形按钮_下一曲")->click();
  ASSERT_TRUE(pump([&] { return playing() && state.now.currentSongId != before; }, 60s))
      << "seed " << kSeed << "; rows " << window->playlistSquare()->rowCount() << ", caption "
      << control<QLabel>(*window, "歌手名称")->text().toStdString();
  std::printf("[ figures  ] seed %u: %d actions; afterwards song %s plays\n", kSeed, kActions,
              state.now.currentSongId.c_str());
}

}  // namespace
}  // namespace lumora::test
