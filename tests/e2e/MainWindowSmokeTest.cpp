// The real program under Xvfb: it opens its face, a screenshot is kept under the build folder,
// and a click on the exit button ends it with status 0 after the destroy handler ran
// (LUMORA_TRACE_FILE records the life-cycle steps).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <memory>

#include "support/ProgramOnDisplay.h"
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
    app_ = std::make_unique<ProgramOnDisplay>(*xvfb_);
    ASSERT_TRUE(app_->start());
    const QString window = app_->waitForFace();
    ASSERT_FALSE(window.isEmpty());
    face_ = xvfb_->geometry(window);
  }

  void TearDown() override { app_.reset(); }

  QString xdotool(const QStringList& args) { return xvfb_->xdotool(args); }

  void expectCleanExit() {
    QProcess& app = app_->process();
    ASSERT_TRUE(app.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().data();
    EXPECT_EQ(app_->traceText().split('\n', Qt::SkipEmptyParts),
              QStringList({"onMainWindowCreated", "onFaceShown", "onMainWindowDestroying"}));
  }

  std::unique_ptr<Xvfb> xvfb_;
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

  // 图形按钮_退出 is at (125, 232), 24 × 24.
  xdotool({"mousemove", QString::number(face_.x() + 137), QString::number(face_.y() + 244), "click",
           "1"});
  expectCleanExit();
}

TEST_F(MainWindowSmoke, TerminationSignalClosesTheWindowTheSameWay) {
  app_->process().terminate();  // SIGTERM
  expectCleanExit();
}

}  // namespace
}  // namespace lumora::test
