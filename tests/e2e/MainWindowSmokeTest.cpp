// The real program under Xvfb: it opens its face, a screenshot is kept under the build folder,
// and a click on the exit button ends it with status 0 after the destroy handler ran
// (LUMORA_TRACE_FILE records the life-cycle steps).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

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
  Xvfb() {
    for (int n = 90; n < 200; ++n) {
      if (QFile::exists(QString("/tmp/.X%1-lock").arg(n)) ||
          QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)))
        continue;
      display_ = QString(":%1").arg(n);
      server_.start("Xvfb", {display_, "-screen", "0", "800x600x24", "-nolisten", "tcp"});
      if (!server_.waitForStarted(5000)) break;
      for (int i = 0; i < 100 && server_.state() == QProcess::Running; ++i) {
        if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n))) return;
        QThread::msleep(50);
      }
      server_.kill();
      server_.waitForFinished();  // lost a race for that number; try the next one
    }
    display_.clear();
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

TEST(MainWindowSmoke, OpensTheFaceAndEndsWithStatusZeroFromTheExitButton) {
  if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("import"))
    GTEST_SKIP() << "Xvfb, xdotool and imagemagick are needed";
  Xvfb xvfb;
  ASSERT_FALSE(xvfb.display().isEmpty());
  TempDir tmp;
  const QString trace = QString::fromStdString(tmp.file("trace.txt"));
  const QString binary = QString::fromStdString((buildDir() / "src/app/lumora").string());
  ASSERT_TRUE(QFile::exists(binary));

  QProcess app;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", xvfb.display());
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("LUMORA_AUDIO_DEVICE", "0");
  env.insert("LUMORA_TRACE_FILE", trace);
  app.setProcessEnvironment(env);
  app.start(binary, {});
  ASSERT_TRUE(app.waitForStarted(10000));

  for (int i = 0; i < 300 && !readFile(trace).contains("onMainWindowCreated"); ++i)
    app.waitForFinished(100);
  ASSERT_TRUE(readFile(trace).contains("onMainWindowCreated")) << app.readAllStandardError().data();

  QString window;
  for (int i = 0; i < 100 && window.isEmpty(); ++i) {
    window = run("xdotool", {"search", "--onlyvisible", "--name", "暂无播放"}, xvfb.display())
                 .split('\n', Qt::SkipEmptyParts)
                 .value(0);
    if (window.isEmpty()) QThread::msleep(100);
  }
  ASSERT_FALSE(window.isEmpty());
  QThread::msleep(500);  // let the first paint land

  int x = 0, y = 0, w = 0, h = 0;
  for (const QString& line :
       run("xdotool", {"getwindowgeometry", "--shell", window}, xvfb.display()).split('\n')) {
    const QStringList kv = line.split('=');
    if (kv.size() != 2) continue;
    if (kv[0] == "X") x = kv[1].toInt();
    if (kv[0] == "Y") y = kv[1].toInt();
    if (kv[0] == "WIDTH") w = kv[1].toInt();
    if (kv[0] == "HEIGHT") h = kv[1].toInt();
  }
  EXPECT_EQ(w, 154);
  EXPECT_EQ(h, 260);

  const QString shots = QString::fromStdString((buildDir() / "screenshots").string());
  QDir().mkpath(shots);
  const QString shot = shots + "/main-window.png";
  QFile::remove(shot);
  run("import",
      {"-window", "root", "-crop", QString("%1x%2+%3+%4").arg(w).arg(h).arg(x).arg(y), "+repage",
       shot},
      xvfb.display());
  EXPECT_TRUE(QFile::exists(shot));

  // 图形按钮_退出 is at (125, 232), 24 × 24.
  run("xdotool", {"mousemove", QString::number(x + 137), QString::number(y + 244), "click", "1"},
      xvfb.display());
  ASSERT_TRUE(app.waitForFinished(30000)) << "the exit button did not end the program";
  EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().data();
  const QStringList steps = readFile(trace).split('\n', Qt::SkipEmptyParts);
  EXPECT_EQ(steps, QStringList({"onMainWindowCreated", "onMainWindowDestroying"}));
}

}  // namespace
}  // namespace lumora::test
