// The real program under Xvfb: it opens its face, a screenshot is kept under the build folder,
// and a click on the exit button ends it with status 0 after the destroy handler ran
// (LUMORA_TRACE_FILE records the life-cycle steps).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QStandardPaths>
#include <QThread>
#include <memory>

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
    trace_ = QString::fromStdString(tmp_.file("trace.txt"));
    const QString binary = QString::fromStdString((buildDir() / "src/app/lumora").string());
    ASSERT_TRUE(QFile::exists(binary));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", xvfb_->display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LUMORA_AUDIO_DEVICE", "0");
    env.insert("LUMORA_TRACE_FILE", trace_);
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

  void expectCleanExit() {
    ASSERT_TRUE(app_.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0) << app_.readAllStandardError().data();
    EXPECT_EQ(readTextFile(trace_).split('\n', Qt::SkipEmptyParts),
              QStringList({"onMainWindowCreated", "onFaceShown", "onMainWindowDestroying"}));
  }

  std::unique_ptr<Xvfb> xvfb_;
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

  // 图形按钮_退出 is at (125, 232), 24 × 24.
  xdotool({"mousemove", QString::number(face_.x() + 137), QString::number(face_.y() + 244), "click",
           "1"});
  expectCleanExit();
}

TEST_F(MainWindowSmoke, TerminationSignalClosesTheWindowTheSameWay) {
  app_.terminate();  // SIGTERM
  expectCleanExit();
}

}  // namespace
}  // namespace lumora::test
