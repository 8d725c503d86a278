// The real program under Xvfb against lumora-server: it opens its face, a screenshot is kept
// under the build folder, and a click on the exit button ends it with status 0 after the destroy
// handler ran (LUMORA_TRACE_FILE records the life-cycle steps), also while it waits for an answer.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <memory>

#include "support/ProgramOnDisplay.h"
#include "support/ServerProcess.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

// The real program on a fresh X display, with its life-cycle trace.
class MainWindowSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("import"))
      GTEST_SKIP() << "Xvfb, xdotool and imagemagick are needed";
    xvfb_ = std::make_unique<Xvfb>();
    ASSERT_FALSE(xvfb_->display().isEmpty());
    ASSERT_TRUE(server_.start()) << server_.errors();
    app_ = std::make_unique<ProgramOnDisplay>(*xvfb_);
    ASSERT_TRUE(app_->start({{"LUMORA_API_BASE", QString::fromStdString(server_.baseUrl())}}));
    const QString window = app_->waitForFace();
    ASSERT_FALSE(window.isEmpty());
    face_ = xvfb_->geometry(window);
  }

  void TearDown() override { app_.reset(); }

  QString xdotool(const QStringList& args) { return xvfb_->xdotool(args); }
  // A left click at a point of the face.
  void click(int x, int y) {
    xdotool({"mousemove", QString::number(face_.x() + x), QString::number(face_.y() + y), "click",
             "1"});
  }
  // 图形按钮_退出 is at (125, 232), 24 × 24.
  void clickExit() { click(137, 244); }

  void expectCleanExit() {
    QProcess& app = app_->process();
    ASSERT_TRUE(app.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().data();
    EXPECT_EQ(app_->traceText().split('\n', Qt::SkipEmptyParts),
              QStringList({"onMainWindowCreated", "onFaceShown", "onMainWindowDestroying"}));
  }

  std::unique_ptr<Xvfb> xvfb_;
  ServerProcess server_;
  std::unique_ptr<ProgramOnDisplay> app_;
  QRect face_;
};

TEST_F(MainWindowSmoke, OpensTheFaceAndEndsWithStatusZeroFromTheExitButton) {
  EXPECT_EQ(face_.size(), QSize(154, 260));
  const QString shots = QString::fromStdString((buildDir() / "screenshots").string());
  QDir().mkpath(shots);
  const QString shot = shots + "/main-window.png";
  QFile::remove(shot);
  xvfb_->screenshot(shot, face_);
  EXPECT_TRUE(QFile::exists(shot));

  clickExit();
  expectCleanExit();
}

// Play, and the server holds the new song's lyric back: the exit button ends the program, with
// its settings saved, before the server answers. The lyric is asked for once the song sounds, or
// at once for the members-only song, which has no audio to ask for; the playlist's order is
// random, so either may come first.
TEST_F(MainWindowSmoke, TheExitButtonEndsTheProgramWhileTheServerHoldsAnAnswerBack) {
  ASSERT_TRUE(server_.addDelay("/lyric", 20000));
  click(78, 173);  // 图形按钮_播放 at (64, 159), 28 × 28
  ASSERT_TRUE(app_->until(
      [&] {
        return !server_.requestsTo("/audio").empty() ||
               !server_.requestsTo("/song/url?id=1000004&").empty();
      },
      "the song's audio, or the members-only song's address, to be asked for", 15s))
      << server_.output();
  clickExit();
  expectCleanExit();
  EXPECT_TRUE(server_.requestsTo("/lyric").empty());
  EXPECT_TRUE(QFile::exists(app_->file("config/lumora/lumora.ini")));
}

TEST_F(MainWindowSmoke, TerminationSignalClosesTheWindowTheSameWay) {
  app_->process().terminate();  // SIGTERM
  expectCleanExit();
}

}  // namespace
}  // namespace lumora::test
