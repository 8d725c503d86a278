// The main window against lumora-server when things go wrong: the face keeps telling what the
// stream does, and a server that was away (even from the start) is found again once it is back
// on its port.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTreeWidget>
#include <chrono>
#include <memory>

#include "app/MainWindow.h"
#include "face/FacePresenter.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/ServerProcess.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

struct FailureWindow : ::testing::Test {
  void open(const std::string& baseUrl) {
    objects.options.ApiBaseAddress = baseUrl;
    // A lost server is tried again within a fifth of a second, not after the real back-off.
    objects.playbackPeriods.firstRetryMs = 50;
    objects.playbackPeriods.longestRetryMs = 200;
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
    // Shown: the progress tick rests while nobody can see the face.
    window->show();
  }

  bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return waitFor(done, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
  }
  bool playing() {
    return objects.player.isActive(window->playback().state().now.currentStream) ==
           ChannelState::Playing;
  }
  std::string artist() const { return control<QLabel>(*window, "歌手名称")->text().toStdString(); }
  bool shown(const char* name) const { return !control<QWidget>(*window, name)->isHidden(); }
  int barWidth() const { return control<QWidget>(*window, "进度条")->width(); }
  void click(const char* name) { control<PictureButton>(*window, name)->click(); }

  ProgramObjects objects{ReadOptions()};
  std::unique_ptr<MainWindow> window;
};

// Logged out, next in personal FM mode gets no song: the playlist song plays on and the face says
// so, with the pause button, a moving progress bar, and play and pause acting on that song.
TEST_F(FailureWindow, FmRefusedWhileASongPlaysLeavesTheFaceOnThatSong) {
  ServerProcess server;
  ASSERT_TRUE(server.start()) << server.errors();
  open(server.baseUrl());
  click("图形按钮_播放");
  ASSERT_TRUE(pump([&] { return playing() && barWidth() > 0; }, 15s));
  const std::string song = window->playback().state().now.currentSongId;

  click("图形按钮_私人FM");
  click("图形按钮_下一曲");
  EXPECT_EQ(server.requestsTo("/personal_fm").size(), 1u);
  EXPECT_EQ(artist(), kFmNeedsLogin);
  EXPECT_EQ(window->playback().state().now.currentSongId, song);
  EXPECT_TRUE(playing());
  EXPECT_TRUE(shown("图形按钮_暂停"));
  EXPECT_FALSE(shown("图形按钮_播放"));
  const int width = barWidth();
  EXPECT_TRUE(pump([&] { return barWidth() > width; }, 10s)) << "the bar froze at " << width;

  click("图形按钮_暂停");
  EXPECT_TRUE(shown("图形按钮_播放"));
  click("图形按钮_播放");
  EXPECT_TRUE(shown("图形按钮_暂停"));
  const int resumedAt = barWidth();
  EXPECT_TRUE(pump([&] { return playing() && barWidth() > resumedAt; }, 10s));
  EXPECT_EQ(server.requestsTo("/personal_fm").size(), 1u);
}

// No server when the window opens: the square is empty for want of an answer, so play asks for it
// again, says the server is away, and keeps trying; back on its port, the first song plays.
TEST_F(FailureWindow, NoServerAtStartIsFoundAgainOncePlayWasPressed) {
  ServerProcess first;
  ASSERT_TRUE(first.start()) << first.errors();
  const int port = first.port();
  const std::string base = first.baseUrl();
  first.stop();
  open(base);
  ASSERT_EQ(control<QTreeWidget>(*window, "超级列表框1")->topLevelItemCount(), 0);

  click("图形按钮_播放");
  EXPECT_EQ(artist(), kServerUnreachable);
  EXPECT_TRUE(shown("图形按钮_播放"));

  ServerProcess::Options samePort;
  samePort.port = port;
  ServerProcess again(samePort);
  ASSERT_TRUE(again.start()) << again.errors();
  ASSERT_TRUE(pump([&] { return playing(); }, 30s)) << artist();
  EXPECT_GE(control<QTreeWidget>(*window, "超级列表框1")->topLevelItemCount(), 8);
  EXPECT_EQ(again.requestsTo("/top/playlist").size(), 1u);
  EXPECT_EQ(again.requestsTo("/playlist/detail").size(), 1u);
  EXPECT_TRUE(shown("图形按钮_暂停"));
}

// A server that does not answer to the name in the player's address is up but refuses: the square
// and the face say so rather than that nothing is there, and the server's log says how to admit
// the name.
TEST_F(FailureWindow, AServerThatRefusesTheNameSaysSo) {
  ServerProcess server;
  ASSERT_TRUE(server.start()) << server.errors();
  // The same loopback address, written as IPv6 asks for a name the server does not answer to.
  open("http://[::ffff:127.0.0.1]:" + std::to_string(server.port()));
  const QLabel* note = window->findChild<QLabel*>("emptySquareNote");
  EXPECT_TRUE(pump([&] { return note->text().toStdString() == SquareWidgets::kLoadRefused; }, 15s))
      << note->text().toStdString();
  click("图形按钮_播放");
  EXPECT_EQ(artist(), kServerRefused);
  EXPECT_FALSE(playing());
  EXPECT_TRUE(
      pump([&] { return server.output().find("start it with --name [") != std::string::npos; }, 5s))
      << server.output();
}

// A server error or an answer that is not JSON is no answer: the face says the server is away
// (the square that it could not load) instead of that nothing is there, and tries again; once the
// server answers properly, a song plays. A song's address refused alone is told as a refusal,
// although it is asked for on a worker with a client of its own.
TEST_F(FailureWindow, ServerErrorsAndUnreadableAnswersAreToldAsALostServer) {
  const struct {
    const char* path;
    int status;  // 0: an answer of 200 that is not JSON
    const char* told = kServerUnreachable;
  } faults[] = {
      {"/top/playlist", 500},  {"/top/playlist", 0},  {"/playlist/detail", 500},
      {"/playlist/detail", 0}, {"/song/detail", 503}, {"/song/url", 500},
      {"/song/url", 0},        {"/song/url", 421, kServerRefused},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(testing::Message() << fault.path << " " << fault.status);
    ServerProcess server;
    ASSERT_TRUE(server.start()) << server.errors();
    ASSERT_TRUE(fault.status ? server.failWith(fault.path, fault.status)
                             : server.answerWith(fault.path, "<html>busy</html>"));
    open(server.baseUrl());
    click("图形按钮_播放");
    EXPECT_TRUE(pump([&] { return artist() == fault.told; }, 15s)) << artist();
    if (std::string(fault.path) == "/top/playlist") {
      EXPECT_EQ(window->findChild<QLabel*>("emptySquareNote")->text().toStdString(),
                SquareWidgets::kLoadFailed);
    }
    EXPECT_FALSE(playing());
    ASSERT_TRUE(server.clearFaults());
    EXPECT_TRUE(pump([&] { return playing(); }, 30s)) << artist();
    window.reset();
  }
}

}  // namespace
}  // namespace lumora::test
