// The real program in a Wayland session (a headless compositor) that also offers an X server:
// it runs on the X server, where its windows can be placed, unless the user chose a platform;
// with Wayland alone it starts anyway and says what it cannot do. Ended by SIGTERM over the box
// that says so, it ends with status 0 and keeps the places it could not read as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <chrono>
#include <filesystem>
#include <memory>

#include "support/Mp3Fixture.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

const char kLimitsSaid[] = "这个桌面会话只有 Wayland";

// A headless compositor on a socket of its own, in a runtime folder of its own.
class Weston {
 public:
  explicit Weston(const QString& runtimeDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    process_.setProcessEnvironment(env);
    process_.start("weston", {"--backend=headless-backend.so", "--socket=lumora-test",
                              "--idle-time=0", "--no-config"});
    ready_ = process_.waitForStarted(5000) &&
             waitFor([&] { return QFile::exists(runtimeDir + "/lumora-test"); }, 20s);
  }
  ~Weston() { endProcess(process_); }
  bool ready() const { return ready_; }

 private:
  QProcess process_;
  bool ready_ = false;
};

TEST(WaylandSession, TheFaceGoesToTheXServerUnlessWaylandIsAllThereIs) {
  if (!haveTool("weston") || !haveTool("Xvfb") || !haveTool("xdotool"))
    GTEST_SKIP() << "weston, Xvfb and xdotool are needed";
  TempDir runtime;
  ASSERT_EQ(chmod(runtime.path().c_str(), 0700), 0);
  const QString runtimeDir = QString::fromStdString(runtime.path().string());
  Weston weston(runtimeDir);
  ASSERT_TRUE(weston.ready());
  Xvfb x;
  ASSERT_FALSE(x.display().isEmpty());

  const struct {
    const char* name;
    bool xServer;
    const char* platform;  // QT_QPA_PLATFORM; empty for unset
    bool onX;
  } cases[] = {
      {"Wayland with XWayland", true, "", true},
      {"the user chose Wayland", true, "wayland", false},
      {"Wayland alone", false, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString trace = QString::fromStdString(runtime.file(std::string(c.name) + ".trace"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    if (*c.platform) env.insert("QT_QPA_PLATFORM", c.platform);
    if (c.xServer) env.insert("DISPLAY", x.display());
    env.insert("XDG_RUNTIME_DIR", runtimeDir);
    env.insert("WAYLAND_DISPLAY", "lumora-test");
    env.insert("XDG_SESSION_TYPE", "wayland");
    env.insert("LUMORA_API_BASE", "http://127.0.0.1:9");
    env.insert("LUMORA_TRACE_FILE", trace);
    // The Wayland client library leaves allocations behind at exit, which the leak check would
    // turn into status 1; the program's own leaks are checked by the runs on X.
    if (!c.onX) env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    const std::string state = runtime.file(std::string(c.name) + ".state");
    std::filesystem::create_directories(state + "/lumora");
    const std::string remembered = "face=120,90\nlyrics=10,20\n";
    ASSERT_TRUE(writeFile(state + "/lumora/state.ini", remembered));
    env.insert("XDG_STATE_HOME", QString::fromStdString(state));
    const QString errors = trace + ".err";
    QProcess app;
    app.setProcessEnvironment(env);
    app.setStandardErrorFile(errors);
    app.start(QString::fromStdString((buildDir() / "src/app/lumora").string()), {});
    ASSERT_TRUE(app.waitForStarted(10000));
    const auto said = [&] { return readTextFile(errors); };
    EXPECT_TRUE(waitFor(
        [&] {
          return readTextFile(trace).contains("onFaceShown") &&
                 (c.onX || said().contains(QString::fromUtf8(kLimitsSaid)));
        },
        60s))
        << said().toStdString();
    const auto onX = [&] {
      return !x.xdotool({"search", "--onlyvisible", "--name", "暂无播放"}).trimmed().isEmpty();
    };
    if (c.onX)
      EXPECT_TRUE(waitFor(onX, 10s));
    else
      EXPECT_FALSE(onX());
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(30000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << said().toStdString();
    EXPECT_EQ(said().contains(QString::fromUtf8(kLimitsSaid)), !c.onX) << said().toStdString();
    const std::string written = readFile(state + "/lumora/state.ini");
    if (!c.onX) {
      EXPECT_NE(written.find(remembered.substr(0, 12)), std::string::npos) << written;
      EXPECT_NE(written.find("lyrics=10,20\n"), std::string::npos) << written;
    }
  }
}

}  // namespace
}  // namespace lumora::test
