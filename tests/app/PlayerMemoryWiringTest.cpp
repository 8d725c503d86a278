// What the player remembers: a restart puts back volume, places and switches, never the play mode;
// a damaged state file costs only its damaged fields; the enciphered settings file stays byte for
// byte.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/MainWindow.h"
#include "desktop/PlayerMemoryWiring.h"
#include "desktop/TrayWiring.h"
#include "support/Controls.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

// One run of the program over its real (no-sound) player.
struct ProgramRun {
  explicit ProgramRun(const Options& options) : objects(options) {
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
  }
  QAction* lyricsItem() const {
    return window->menu()->findChild<QAction*>(QString::fromUtf8("歌词显示(&Ctrl+ D)"));
  }
  QAction* notificationSwitch() const { return window->trayWiring()->notificationSwitch(); }
  QAction* karaokeSwitch() const { return window->trayWiring()->karaokeSwitch(); }
  QAction* levellingSwitch() const { return window->trayWiring()->levellingSwitch(); }
  bool fmChecked() const { return control<PictureButton>(*window, "图形按钮_私人FM")->isChecked(); }

  ProgramObjects objects;
  std::unique_ptr<MainWindow> window;
};

struct PlayerMemoryRestart : ::testing::Test {
  PlayerMemoryRestart() {
    options.configHome = home.file("config");
    options.stateHome = home.file("state");
  }
  std::string settingsBytes() const { return readFile(home.file("config/lumora/lumora.ini")); }

  TempDir home;
  Options options = ReadOptions();
};

TEST(ClampToScreens, KeepsWholeWindowsAndPullsOthersOntoTheNearestScreen) {
  const QList<QRect> two = {QRect(0, 0, 800, 600), QRect(800, 0, 1024, 768)};
  const struct {
    QRect frame;
    QPoint expected;
  } rows[] = {
      {QRect(10, 20, 154, 260), QPoint(10, 20)},
      {QRect(900, 500, 154, 260), QPoint(900, 500)},    // on the second screen only
      {QRect(1700, 700, 154, 260), QPoint(1670, 508)},  // off the second's corner
      {QRect(-5000, -50, 154, 260), QPoint(0, 0)},      // on no screen: the first
      {QRect(700, 10, 154, 260), QPoint(646, 10)},      // astride: the one it overlaps most
      {QRect(100, 100, 1000, 900), QPoint(0, 0)},       // larger than the screen
  };
  for (const auto& row : rows)
    EXPECT_EQ(clampToScreens(row.frame, two), row.expected)
        << row.frame.x() << "," << row.frame.y();
}

TEST_F(PlayerMemoryRestart, ARestartKeepsWhatTheUserLeft) {
  {
    ProgramRun first(options);
    ASSERT_TRUE(first.objects.player.setVolume(0.25f));
    first.window->move(120, 90);
    control<PictureButton>(*first.window, "图形按钮_私人FM")->click();
    // The band is as wide as the screen: only its height can move it.
    first.objects.desktopLyrics.Move(0, 250);
    first.lyricsItem()->trigger();
    ASSERT_TRUE(first.notificationSwitch()->isChecked());
    first.notificationSwitch()->trigger();
    ASSERT_FALSE(first.karaokeSwitch()->isChecked());
    first.karaokeSwitch()->trigger();
    ASSERT_TRUE(first.levellingSwitch()->isChecked());
    first.levellingSwitch()->trigger();
  }
  const std::string settingsAfterFirst = settingsBytes();
  ASSERT_FALSE(settingsAfterFirst.empty());

  ProgramRun second(options);
  const struct {
    const char* what;
    std::function<bool()> kept;
  } rows[] = {
      {"volume", [&] { return second.objects.player.getVolume() == 0.25f; }},
      {"face", [&] { return second.window->pos() == QPoint(120, 90); }},
      {"mode: 歌单模式 again",
       [&] { return second.window->playback().state().playMode == kPlaylistMode; }},
      {"FM button off", [&] { return !second.fmChecked(); }},
      {"lyrics place",
       [&] {
         return second.objects.desktopLyrics.Left() == 0 &&
                second.objects.desktopLyrics.Top() == 250;
       }},
      {"lyrics shown", [&] { return second.lyricsItem()->isChecked(); }},
      {"notifications off", [&] { return !second.notificationSwitch()->isChecked(); }},
      {"karaoke on", [&] { return second.karaokeSwitch()->isChecked(); }},
      {"levelling off", [&] { return !second.levellingSwitch()->isChecked(); }},
  };
  for (const auto& row : rows) EXPECT_TRUE(row.kept()) << row.what;
  second.window.reset();
  EXPECT_EQ(settingsBytes(), settingsAfterFirst);
}

TEST_F(PlayerMemoryRestart, ADamagedFileStartsWithDefaultsAndKeepsWhatStillReads) {
  ASSERT_TRUE(std::filesystem::create_directories(home.path() / "state/lumora"));
  ASSERT_TRUE(writeFile(home.file("state/lumora/state.ini"),
                        "volume=loud\n\x01\x02\xff\nface=5000,-300\nlyricsShown=perhaps\n"
                        "lyrics=1,2,3\nmode=私人FM模式\n"));
  ProgramRun run(options);
  EXPECT_EQ(run.objects.player.getVolume(), 1.0f);
  EXPECT_FALSE(run.lyricsItem()->isChecked());
  EXPECT_TRUE(run.notificationSwitch()->isChecked());
  EXPECT_FALSE(run.karaokeSwitch()->isChecked());
  EXPECT_FALSE(run.fmChecked());
  // The remembered place is off every screen: the face comes back whole on one.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(run.window->frameGeometry()))
      << run.window->x() << "," << run.window->y();
}

}  // namespace
}  // namespace lumora::test

namespace lumora::test {
namespace {

// With edge auto-hide on (the default), a remembered place at an edge of the screen would slide
// the face out of sight as it appears: the face starts in the middle instead. With it off, every
// place on the screen is put back.
TEST_F(PlayerMemoryRestart, APlaceThatWouldDockTheFaceIsNotPutBack) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const QPoint middle = screen.center() - QPoint(154 / 2, 260 / 2);
  const int right = screen.width() - 154;    // touching the right edge
  const int bottom = screen.height() - 290;  // reaching the band above the bottom
  const struct {
    QPoint face;
    bool edgeHide;
    QPoint expected;
  } rows[] = {
      {{120, 90}, true, {120, 90}},  {{0, 0}, true, middle},
      {{-5, 200}, true, middle},     {{right, 200}, true, middle},
      {{100, bottom}, true, middle}, {{right - 1, bottom - 1}, true, {right - 1, bottom - 1}},
      {{0, 0}, false, {0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.face.x() << "," << row.face.y() << (row.edgeHide ? " docking" : ""));
    {
      ProgramRun setUp(options);
      control<QCheckBox>(*setUp.window, "选择框_侧边隐藏")->setChecked(row.edgeHide);
    }
    ASSERT_TRUE(writeFile(
        home.file("state/lumora/state.ini"),
        "face=" + std::to_string(row.face.x()) + "," + std::to_string(row.face.y()) + "\n"));
    ProgramRun run(options);
    EXPECT_EQ(run.window->pos(), row.expected);
  }
}

// Where the window system cannot tell places (Wayland alone), the remembered ones are kept.
TEST_F(PlayerMemoryRestart, PlacesTheWindowSystemDoesNotTellAreNotSaved) {
  ASSERT_TRUE(std::filesystem::create_directories(home.path() / "state/lumora"));
  const std::string file = home.file("state/lumora/state.ini");
  ASSERT_TRUE(writeFile(file, "face=120,90\nlyrics=0,250\n"));
  ProgramRun run(options);
  PlayerMemoryWiring blind(*run.window, run.window->controls(), run.objects.player,
                           run.objects.desktopLyrics, *run.notificationSwitch(),
                           *run.karaokeSwitch(), *run.levellingSwitch(), file, false);
  blind.restore();
  run.window->move(0, 0);
  run.objects.desktopLyrics.Move(0, 0);
  blind.save();
  const PlayerMemory saved = ReadPlayerMemory(file);
  EXPECT_EQ(saved.facePosition, (ScreenPoint{120, 90}));
  EXPECT_EQ(saved.lyricsPosition, (ScreenPoint{0, 250}));
}

}  // namespace
}  // namespace lumora::test
