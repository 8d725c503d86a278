// The main window against the real lumora-server and the real player on the no-sound device:
// the first press of play, and short songs following each other with their lyric lines.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <set>

#include "app/MainWindow.h"
#include "face/FacePresenter.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/FaceShown.h"
#include "support/PlaybackAccess.h"
#include "support/ServerProcess.h"
#include "support/TimerTicks.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kShortPlaylist = "3000013";  // songs of 2 to 3 seconds

struct ServerWindow : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(server.start()) << server.errors();
    objects.options.ApiBaseAddress = server.baseUrl();
    // A lost server is tried again within a fifth of a second, not after the real back-off.
    objects.playbackPeriods.firstRetryMs = 50;
    objects.playbackPeriods.longestRetryMs = 200;
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
    ASSERT_TRUE(showFace(*window));
  }

  // Counts the failures playback announces: each try that met no server is one.
  struct Failures : PlaybackObserver {
    void failed(const PlaybackFailure& f) override { kinds.push_back(f.kind); }
    int count(PlaybackFailure::Kind kind) const {
      return static_cast<int>(std::count(kinds.begin(), kinds.end(), kind));
    }
    std::vector<PlaybackFailure::Kind> kinds;
  };

  bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return waitFor(done, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
  }
  const PlaybackState& state() const { return window->playback().state(); }
  ChannelState active() { return objects.player.isActive(state().now.currentStream); }
  std::string artist() const { return control<QLabel>(*window, "歌手名称")->text().toStdString(); }
  QTreeWidget* square() const { return control<QTreeWidget>(*window, "超级列表框1"); }

  ServerProcess server;
  ProgramObjects objects{ReadOptions()};
  Failures failures;  // outlives the window it may be added to
  std::unique_ptr<MainWindow> window;
};

TEST_F(ServerWindow, FirstPlayStartsATrackOfAPlaylistFromRowsOneToSeven) {
  ASSERT_GE(square()->topLevelItemCount(), 8);
  std::set<std::string> rowsOneToSeven;
  for (int row = 1; row <= 7; ++row)
    rowsOneToSeven.insert(square()->topLevelItem(row)->text(1).toStdString());

  control<PictureButton>(*window, "图形按钮_播放")->click();
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));
  const auto loads = server.requestsTo("/playlist/detail");
  ASSERT_EQ(loads.size(), 1u);
  bool fromTheRows = false;
  for (const std::string& id : rowsOneToSeven)
    fromTheRows = fromTheRows || loads[0].find("id=" + id) != std::string::npos;
  EXPECT_TRUE(fromTheRows) << loads[0];
  EXPECT_FALSE(state().now.currentSongId.empty());
  EXPECT_EQ(window->windowTitle(), control<QLabel>(*window, "歌曲名称")->text());
  EXPECT_EQ(server.playableSongStarts(), 1u);
}

TEST_F(ServerWindow, ShortSongsFollowEachOtherWithTheirLyricLines) {
  window->squareWidgets()->ShowAccountPlaylists({"short"}, {kShortPlaylist});
  ASSERT_EQ(square()->topLevelItemCount(), 1);
  window->playback().playSelectedPlaylist(0);
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));

  const std::string first = state().now.currentSongId;
  std::vector<std::string> lines;
  bool desktopAgreed = true;
  Clock::time_point endSeen{};
  ASSERT_TRUE(pump(
      [&] {
        if (state().now.currentSongId != first) return true;
        if (endSeen == Clock::time_point{} && active() == ChannelState::Stopped)
          endSeen = Clock::now();
        const std::string text = artist();
        if (lines.empty() || lines.back() != text) lines.push_back(text);
        // The start's own tick put the song's first caption on both at once.
        desktopAgreed = desktopAgreed && objects.desktopLyrics.look().text.toStdString() == text;
        return false;
      },
      15s));
  // The next song follows in the same stream, or, opened too late for that, in one of its own.
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));
  const double gap = endSeen == Clock::time_point{}
                         ? 0.0
                         : std::chrono::duration<double>(Clock::now() - endSeen).count();
  EXPECT_TRUE(desktopAgreed);
  EXPECT_GE(lines.size(), 1u);  // the artists or a lyric line from the start, then maybe more
  std::string seen;
  for (const std::string& l : lines) seen += "[" + l + "]";
  std::printf("[ figures  ] song %s: captions %s; end to next sounding %.2f s\n", first.c_str(),
              seen.c_str(), gap);
}

// Logged out, the server gives a members-only song no play URL; the next song comes within about
// a second.
TEST_F(ServerWindow, AMembersOnlySongIsPassedOverWhileLoggedOut) {
  PlaybackState& scene = PlaybackControllerAccess::state(window->playback());
  scene.playlistQueue.append(Song{"1000004", "members only", "someone", "album"});
  scene.playlist.playlistLoadCode = "200";
  window->playback().playNext();
  ASSERT_TRUE(pump([&] { return state().now.currentSongId == "1000004"; }, 10s));
  EXPECT_EQ(state().now.currentStream, 0u);
  const auto started = Clock::now();
  ASSERT_TRUE(pump(
      [&] { return state().now.currentSongId != "1000004" && active() == ChannelState::Playing; },
      10s));
  const double passedOver = std::chrono::duration<double>(Clock::now() - started).count();
  std::printf("[ figures  ] members-only song passed over; next sounding after %.2f s\n",
              passedOver);
}

// Personal FM while logged out: one request, a message that points to the login, the play
// button; after a login the next press fetches the account's batch.
TEST_F(ServerWindow, FmLoggedOutSaysSoAndStopsAsking) {
  window->playback().onFmButtonClicked(true);
  control<PictureButton>(*window, "图形按钮_播放")->click();
  EXPECT_EQ(artist(), kFmNeedsLogin);
  // Only the auto-play ticker could ask again: three of its ticks, or none while it rests.
  const TimerTicks autoPlay(control<QTimer>(*window, "时钟_自动播放"));
  EXPECT_TRUE(pump([&] { return autoPlay.passedOrResting(3); }, 30s));
  EXPECT_EQ(server.requestsTo("/personal_fm").size(), 1u);
  EXPECT_FALSE(control<QWidget>(*window, "图形按钮_播放")->isHidden());

  ASSERT_EQ(window->account().Login(LoginMode::Phone, "13800000001", "lumora123"), "200");
  control<PictureButton>(*window, "图形按钮_播放")->click();
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));
  const auto asked = server.requestsTo("/personal_fm");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_NE(asked[1].find("cookie="), std::string::npos) << asked[1];
}

// The server goes away while a playlist plays: the queue stays whole and the face says why;
// back on the same port, the next song of the same queue plays.
TEST_F(ServerWindow, ServerOutageKeepsTheQueueUntilItAnswersAgain) {
  window->squareWidgets()->ShowAccountPlaylists({"short"}, {kShortPlaylist});
  window->playback().playSelectedPlaylist(0);
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 10s));
  const PlayQueue queued = state().playlistQueue;
  ASSERT_FALSE(queued.empty());
  const int port = server.port();

  window->playback().addObserver(failures);
  server.stop();
  ASSERT_TRUE(pump([&] { return artist() == kServerUnreachable; }, 15s));
  // Three tries in vain leave the queue whole.
  EXPECT_TRUE(
      pump([&] { return failures.count(PlaybackFailure::Kind::ServerUnreachable) >= 3; }, 30s));
  EXPECT_EQ(state().playlistQueue.ids, queued.ids);

  ServerProcess::Options samePort;
  samePort.port = port;
  ServerProcess again(samePort);
  ASSERT_TRUE(again.start()) << again.errors();
  ASSERT_TRUE(pump([&] { return active() == ChannelState::Playing; }, 40s));
  const auto holds = [](const std::vector<std::string>& ids, const std::string& id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
  };
  const std::string now = state().now.currentSongId;
  EXPECT_TRUE(holds(queued.ids, now)) << now;
  // A loaded machine may let the first of these short songs end before this looks: every song
  // gone from the queue was heard, none passed over.
  EXPECT_LT(state().playlistQueue.size(), queued.size());
  for (const std::string& id : queued.ids)
    EXPECT_TRUE(holds(state().playlistQueue.ids, id) || holds(state().history.ids, id)) << id;
}

}  // namespace
}  // namespace lumora::test
