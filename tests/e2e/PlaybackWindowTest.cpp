// The main window over the real player on the no-sound device, with short MP3 files for songs:
// songs follow each other through the window's own timers, the lyric lines arrive on time in
// both places, pause keeps the position, unavailable songs are passed over, and a long run of
// songs does not pile up memory.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "app/MainWindow.h"
#include "support/Controls.h"
#include "support/Mp3Fixture.h"
#include "support/PlaybackWindowSupport.h"
#include "support/TempDir.h"
#include "support/TimerTicks.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Resident set size in KiB, from /proc.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Bytes of heap in use. Under the address sanitizer freed blocks wait in a quarantine of up to
// 256 MiB, so RSS would grow without any leak; its allocator's own count leaves them out.
std::size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

constexpr const char* kLyric = "[00:00.00]第一句\\n[00:01.00]第二句\\n[00:02.00]第三句\\n";

// Eight square rows, each a playlist of three songs that are one MP3 file of `seconds`.
struct RealPlayerWindow {
  explicit RealPlayerWindow(double seconds) {
    const std::string song = dir.file("song.mp3");
    EXPECT_TRUE(writeFile(song, makeMp3(seconds)));
    url = "file://" + song;
    objects.musicService = &service;
    objects.background = &background;
    objects.options.ApiBaseAddress = "http://127.0.0.1:9";
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
    // Shown: the progress tick rests while nobody can see the face.
    window->show();
    fillSquare(*window, service, {"a", "b", "c"}, [this](const std::string& songId) {
      service.urls[songId] = url;
      service.lyrics[songId] = kLyric;
    });
  }

  std::string artist() const { return control<QLabel>(*window, "歌手名称")->text().toStdString(); }
  std::string desktopText() const { return objects.desktopLyrics.look().text.toStdString(); }
  const PlaybackState& state() const { return window->playback().state(); }
  ChannelState active() { return objects.player.isActive(state().now.currentStream); }
  double position() {
    const std::uint32_t s = state().now.currentStream;
    return objects.player.bytesToSeconds(s, objects.player.getPosition(s));
  }
  bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return waitFor(done, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
  }

  TempDir dir;
  std::string url;
  EventLog log;
  FakeService service{log};
  FakeBackground background;
  ProgramObjects objects{ReadOptions()};
  std::unique_ptr<MainWindow> window;
};

TEST(PlaybackWindow, SongsFollowEachOtherWithTheirLyricLinesInBothPlaces) {
  RealPlayerWindow w(3.0);
  control<PictureButton>(*w.window, "图形按钮_播放")->click();
  const std::string first = w.state().now.currentSongId;
  ASSERT_FALSE(first.empty());
  const int row = first[1] - '0';
  EXPECT_GE(row, 1);
  EXPECT_LE(row, 7);
  ASSERT_TRUE(w.pump([&] { return w.active() == ChannelState::Playing; }, 5s));
  const auto started = Clock::now();

  // Every change of the lyric line, with the song position it came at.
  struct Seen {
    std::string text;
    double at;
  };
  std::vector<Seen> lines;
  bool desktopAgreed = true;
  ASSERT_TRUE(w.pump(
      [&] {
        if (w.state().now.currentSongId != first) return true;
        const std::string text = w.artist();
        // Until the first tick the caption still holds the artists.
        if (lines.empty() && text.rfind("第", 0) != 0) return false;
        if (lines.empty() || lines.back().text != text) lines.push_back({text, w.position()});
        desktopAgreed = desktopAgreed && w.desktopText() == text;
        return false;
      },
      10s));
  const double untilNext = secondsSince(started);
  ASSERT_TRUE(w.pump([&] { return w.active() == ChannelState::Playing; }, 5s));
  const double untilSounding = secondsSince(started);

  std::vector<std::string> texts;
  for (const Seen& s : lines) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"第一句", "第二句", "第三句"}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_GE(lines[1].at, 1.0);
  EXPECT_GE(lines[2].at, 2.0);
  EXPECT_TRUE(desktopAgreed);
  // A 3-second song; the next one is asked for within about a second of the end.
  EXPECT_LT(untilNext, 3.0 + 2.0);
  std::printf(
      "[ figures  ] next song %.2f s after a 3.00 s song started, sounding at %.2f s; "
      "lines at %.2f / %.2f / %.2f s\n",
      untilNext, untilSounding, lines[0].at, lines[1].at, lines[2].at);
}

TEST(PlaybackWindow, PauseAndResumeKeepThePosition) {
  RealPlayerWindow w(4.0);
  control<PictureButton>(*w.window, "图形按钮_播放")->click();
  ASSERT_TRUE(w.pump([&] { return w.position() >= 1.0; }, 5s));
  control<PictureButton>(*w.window, "图形按钮_暂停")->click();
  const double paused = w.position();
  // Nothing of the program ticks while paused: a second and more by a clock of the test's own.
  QTimer* progressTimer = control<QTimer>(*w.window, "time");
  EXPECT_FALSE(progressTimer->isActive());
  EXPECT_FALSE(control<QTimer>(*w.window, "时钟_自动播放")->isActive());
  QTimer clock;
  const TimerTicks ticks(&clock);
  clock.start(100);
  EXPECT_TRUE(w.pump([&] { return ticks.count() >= 12; }, 30s));
  EXPECT_EQ(w.active(), ChannelState::Paused);
  const double stillAt = w.position();
  EXPECT_NEAR(stillAt, paused, 0.05);
  const std::string song = w.state().now.currentSongId;
  control<PictureButton>(*w.window, "图形按钮_播放")->click();
  ASSERT_TRUE(w.pump([&] { return w.position() > paused + 0.2; }, 3s));
  EXPECT_LT(w.position(), paused + 1.0);
  EXPECT_EQ(w.state().now.currentSongId, song);
  EXPECT_TRUE(progressTimer->isActive());

  // A seek while paused still shows on the bar: a press three quarters along its row.
  control<PictureButton>(*w.window, "图形按钮_暂停")->click();
  const QWidget* bar = control<QWidget>(*w.window, "进度条");
  const QPoint onRow(115, bar->geometry().top());
  QMouseEvent press(QEvent::MouseButtonPress, onRow, w.window->mapToGlobal(onRow), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.window.get(), &press);
  EXPECT_TRUE(w.pump([&] { return std::abs(bar->width() - 115) <= 2; }, 5s)) << bar->width();
  EXPECT_EQ(w.active(), ChannelState::Paused);
  EXPECT_TRUE(w.pump([&] { return !progressTimer->isActive(); }, 5s));
  std::printf("[ figures  ] paused at %.3f s, twelve ticks of 100 ms later still %.3f s\n", paused,
              stillAt);
}

TEST(PlaybackWindow, AnUnavailableSongIsPassedOver) {
  RealPlayerWindow w(3.0);
  w.service.playlists["p1"].songs = {MakeSong("members-only")};
  w.service.noUrl.insert("members-only");
  w.window->playback().playSelectedPlaylist(1);
  ASSERT_EQ(w.state().now.currentSongId, "members-only");
  EXPECT_EQ(w.state().now.currentStream, 0u);
  const auto started = Clock::now();
  ASSERT_TRUE(w.pump(
      [&] {
        return w.state().now.currentSongId != "members-only" && w.active() == ChannelState::Playing;
      },
      5s));
  // How soon is a matter of ticks, checked in the controller tests; here only the figure.
  const double passedOver = secondsSince(started);
  std::printf("[ figures  ] unavailable song passed over, next sounding after %.2f s\n",
              passedOver);
}

// 200 songs started through playNext, each playing before the next: the old streams are
// released, so memory settles after the first few.
TEST(PlaybackWindow, TwoHundredSongsDoNotPileUpMemory) {
  RealPlayerWindow w(1.0);
  constexpr int kSongs = 200;
  constexpr int kWarmUp = 20;
  long rssAtWarmUp = 0;
  std::size_t heapAtWarmUp = 0;
  const auto started = Clock::now();
  for (int n = 1; n <= kSongs; ++n) {
    w.window->playback().playNext();
    ASSERT_TRUE(w.pump([&] { return w.active() == ChannelState::Playing; }, 5s)) << n;
    if (n == kWarmUp) {
      rssAtWarmUp = residentKiB();
      heapAtWarmUp = heapInUse();
    }
  }
  const std::size_t heapAtEnd = heapInUse();
  const long heapGrowthKiB =
      (static_cast<long>(heapAtEnd) - static_cast<long>(heapAtWarmUp)) / 1024;
  std::printf(
      "[ figures  ] after %d / %d songs: heap in use %zu / %zu KiB (growth %ld KiB), "
      "RSS %ld / %ld KiB; %.1f s\n",
      kWarmUp, kSongs, heapAtWarmUp / 1024, heapAtEnd / 1024, heapGrowthKiB, rssAtWarmUp,
      residentKiB(), secondsSince(started));
  // Keeping every stream (pipeline, decoder, buffers) costs far more than 20 KiB a song.
  EXPECT_LT(heapGrowthKiB, (kSongs - kWarmUp) * 20);
}

}  // namespace
}  // namespace lumora::test
