// The real main window against lumora-server, seen and steered by real MPRIS clients (playerctl
// and dbus-send) over the private session bus dbus-run-session gives this executable; and the
// same window with no session bus at all.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <chrono>
#include <cmath>
#include <memory>

#include "app/MainWindow.h"
#include "common/Text.h"
#include "desktop/MprisService.h"
#include "desktop/Transport.h"
#include "net/ApiClient.h"
#include "support/Controls.h"
#include "support/PlaybackAccess.h"
#include "support/ServerSuite.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return waitFor(done, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
}

// Runs a client while the window keeps answering the bus; its trimmed standard output.
std::string runClient(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!pump([&] { return p.state() == QProcess::NotRunning; }, 30s)) {
    p.kill();
    p.waitForFinished();
    return "<timed out>";
  }
  return p.readAllStandardOutput().trimmed().toStdString();
}

// The process has put its own SIGTERM handler in place (bit 15 of the caught-signal mask).
bool catchesSigterm(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:"))
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> 14) & 1;
  return false;
}

bool traced(const std::string& file, const char* step) {
  QFile f(QString::fromStdString(file));
  return f.open(QIODevice::ReadOnly) && f.readAll().contains(step);
}

// dbus-monitor on the player's signals, as a desktop shell listens to them.
class SignalWatch {
 public:
  SignalWatch() {
    monitor_.start("dbus-monitor", {"--session", "type='signal',path='/org/mpris/MediaPlayer2'"});
  }
  ~SignalWatch() {
    monitor_.kill();
    monitor_.waitForFinished();
  }
  // Waits until the monitor has printed all of `texts`, in one signal or several.
  bool saw(const QStringList& texts) {
    return pump(
        [&] {
          seen_ += QString::fromUtf8(monitor_.readAllStandardOutput());
          for (const QString& text : texts)
            if (!seen_.contains(text)) return false;
          return true;
        },
        10s);
  }
  QString seen() const { return seen_; }

 private:
  QProcess monitor_;
  QString seen_;
};

class WindowOnServer : public ServerSuite {
 protected:
  void SetUp() override {
    ServerSuite::SetUp();
    objects.options.ApiBaseAddress = server_->baseUrl();
    objects.options.cacheHome = tmp.path().string();
    objects.options.traceFile = tmp.file("trace.txt");
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
    window->show();
  }

  const PlaybackState& state() const { return window->playback().state(); }
  ChannelState active() { return objects.player.isActive(state().now.currentStream); }
  QString label(const char* name) { return control<QLabel>(*window, name)->text(); }
  QFrame* progressBar() { return control<QFrame>(*window, "进度条"); }
  PictureButton* button(const char* name) { return control<PictureButton>(*window, name); }
  // The progress bar's tooltip, "elapsed / total", split.
  std::pair<std::string, std::string> playTimes() {
    const QStringList parts = progressBar()->toolTip().split(" / ");
    if (parts.size() != 2) return {};
    return {parts[0].toStdString(), parts[1].toStdString()};
  }
  // Playing, and the stream knows its length.
  bool playingWithLength() {
    return active() == ChannelState::Playing && !playTimes().second.empty() &&
           playTimes().second != "00:00";
  }

  // Starts the program itself against the same server, tracing to tmp/traceName.
  void startProgram(QProcess& program, const char* traceName) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LUMORA_API_BASE", QString::fromStdString(server_->baseUrl()));
    env.insert("LUMORA_TRACE_FILE", QString::fromStdString(tmp.file(traceName)));
    program.setProcessEnvironment(env);
    program.start(QString::fromStdString((buildDir() / "src/app/lumora").string()), {});
  }

  TempDir tmp;
  ProgramObjects objects{ReadOptions()};
  std::unique_ptr<MainWindow> window;
};

class Mpris : public WindowOnServer {
 protected:
  void SetUp() override {
    for (const char* tool : {"playerctl", "dbus-send", "dbus-monitor"})
      if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is needed";
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    WindowOnServer::SetUp();
  }

  std::string ctl(QStringList args) {
    return runClient("playerctl", QStringList{"-p", "lumora"} + args);
  }
  std::string meta(const char* key) { return ctl({"metadata", key}); }
  void callRoot(const char* method) {
    runClient("dbus-send",
              {"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.lumora",
               "/org/mpris/MediaPlayer2", QStringLiteral("org.mpris.MediaPlayer2.") + method});
  }
  double position() { return std::stod("0" + ctl({"position"})); }
  // A watch that is known to listen already: it has heard a volume change.
  std::unique_ptr<SignalWatch> listeningWatch() {
    auto watch = std::make_unique<SignalWatch>();
    for (int i = 0; i < 20; ++i) {
      ctl({"volume", "1"});
      if (watch->saw({"\"Volume\""})) break;
    }
    return watch;
  }
};

TEST_F(Mpris, StatusAndMetadataAgreeWithTheFace) {
  EXPECT_EQ(runClient("playerctl", {"-l"}), "lumora");
  EXPECT_EQ(ctl({"status"}), "Stopped");
  EXPECT_EQ(meta("mpris:trackid"), "'/org/mpris/MediaPlayer2/TrackList/NoTrack'");

  const auto watch = listeningWatch();
  ctl({"play"});
  ASSERT_TRUE(pump([&] { return playingWithLength(); }, 20s));
  // Shells learn of the change without asking: the status and the new song.
  EXPECT_TRUE(watch->saw({"member=PropertiesChanged", "\"PlaybackStatus\"", "\"Playing\"",
                          "\"Metadata\"", "\"xesam:title\""}))
      << watch->seen().toStdString();
  EXPECT_EQ(ctl({"status"}), "Playing");
  const NowPlaying& now = state().now;
  EXPECT_EQ(meta("xesam:title"), label("歌曲名称").toStdString());
  EXPECT_EQ(meta("xesam:title"), now.currentName);
  std::string artists = now.currentArtists;
  for (std::size_t at = artists.find(','); at != std::string::npos; at = artists.find(',', at + 2))
    artists.replace(at, 1, ", ");
  EXPECT_EQ(ctl({"metadata", "--format", "{{xesam:artist}}"}), artists);
  EXPECT_EQ(meta("xesam:album"), now.currentAlbum);
  EXPECT_EQ(meta("mpris:trackid"), "'/org/lumora/track/t" + now.currentSongId + "'");
  EXPECT_EQ(meta("xesam:url"), server_->baseUrl() + "/#/song?id=" + now.currentSongId);
  const long long lengthUs = std::stoll("0" + meta("mpris:length"));
  EXPECT_EQ(ClockText(lengthUs / 1000000), playTimes().second);
}

TEST_F(Mpris, NextStartsAnotherSongOnTheFace) {
  ctl({"play"});
  ASSERT_TRUE(pump([&] { return playingWithLength(); }, 20s));
  const NowPlaying first = state().now;
  // Logged out, the members-only song has no address: a start on it is passed over a second
  // later, and the step back below would land on it instead of the first song.
  PlayQueue& queue = PlaybackControllerAccess::state(window->playback()).playlistQueue;
  for (std::size_t k = queue.size(); k >= 1; --k)
    if (queue.ids[k - 1] == kMembersOnlySongId) queue.removeAt(k);

  ctl({"next"});
  ASSERT_TRUE(pump([&] { return state().now.currentSongId != first.currentSongId; }, 20s))
      << "still " << first.currentSongId << ", " << state().playlistQueue.size() << " queued";
  // A URL stream may buffer for a moment before it sounds.
  EXPECT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));
  EXPECT_EQ(label("歌曲名称").toStdString(), state().now.currentName);
  EXPECT_NE(label("歌曲名称").toStdString(), first.currentName);
  EXPECT_EQ(meta("xesam:title"), state().now.currentName);
  EXPECT_EQ(window->windowTitle(), label("歌曲名称"));

  // A step back shows "name - artists" on the face; the clients get the song itself.
  ctl({"previous"});
  const std::string back = first.currentName + " - " + first.currentArtists;
  ASSERT_TRUE(pump([&] { return label("歌曲名称").toStdString() == back; }, 20s))
      << label("歌曲名称").toStdString() << " instead of " << back;
  EXPECT_EQ(meta("mpris:trackid"), "'/org/lumora/track/t" + first.currentSongId + "'");
  EXPECT_EQ(meta("xesam:title"), first.currentName);
}

TEST_F(Mpris, PlayPauseAndStopShowOnTheFaceButtons) {
  ctl({"play"});
  ASSERT_TRUE(pump([&] { return playingWithLength(); }, 20s));
  EXPECT_FALSE(button("图形按钮_暂停")->isHidden());

  ctl({"play-pause"});
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Paused; }, 10s));
  EXPECT_EQ(ctl({"status"}), "Paused");
  EXPECT_FALSE(button("图形按钮_播放")->isHidden());
  EXPECT_TRUE(button("图形按钮_暂停")->isHidden());
  EXPECT_EQ(window->windowTitle().toStdString(), "暂停播放");

  ctl({"play-pause"});
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));
  EXPECT_EQ(ctl({"status"}), "Playing");
  EXPECT_TRUE(button("图形按钮_播放")->isHidden());

  // Stop: paused at the start, so that play starts the song over.
  ctl({"position", "8"});
  ctl({"stop"});
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Paused; }, 10s));
  EXPECT_FALSE(button("图形按钮_播放")->isHidden());
  EXPECT_LT(position(), 0.5);
}

TEST_F(Mpris, PositionSeeksAndTheProgressFollows) {
  ctl({"play"});
  ASSERT_TRUE(pump([&] { return playingWithLength(); }, 20s));
  const double length = std::stoll("0" + meta("mpris:length")) / 1e6;
  ASSERT_GT(length, 12.0);  // every square song lasts 20 s or more
  // Paused, the position moves only by the seeks, however slowly the clients start.
  ctl({"pause"});
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Paused; }, 10s));

  const auto watch = listeningWatch();
  ctl({"position", "10"});
  EXPECT_TRUE(watch->saw({"member=Seeked", "int64 10000000"})) << watch->seen().toStdString();
  ASSERT_TRUE(
      pump([&] { return playTimes().first == "00:10" || playTimes().first == "00:11"; }, 5s))
      << playTimes().first;
  const double expectedWidth = 10.0 / length * 154;
  EXPECT_NEAR(progressBar()->width(), expectedWidth, 3.0);
  EXPECT_NEAR(position(), 10.0, 1.5);

  ctl({"position", "4-"});
  EXPECT_NEAR(position(), 6.0, 1.5);
  // A position outside the song is refused; the song plays on where it was.
  ctl({"position", "100000"});
  EXPECT_NEAR(position(), 6.0, 1.5);
}

TEST_F(Mpris, VolumeIsSharedWithTheFaceWheel) {
  EXPECT_EQ(ctl({"volume"}), "1.000000");
  ctl({"volume", "0.5"});
  EXPECT_FLOAT_EQ(objects.player.getVolume(), 0.5f);
  EXPECT_EQ(ctl({"volume"}), "0.500000");

  // One notch up over the cover.
  QWheelEvent wheel(QPointF(40, 40), window->mapToGlobal(QPointF(40, 40)), {}, QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(window.get(), &wheel);
  EXPECT_EQ(ctl({"volume"}), "0.550000");
}

TEST_F(Mpris, ArtUrlNamesAFileHoldingTheShownCover) {
  ctl({"play"});
  ASSERT_TRUE(pump([&] { return playingWithLength(); }, 20s));
  const QUrl url(QString::fromStdString(meta("mpris:artUrl")));
  ASSERT_TRUE(url.isLocalFile()) << url.toString().toStdString();
  EXPECT_TRUE(url.toLocalFile().startsWith(QString::fromStdString(tmp.file("lumora/"))));
  QFile file(url.toLocalFile());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));

  JsonDocument json;
  Session session;
  ApiClient client(json, session, server_->baseUrl());
  const std::string cover = client.GetCoverImage(state().now.currentSongId);
  ASSERT_FALSE(cover.empty());
  EXPECT_EQ(file.readAll().toStdString(), cover);
}

TEST_F(Mpris, RaiseBringsTheFaceBackFromTheTrayOrClickThrough) {
  window->hide();
  callRoot("Raise");
  ASSERT_TRUE(pump([&] { return window->isVisible(); }, 5s));

  // Hidden by the menu's switch (minimised where there is no notification area).
  const MenuControls& menu = window->controls().menu;
  menu.hideToTray->trigger();
  ASSERT_TRUE(menu.hideToTray->isChecked());
  ASSERT_TRUE(!window->isVisible() || window->isMinimized());
  callRoot("Raise");
  ASSERT_TRUE(pump([&] { return window->isVisible() && !window->isMinimized(); }, 5s));
  EXPECT_FALSE(menu.hideToTray->isChecked());

  menu.clickThrough->trigger();
  ASSERT_TRUE(menu.clickThrough->isChecked());
  ASSERT_TRUE(window->windowFlags().testFlag(Qt::WindowTransparentForInput));
  callRoot("Raise");
  ASSERT_TRUE(pump([&] { return !menu.clickThrough->isChecked(); }, 5s));
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowTransparentForInput));
  EXPECT_TRUE(window->isVisible());
}

TEST_F(Mpris, QuitEndsThePlayerAsItsExitDoes) {
  callRoot("Quit");
  ASSERT_TRUE(
      pump([&] { return traced(objects.options.traceFile, "onMainWindowDestroying"); }, 5s));
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(objects.player.free());  // the device was released by the destroy handler
}

// Counts the paints a widget receives.
struct PaintCount : QObject {
  explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// Next, while the server holds the new song's lyric back: the face paints and opens its list,
// the service answers, pause acts at once, and the exit button ends the wait, all before the
// server has answered. The checks run from a timer, inside the window's wait.
TEST_F(Mpris, EverythingAnswersWhileTheServerHoldsAnAnswerBack) {
  ASSERT_TRUE(server_->addDelay("/lyric", 20000));
  // A song that sounds while its lyric is held back. Drawn from the square it might be the
  // members-only song, which has no sound and is passed over only after its lyric has come.
  PlaybackState& scene = PlaybackControllerAccess::state(window->playback());
  scene.playlistQueue.append(Song{"1000001", "晨光序曲", "林夕雨", "晨光 Morning Light"});
  scene.playlist.playlistLoadCode = "200";
  // The server is shared by the suite: only answers from now on count.
  const std::size_t lyrics = server_->requestsTo("/lyric").size();
  auto unanswered = [&] { return server_->requestsTo("/lyric").size() == lyrics; };
  auto* squareFrame = control<QWidget>(*window, "外形框1");
  PaintCount squarePaints(squareFrame);
  struct {
    bool done = false;
    std::string status, statusPaused;
    int paints = 0;
    ChannelState activePaused = ChannelState::Stopped;
    bool squareShown = false, unanswered = false;
  } seen;
  QTimer probe;
  probe.setInterval(20);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (seen.done || active() != ChannelState::Playing || !unanswered()) return;
    seen.done = true;
    seen.status = ctl({"status"});
    button("图形按钮_列表")->click();
    pump([&] { return squarePaints.paints > 0; }, 10s);
    seen.paints = squarePaints.paints;
    seen.squareShown = !squareFrame->isHidden();
    button("图形按钮_暂停")->click();
    seen.activePaused = active();
    seen.statusPaused = ctl({"status"});
    seen.unanswered = unanswered();
    button("图形按钮_退出")->click();
  });
  probe.start();
  QMetaObject::invokeMethod(button("图形按钮_下一曲"), "click", Qt::QueuedConnection);
  ASSERT_TRUE(
      pump([&] { return seen.done && traced(objects.options.traceFile, "onMainWindowDestroying"); },
           60s));
  // Answered at all: the new song is announced only once its start is complete.
  EXPECT_TRUE(seen.status == "Stopped" || seen.status == "Playing") << seen.status;
  EXPECT_GT(seen.paints, 0);
  EXPECT_TRUE(seen.squareShown);
  EXPECT_EQ(seen.activePaused, ChannelState::Paused);
  EXPECT_EQ(seen.statusPaused, "Paused");
  EXPECT_TRUE(seen.unanswered);
  // The routine under the wait has ended, and the server still holds the answer.
  EXPECT_TRUE(unanswered());
}

TEST_F(Mpris, ASecondPlayerTakesANameOfItsOwn) {
  // A second connection to the same bus stands for a second running program.
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second");
  ASSERT_TRUE(other.isConnected());
  {
    Transport transport(objects.player, window->playback());
    MprisService second(window->playback(), transport, {}, tmp.file("second"), "http://x");
    ASSERT_TRUE(second.publish(other));
    const QString own = QStringLiteral("org.mpris.MediaPlayer2.lumora.instance%1")
                            .arg(QApplication::applicationPid());
    EXPECT_EQ(second.serviceName(), own);
    const QStringList players = QString::fromStdString(runClient("playerctl", {"-l"})).split('\n');
    EXPECT_TRUE(players.contains("lumora"));
    EXPECT_TRUE(players.contains(own.mid(own.indexOf("lumora"))));
    window->playback().removeObserver(second);
  }
  QDBusConnection::disconnectFromBus("second");
  EXPECT_EQ(runClient("playerctl", {"-l"}), "lumora");
}

TEST_F(Mpris, ASecondStartRaisesTheFirstAndEnds) {
  window->hide();
  QProcess second;
  startProgram(second, "second-trace.txt");
  ASSERT_TRUE(second.waitForStarted(5000));
  // The window keeps answering the bus while the second program asks it to come forward.
  ASSERT_TRUE(pump([&] { return second.state() == QProcess::NotRunning; }, 60s));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  EXPECT_TRUE(pump([&] { return window->isVisible(); }, 5s));
  EXPECT_FALSE(traced(tmp.file("second-trace.txt"), "onMainWindowCreated"));
  EXPECT_EQ(runClient("playerctl", {"-l"}), "lumora");
}

// No session bus (a bare X session, a test machine): nothing to publish on, and nothing else
// changes.
using NoSessionBus = WindowOnServer;

TEST_F(NoSessionBus, ThePlayerStartsPlaysAndClosesAsBefore) {
  ASSERT_FALSE(QDBusConnection::sessionBus().isConnected());
  button("图形按钮_播放")->click();
  ASSERT_TRUE(pump([&] { return playingWithLength(); }, 20s));
  window->destroyMainWindow();
  EXPECT_TRUE(traced(objects.options.traceFile, "onMainWindowDestroying"));
  // Unseen, it keeps no cover for anybody.
  EXPECT_FALSE(QFile::exists(QString::fromStdString(tmp.file("lumora"))));
}

TEST_F(NoSessionBus, TheProgramStartsAndExitsWithStatusZero) {
  QProcess lumora;
  startProgram(lumora, "process-trace.txt");
  ASSERT_TRUE(lumora.waitForStarted(5000));
  ASSERT_TRUE(
      waitFor([&] { return traced(tmp.file("process-trace.txt"), "onMainWindowCreated"); }, 60s));
  // The window is made before the program takes SIGTERM over; a signal sent earlier kills it.
  ASSERT_TRUE(waitFor([&] { return catchesSigterm(lumora.processId()); }, 30s));
  lumora.terminate();
  ASSERT_TRUE(lumora.waitForFinished(30000));
  EXPECT_EQ(lumora.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(lumora.exitCode(), 0) << lumora.readAllStandardError().toStdString();
  EXPECT_TRUE(traced(tmp.file("process-trace.txt"), "onMainWindowDestroying"));
}

}  // namespace
}  // namespace lumora::test
