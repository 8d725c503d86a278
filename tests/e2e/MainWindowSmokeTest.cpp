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

namespace lumora::test {
namespace {

bool haveTool(const char* name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

QString run(const QString& program, const QStringList& args, const QString& display) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display);
  p.setProcessEnvironment(env);
  p.start(program, args);
  p.waitForFinished(15000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

QString readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class Xvfb {
 public:
  // Xvfb picks a free display itself and writes its number to stdout, so parallel tests can
  // never end up sharing a display.
  Xvfb() {
    server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
    if (!server_.waitForStarted(5000)) return;
    QByteArray number;
    for (int i = 0; i < 200 && !number.contains('\n'); ++i) {
      if (!server_.waitForReadyRead(50) && server_.state() != QProcess::Running) return;
      number += server_.readAllStandardOutput();
    }
    if (number.trimmed().isEmpty()) return;
    display_ = ":" + QString::fromLatin1(number.trimmed());
  }
  ~Xvfb() {
    if (server_.state() != QProcess::NotRunning) {
      server_.terminate();
      if (!server_.waitForFinished(5000)) server_.kill();
      server_.waitForFinished();
    }
  }
  QString display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

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
    for (int i = 0; i < 300 && !readFile(trace_).contains("onMainWindowCreated"); ++i)
      app_.waitForFinished(100);
    ASSERT_TRUE(readFile(trace_).contains("onMainWindowCreated"))
        << app_.readAllStandardError().data();
    QString window;
    for (int i = 0; i < 100 && window.isEmpty(); ++i) {
      window = xdotool({"search", "--onlyvisible", "--name", "暂无播放"})
                   .split('\n', Qt::SkipEmptyParts)
                   .value(0);
      if (window.isEmpty()) QThread::msleep(100);
    }
    ASSERT_FALSE(window.isEmpty());
    QThread::msleep(500);  // let the first paint land
    for (const QString& line : xdotool({"getwindowgeometry", "--shell", window}).split('\n')) {
      const QStringList kv = line.split('=');
      if (kv.size() != 2) continue;
      if (kv[0] == "X") face_.setX(kv[1].toInt());
      if (kv[0] == "Y") face_.setY(kv[1].toInt());
      if (kv[0] == "WIDTH") face_.setWidth(kv[1].toInt());
      if (kv[0] == "HEIGHT") face_.setHeight(kv[1].toInt());
    }
  }

  void TearDown() override {
    if (app_.state() != QProcess::NotRunning) {
      app_.kill();
      app_.waitForFinished();
    }
  }

  QString xdotool(const QStringList& args) { return run("xdotool", args, xvfb_->display()); }

  void expectCleanExit() {
    ASSERT_TRUE(app_.waitForFinished(30000)) << "the program did not end";
    EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app_.exitCode(), 0) << app_.readAllStandardError().data();
    EXPECT_EQ(readFile(trace_).split('\n', Qt::SkipEmptyParts),
              QStringList({"onMainWindowCreated", "onMainWindowDestroying"}));
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
  run("import",
      {"-window", "root", "-crop",
       QString("%1x%2+%3+%4").arg(face_.width()).arg(face_.height()).arg(face_.x()).arg(face_.y()),
       "+repage", shot},
      xvfb_->display());
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
