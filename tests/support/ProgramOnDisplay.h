#pragma once
// The real program on a test's own X display, with its start-up trace: started, waited for by
// condition (the trace's "onFaceShown", then the face's window), and killed with the fixture.
// A wait that gives up says what it waited for and the trace's last line.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {

class ProgramOnDisplay {
 public:
  explicit ProgramOnDisplay(const Xvfb& xvfb) : xvfb_(xvfb) {}
  ~ProgramOnDisplay() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished();
  }
  ProgramOnDisplay(const ProgramOnDisplay&) = delete;
  ProgramOnDisplay& operator=(const ProgramOnDisplay&) = delete;

  // Starts build/src/app/lumora on the display, no sound, with the given extra environment.
  bool start(const std::map<QString, QString>& extraEnv = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", xvfb_.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("LUMORA_AUDIO_DEVICE", "0");
    env.insert("LUMORA_TRACE_FILE", trace());
    env.insert("XDG_CONFIG_HOME", file("config"));
    env.insert("XDG_STATE_HOME", file("state"));
    for (const auto& [name, value] : extraEnv) env.insert(name, value);
    process_.setProcessEnvironment(env);
    process_.start(QString::fromStdString((buildDir() / "src/app/lumora").string()), {});
    return process_.waitForStarted(10000);
  }

  // The face's X window once its first paint reached the display; empty when it never came.
  QString waitForFace(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    QString window;
    until([&] { return traceText().contains("onFaceShown"); }, "the face's first paint", limit);
    until(
        [&] {
          window = xvfb_.xdotool({"search", "--onlyvisible", "--name", "暂无播放"})
                       .split('\n', Qt::SkipEmptyParts)
                       .value(0);
          return !window.isEmpty();
        },
        "a window named 暂无播放", limit);
    return window;
  }

  // Waits for done(); when it does not come, records a failure naming what was awaited, with the
  // trace's last line and what the program printed.
  bool until(const std::function<bool()>& done, const char* what,
             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    if (waitFor(done, limit)) return true;
    const QStringList lines = traceText().split('\n', Qt::SkipEmptyParts);
    ADD_FAILURE() << "gave up after " << limit.count() << " ms waiting for " << what
                  << "; the trace's last line: "
                  << (lines.isEmpty() ? QString("(none)") : lines.last()).toStdString()
                  << "; the program printed: " << process_.readAllStandardError().toStdString();
    return false;
  }

  // A file of the program's own folders (its config folder is "config").
  QString file(const std::string& name) const { return QString::fromStdString(tmp_.file(name)); }
  QString trace() const { return file("trace.txt"); }
  QString traceText() const { return readTextFile(trace()); }
  QProcess& process() { return process_; }

 private:
  const Xvfb& xvfb_;
  TempDir tmp_;
  QProcess process_;
};

}  // namespace lumora::test
