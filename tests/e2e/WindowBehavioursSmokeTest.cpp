// The face's behaviours in the real program under Xvfb: a keyboard shortcut with the face
// focused, the right-button menu, and docking at the top edge. Screenshots are kept under the
// build folder's screenshots/.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <chrono>
#include <functional>
#include <memory>

#include "support/ProgramOnDisplay.h"
#include "support/ServerProcess.h"
#include "support/WaitFor.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

class WindowBehavioursSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("import"))
      GTEST_SKIP() << "Xvfb, xdotool and imagemagick are needed";
    ASSERT_TRUE(server_.start()) << server_.errors();
    xvfb_ = std::make_unique<Xvfb>();
    ASSERT_FALSE(xvfb_->display().isEmpty());
    app_ = std::make_unique<ProgramOnDisplay>(*xvfb_);
    putUpNotificationArea();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(app_->start({{"LUMORA_API_BASE", QString::fromStdString(server_.baseUrl())}}));
    window_ = app_->waitForFace();
    ASSERT_FALSE(window_.isEmpty());
    face_ = xvfb_->geometry(window_);
  }

  void TearDown() override {
    app_.reset();
    if (tray_.state() == QProcess::NotRunning) return;
    tray_.kill();
    tray_.waitForFinished();
  }

  // The display has no notification area unless a fixture puts one up.
  virtual void putUpNotificationArea() {}

  bool until(const std::function<bool()>& done, const char* what,
             std::chrono::milliseconds limit = 10s) {
    return app_->until(done, what, limit);
  }
  QString xdotool(const QStringList& args) { return xvfb_->xdotool(args); }
  void mouseTo(int x, int y) { xdotool({"mousemove", QString::number(x), QString::number(y)}); }
  // A window of the program that opened with its corner at the point: the pop-up menu.
  QRect menuAt(int x, int y) {
    for (const QString& w :
         xdotool({"search", "--onlyvisible", "--classname", "lumora"}).split('\n')) {
      const QRect r = xvfb_->geometry(w.trimmed());
      if (w.trimmed() != window_ && r.topLeft() == QPoint(x, y)) return r;
    }
    return {};
  }
  QString screenshot(const char* name) {
    const QString shots = QString::fromStdString((buildDir() / "screenshots").string());
    QDir().mkpath(shots);
    const QString file = shots + "/" + name;
    QFile::remove(file);
    xvfb_->screenshot(file);
    return file;
  }

  ServerProcess server_;
  std::unique_ptr<Xvfb> xvfb_;
  std::unique_ptr<ProgramOnDisplay> app_;
  QProcess tray_;
  QString window_;
  QRect face_;
};

TEST_F(WindowBehavioursSmoke, CtrlRightWithTheFaceFocusedStartsTheNextSong) {
  xdotool({"windowfocus", "--sync", window_});
  xdotool({"key", "ctrl+Right"});
  EXPECT_TRUE(until([&] { return server_.playableSongStarts() == 1; },
                    "the song's address to be asked for"));
  // The title becomes the song's name.
  EXPECT_TRUE(until(
      [&] {
        const QString title = xdotool({"getwindowname", window_}).trimmed();
        return !title.isEmpty() && title != "暂无播放";
      },
      "the title to become the song's name"));
  // One press, one song: Ctrl+G, pressed after the release of Ctrl+Right, shows once the shortcut
  // poll has seen that release, so any second song of the first press has been asked for by then.
  xdotool({"key", "ctrl+g"});
  ASSERT_TRUE(until([&] { return xvfb_->geometry(window_).height() == 232; },
                    "Ctrl+G after Ctrl+Right to shrink the face"));
  EXPECT_EQ(server_.playableSongStarts(), 1u);
  xdotool({"key", "ctrl+g"});
  EXPECT_TRUE(until([&] { return xvfb_->geometry(window_).height() == 260; },
                    "the second Ctrl+G to give the face back its height"));
  EXPECT_TRUE(QFile::exists(screenshot("shortcut-next-song.png")));
}

TEST_F(WindowBehavioursSmoke, RightButtonOnTheCoverPopsUpTheMenu) {
  const int x = face_.x() + 60;
  const int y = face_.y() + 60;
  mouseTo(x, y);
  xdotool({"click", "3"});
  QRect menu;
  EXPECT_TRUE(until(
      [&] {
        menu = menuAt(x, y);
        return !menu.isEmpty();
      },
      "the menu at the pointer"));
  // Eleven rows of text, none hidden.
  EXPECT_GE(menu.height(), 11 * 18);
  EXPECT_LE(menu.height(), 11 * 30);
  EXPECT_TRUE(QFile::exists(screenshot("menu.png")));
  xdotool({"key", "Escape"});
}

// The mouse passes through in click-through mode, yet the focused face still hears Ctrl+G.
TEST_F(WindowBehavioursSmoke, ClickThroughIsLeftWithCtrlGOnceTheFaceHasTheFocus) {
  const int x = face_.x() + 60;
  const int y = face_.y() + 60;
  xdotool({"windowfocus", "--sync", window_});
  xdotool({"key", "ctrl+g"});
  ASSERT_TRUE(until([&] { return xvfb_->geometry(window_).height() == 232; },
                    "Ctrl+G to shrink the face into click-through"));
  mouseTo(x, y);
  xdotool({"click", "3"});

  // The right click came before this Ctrl+G: had it reached the face, its menu would be up now
  // and hold the keyboard, and the face would keep its click-through height.
  xdotool({"windowfocus", "--sync", window_});
  xdotool({"key", "ctrl+g"});
  EXPECT_TRUE(until([&] { return xvfb_->geometry(window_).height() == 260; },
                    "the second Ctrl+G to give the face back its height"));
  EXPECT_EQ(menuAt(x, y), QRect()) << "the click did not pass through";
  xdotool({"click", "3"});
  EXPECT_TRUE(until([&] { return !menuAt(x, y).isEmpty(); }, "the menu once clicks count again"));
  xdotool({"key", "Escape"});
}

TEST_F(WindowBehavioursSmoke, TheCoverDragsTheFace) {
  const QPoint start = xvfb_->geometry(window_).topLeft();
  mouseTo(start.x() + 77, start.y() + 80);
  xdotool({"mousedown", "1"});
  for (int step = 1; step <= 4; ++step)
    mouseTo(start.x() + 77 + 15 * step, start.y() + 80 + 10 * step);
  xdotool({"mouseup", "1"});
  EXPECT_TRUE(until([&] { return xvfb_->geometry(window_).topLeft() == start + QPoint(60, 40); },
                    "the face to follow the cover's drag"))
      << xvfb_->geometry(window_).x() << "," << xvfb_->geometry(window_).y();
}

TEST_F(WindowBehavioursSmoke, AWindowDraggedPastTheTopSlidesAwayAndComesBack) {
  const int left = face_.x();
  mouseTo(left + 400 > 700 ? 50 : 700, 500);
  xdotool({"windowmove", window_, QString::number(left), "-5"});
  EXPECT_TRUE(until([&] { return xvfb_->geometry(window_).top() == 2 - 260; },
                    "the face to slide up behind the top edge"));
  EXPECT_EQ(xvfb_->geometry(window_).left(), left);
  screenshot("docked-hidden.png");

  mouseTo(left + 40, 0);
  EXPECT_TRUE(until([&] { return xvfb_->geometry(window_).top() == 0; },
                    "the face to come out under the pointer"));
  screenshot("docked-shown.png");

  mouseTo(700, 500);
  EXPECT_TRUE(until([&] { return xvfb_->geometry(window_).top() == 2 - 260; },
                    "the face to slide away again"));
}

// A notification area of 120 × 24 pixels in the bottom right corner of the 800 × 600 screen; the
// program's icon is its only one, at the right end.
class WindowBehavioursWithATray : public WindowBehavioursSmoke {
 protected:
  void putUpNotificationArea() override {
    if (!haveTool("trayer")) GTEST_SKIP() << "trayer is needed";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", xvfb_->display());
    tray_.setProcessEnvironment(env);
    tray_.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                           "--width", "120", "--heighttype", "pixel", "--height", "24"});
    ASSERT_TRUE(tray_.waitForStarted(5000));
    ASSERT_TRUE(until(
        [&] {
          return !xvfb_->xdotool({"search", "--onlyvisible", "--class", "trayer"})
                      .trimmed()
                      .isEmpty();
        },
        "the notification area"));
  }
  bool faceShown() {
    return !xdotool({"search", "--onlyvisible", "--name", "暂无播放"}).trimmed().isEmpty();
  }
};

TEST_F(WindowBehavioursWithATray, HiddenByCtrlMTheFaceComesBackFromTheTrayIcon) {
  xdotool({"windowfocus", "--sync", window_});
  xdotool({"key", "ctrl+m"});
  ASSERT_TRUE(until([&] { return !faceShown(); }, "Ctrl+M to hide the face"));
  screenshot("hidden-to-tray.png");

  mouseTo(800 - 12, 600 - 12);
  xdotool({"click", "1"});
  EXPECT_TRUE(until([&] { return faceShown(); }, "a click on the tray icon to show the face"));
  EXPECT_EQ(xvfb_->geometry(window_), face_);
}

}  // namespace
}  // namespace lumora::test
