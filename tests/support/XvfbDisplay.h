#pragma once
// A fresh X display of a test's own (Xvfb), and the tools that drive and photograph the real
// program on it: xdotool and ImageMagick's import.
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace lumora::test {

inline bool haveTool(const char* name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

// Runs a tool on the display and returns what it printed.
inline QString runOnDisplay(const QString& program, const QStringList& args,
                            const QString& display) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display);
  p.setProcessEnvironment(env);
  p.start(program, args);
  p.waitForFinished(15000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Asks a helper process (a display, a compositor, a notification server) to end, and makes sure.
inline void endProcess(QProcess& process) {
  if (process.state() == QProcess::NotRunning) return;
  process.terminate();
  if (!process.waitForFinished(5000)) process.kill();
  process.waitForFinished();
}

inline QString readTextFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class Xvfb {
 public:
  // Xvfb picks a free display itself and writes its number to stdout, so parallel tests can
  // never end up sharing a display. -noreset: by default the server resets whenever its last
  // client leaves, and a program that connects during that reset is turned away ("could not
  // connect to display") while the test waits for its window; a test's own xdotool calls, each a
  // client that comes and goes, make that happen at any program start.
  Xvfb() {
    server_.start(
        "Xvfb", {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"});
    if (!server_.waitForStarted(5000)) return;
    QByteArray number;
    for (int i = 0; i < 200 && !number.contains('\n'); ++i) {
      if (!server_.waitForReadyRead(50) && server_.state() != QProcess::Running) return;
      number += server_.readAllStandardOutput();
    }
    if (number.trimmed().isEmpty()) return;
    display_ = ":" + QString::fromLatin1(number.trimmed());
  }
  ~Xvfb() { endProcess(server_); }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  QString display() const { return display_; }
  QString xdotool(const QStringList& args) const { return runOnDisplay("xdotool", args, display_); }
  // Where the window is on the screen, as the X server says.
  QRect geometry(const QString& window) const {
    QRect r;
    for (const QString& line : xdotool({"getwindowgeometry", "--shell", window}).split('\n')) {
      const QStringList kv = line.split('=');
      if (kv.size() != 2) continue;
      if (kv[0] == "X") r.moveLeft(kv[1].toInt());
      if (kv[0] == "Y") r.moveTop(kv[1].toInt());
      if (kv[0] == "WIDTH") r.setWidth(kv[1].toInt());
      if (kv[0] == "HEIGHT") r.setHeight(kv[1].toInt());
    }
    return r;
  }
  // The part of the screen given (the whole screen when empty) as a PNG file.
  void screenshot(const QString& file, const QRect& part = {}) const {
    QStringList args{"-window", "root"};
    if (!part.isEmpty())
      args
          << "-crop"
          << QString("%1x%2+%3+%4").arg(part.width()).arg(part.height()).arg(part.x()).arg(part.y())
          << "+repage";
    runOnDisplay("import", args << file, display_);
  }

 private:
  QProcess server_;
  QString display_;
};

}  // namespace lumora::test
