// The real program under Xvfb against lumora-server: it opens its face, a screenshot is kept
// under the build folder, and a click on the exit button ends it with status 0 after the destroy
// handler ran (LUMORA_TRACE_FILE records the life-cycle steps), also while it waits for an answer.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QStandardPaths>
#include <QThread>
#include <memory>

#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

// The real program on a fresh X display, with its life-cycle trace.
class MainWindowSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("import"))
      GTEST_SKIP() << "Xvfb, xdotool and imagemagick are needed";
    xvfb_ = std::make_unique<Xvfb>();
    ASSERT_FALSE(xvfb_->display().isEmpty());
    ASSERT_TRUE(server_.start()) << server_.errors();
    trace_ = QString::fromStdString(tmp_.file("trace.txt"));
    const QString binary = QString::fromStdString((buildDir() / "src/app/lumora").string());
    ASSERT_TRUE(QFile::exists(binary));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", xvfb_->display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LUMORA_AUDIO_DEVICE", "0");
    env.insert("LUMORA_TRACE_FILE", trace_);
    env.insert("LUMORA_API_BASE", QString::fromStdString(server_.baseUrl()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(tmp_.file("config")));
    app_.setProcessEnvironment(env);
    app_.start(binary, {});
    ASSERT_TRUE(app_.waitForStarted(10000));
    for (int i = 0; i < 300 && !readTextFile(trace_).contains("onFaceShown"); ++i)
      app_.waitForFinished(100);
    ASSERT_TRUE(readTextFile(trace_).contains("onFaceShown")) << app_.readAllStandardError().data();
    QString window;
    for (int i = 0; i < 100 && window.isEmpty(); ++i) {
      window = xdotool({"search", "--onlyvisible", "--name", "暂无播放"})
                   .split('\n', Qt::SkipEmptyParts)
                   .value(0);
      if (window.isEmpty()) QThread::msleep(100);
    }
    ASSERT_FALSE(window.isEmpty());
    QThread::msleep(500);  // let the X server settle before the first screenshot
    face_ = xvfb_->geometry(window);
  }

  void TearDown() override {
    if (app_.state() != QProcess::NotRunning) {
      app_.kill();
      app_.waitForFinished();
    }
  }

  QString xdotool(const QStringList& args) { return xvfb_->xdotool(args); }
  // A left click at a point of the face.
  void click(int x, int y) {
    xdotool({"mousemove", QString::number(face_.x() + x), QString::number(face_.y() + y), "click",
             "1"});
  }
  // 图形按钮_退出 is at (125, 232), 24 × 24.
  void clickExit() { click(137, 244); }

  void expectCleanExit() {
    ASSERT_TRUE(app_.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0) << app_.readAllStandardError().data();
    EXPECT_EQ(readTextFile(trace_).split('\n', Qt::SkipEmptyParts),
              QStringList({"onMainWindowCreated", "onFaceShown", "onMainWindowDestroying"}));
  }

  std::unique_ptr<Xvfb> xvfb_;
  ServerProcess server_;
  TempDir tmp_;
  QString trace_;
  QProcess app_;
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
// its settings saved, before the server answers.
TEST_F(MainWindowSmoke, TheExitButtonEndsTheProgramWhileTheServerHoldsAnAnswerBack) {
  ASSERT_TRUE(server_.addDelay("/lyric", 20000));
  click(78, 173);  // 图形按钮_播放 at (64, 159), 28 × 28
  for (int i = 0; i < 300 && server_.requestsTo("/audio").empty(); ++i) app_.waitForFinished(50);
  ASSERT_FALSE(server_.requestsTo("/audio").empty()) << server_.output();
  clickExit();
  expectCleanExit();
  EXPECT_TRUE(server_.requestsTo("/lyric").empty());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(tmp_.file("config/lumora/lumora.ini"))));
}

TEST_F(MainWindowSmoke, TerminationSignalClosesTheWindowTheSameWay) {
  app_.terminate();  // SIGTERM
  expectCleanExit();
}

}  // namespace
}  // namespace lumora::test
