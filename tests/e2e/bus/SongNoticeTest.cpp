// Song notifications seen by a real notification server (dunst on an X display of its own) on
// the private session bus dbus-run-session gives this executable; dbus-monitor records every
// Notify call the server is sent.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>
#include <QWindow>
#include <chrono>

#include "desktop/Notifications.h"
#include "desktop/TrayWiring.h"
#include "support/PictureBytes.h"
#include "support/PlaybackWindowSupport.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

bool pump(const std::function<bool()>& done) {
  return waitFor(done, 30s, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
}

// Every song has a real picture for a cover, so each one gets a cover file.
struct PictureService : FakeService {
  using FakeService::FakeService;
  std::string GetCoverImage(const std::string& id) override {
    FakeService::GetCoverImage(id);
    return pictureBytes(QSize(64, 64), Qt::darkCyan);
  }
};

// One Notify call as dbus-monitor prints it.
struct Call {
  uint replaces = 0;
  QString summary;
  QString image;
};

class Monitor {
 public:
  Monitor() {
    process_.start("dbus-monitor", {"--session",
                                    "type='method_call',interface='org.freedesktop."
                                    "Notifications',member='Notify'"});
  }
  ~Monitor() { endProcess(process_); }
  // dbus-monitor says it has become a monitor by losing its own name.
  bool ready() { return read().contains("NameLost"); }
  std::vector<Call> calls() {
    std::vector<Call> out;
    const QStringList parts = read().split("method call");
    for (qsizetype i = 1; i < parts.size(); ++i) {
      const QStringList lines = parts[i].split('\n');
      Call call;
      // Arguments: app name, replaces id, icon, summary, body, actions, hints, timeout.
      if (lines.size() > 4) call.replaces = lines[2].section("uint32 ", 1).toUInt();
      if (lines.size() > 4) call.summary = lines[4].section('"', 1, 1);
      const QRegularExpressionMatch image =
          QRegularExpression(R"re("image-path"\s*variant\s*string "([^"]*)")re").match(parts[i]);
      if (image.hasMatch()) call.image = image.captured(1);
      out.push_back(call);
    }
    return out;
  }

 private:
  QString read() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
    return output_;
  }
  QProcess process_;
  QString output_;
};

class Dunst {
 public:
  explicit Dunst(const QString& display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    process_.setProcessEnvironment(env);
    process_.start("dunst", {});
  }
  ~Dunst() { endProcess(process_); }

 private:
  QProcess process_;
};

bool serverOnBus() {
  return QDBusConnection::sessionBus().interface()->isServiceRegistered(
      QStringLiteral("org.freedesktop.Notifications"));
}

TEST(SongNotice, OnePerSongChangeWhileTheFaceIsHiddenNoneWhileShown) {
  if (!haveTool("dunst") || !haveTool("dbus-monitor") || !haveTool("Xvfb"))
    GTEST_SKIP() << "dunst, dbus-monitor or Xvfb missing";
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
  Monitor monitor;
  ASSERT_TRUE(pump([&] { return monitor.ready(); }));

  // No server on the bus: nothing is sent.
  ASSERT_FALSE(serverOnBus());
  Notifications alone(QDBusConnection::sessionBus());
  EXPECT_FALSE(alone.show("title", "body", {}));

  Xvfb x;
  ASSERT_FALSE(x.display().isEmpty());
  Dunst dunst(x.display());
  ASSERT_TRUE(pump(serverOnBus));

  TempDir cache;
  EventLog log;
  FakeAudio audio{log};
  PictureService service{log};
  FakeBackground background;
  ProgramObjects objects{ReadOptions()};
  objects.options.cacheHome = cache.path().string();
  objects.audio.init = [] { return true; };
  objects.audio.free = [] { return true; };
  objects.audioOutput = &audio;
  objects.musicService = &service;
  objects.background = &background;
  MainWindow window(objects, [](QWidget*, const MessageBoxRequest&) {});
  fillSquare(window, service, {"a", "b", "c", "d", "e", "f"});
  QAction* enabled = window.trayWiring()->notificationSwitch();
  PlaybackController& playback = window.playback();
  const auto name = [&] {
    return QString::fromStdString("name" + playback.state().now.currentSongId);
  };

  std::vector<QString> expected;
  // A notice waits while the server has not answered the one before, and a newer song replaces
  // it there: each is seen sent before the next song comes.
  const auto change = [&](bool notified) {
    playback.playNext();
    if (!notified) return;
    expected.push_back(name());
    EXPECT_TRUE(pump([&] { return monitor.calls().size() >= expected.size(); })) << expected.size();
  };
  change(true);  // never shown yet
  change(true);
  window.show();
  ASSERT_TRUE(pump([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
  change(false);
  window.hide();
  enabled->trigger();  // switched off in the tray menu
  change(false);
  enabled->trigger();
  change(true);
  // The calls of one connection arrive in order: once the last is seen, all earlier ones are.
  ASSERT_TRUE(pump([&] { return monitor.calls().size() >= expected.size(); }));
  const std::vector<Call> calls = monitor.calls();
  ASSERT_EQ(calls.size(), expected.size());
  for (std::size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].summary, expected[i]);
    EXPECT_TRUE(calls[i].image.startsWith("file://")) << calls[i].image.toStdString();
  }
  // Each replaces the one before: the server's id, the same every time.
  EXPECT_EQ(calls[0].replaces, 0u);
  EXPECT_NE(calls[1].replaces, 0u);
  EXPECT_EQ(calls[2].replaces, calls[1].replaces);
  EXPECT_TRUE(QFileInfo::exists(QUrl(calls.back().image).toLocalFile()));
}

}  // namespace
}  // namespace lumora::test
