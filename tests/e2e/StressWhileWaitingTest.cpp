// Random clicks, double-clicks, menu items and shortcuts, seeded and bounded, while the server
// holds answers back and cuts the audio short, so that routines start inside each other's waits.
// After every action, inside those waits too, the face, the media-player service and the player
// agree on the state and the song, and the lyric line shown belongs to the song playing; every
// downloaded file holds the audio of the song its name and tag say. Under the sanitizers nothing
// may go wrong, and afterwards the player plays the next song.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "app/MainWindow.h"
#include "desktop/MprisMetadata.h"
#include "desktop/MprisService.h"
#include "download/Id3Writer.h"
#include "download/SongDownloader.h"
#include "face/FacePresenter.h"
#include "net/HttpClient.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kSeed = 26;
constexpr int kActions = 150;

namespace fs = std::filesystem;

// Every record a start put in place, by the file name a download of it gets.
class StartedRecords : public PlaybackObserver {
 public:
  explicit StartedRecords(const PlaybackController& playback) : playback_(playback) {}
  void songStarted(const SongStart&) override {
    const NowPlaying& now = playback_.state().now;
    byFile[SafeFileName(now.currentTitle)] = now;
  }
  std::map<std::string, NowPlaying> byFile;

 private:
  const PlaybackController& playback_;
};

// What the artist line may say besides the artists and a line of the song's lyric.
bool IsNote(const std::string& caption) {
  for (const char* note : {"当前暂无歌词", "当前歌词不支持滚动.", "歌单加载中", "首歌曲加载完毕",
                           "已加载", "歌曲下载中", kServerUnreachable, kFmNeedsLogin, kNoPlaylists})
    if (caption.find(note) != std::string::npos) return true;
  return caption.empty() || caption == "--";
}

// The lyric keeps the escapes of the answer it was cut from; a line shown has them undone.
bool InLyric(const std::string& lyric, const std::string& line) {
  std::string escaped;
  for (char c : line) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return lyric.find(line) != std::string::npos || lyric.find(escaped) != std::string::npos;
}

// Empty when the face, the media-player service and the player tell one story.
std::string Disagreement(MainWindow& window, AudioPlayer& player, const MprisService& mpris) {
  const PlaybackController& playback = window.playback();
  const NowPlaying& now = playback.state().now;
  const PlayState state = playback.playState();
  const bool playShown = !control<QAbstractButton>(window, "图形按钮_播放")->isHidden();
  const bool pauseShown = !control<QAbstractButton>(window, "图形按钮_暂停")->isHidden();
  if (playShown == pauseShown) return "the face shows both play buttons or neither";
  if (state == PlayState::Playing && !pauseShown) return "playing, and the face offers play";
  if (state == PlayState::Paused && !playShown) return "paused, and the face offers pause";
  const ChannelState active = player.isActive(now.currentStream);
  if (state == PlayState::Paused &&
      (active == ChannelState::Playing || active == ChannelState::Stalled))
    return "paused on the face, and the song sounds";
  if (state == PlayState::Playing && active == ChannelState::Paused)
    return "playing on the face, and the song is paused";
  if (mpris.playbackStatus() != PlaybackStatusName(state)) return "the media player's status";
  if (now.currentSongId.empty()) return {};
  const QVariantMap meta = mpris.metadata();
  if (meta.value("mpris:trackid").value<QDBusObjectPath>() != TrackPath(now.currentSongId))
    return "the media player names song " +
           meta.value("mpris:trackid").value<QDBusObjectPath>().path().toStdString() +
           ", the player " + now.currentSongId;
  if (meta.value("xesam:title").toString().toStdString() != now.currentName)
    return "the media player's title";
  const std::string caption = control<QLabel>(window, "歌手名称")->text().toStdString();
  if (!IsNote(caption) && caption != now.currentArtists && !InLyric(now.lyricText, caption))
    return "the artist line says \"" + caption + "\", not of song " + now.currentSongId;
  return {};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Empty when every saved file holds, after its tag, the start of the audio of the song whose
// name it bears, and its tag names that song.
std::string WrongDownload(const fs::path& folder, const std::map<std::string, NowPlaying>& songs) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    const std::string file = entry.path().filename().string();
    const auto song = songs.find(file);
    if (song == songs.end()) return file + ": no song started under that name";
    const std::string saved = ReadFile(entry.path());
    const std::string audio = saved.substr(OldTagEnd(saved, saved.size()));
    const std::string served = UrlFetch(song->second.currentUrl);
    const std::string servedAudio = served.substr(OldTagEnd(served, served.size()));
    if (audio.empty() || !servedAudio.starts_with(audio))
      return file + ": the audio is not song " + song->second.currentSongId + "'s";
    TagRecord tag;
    tag.title = song->second.currentName;
    tag.artist = song->second.currentArtists;
    tag.album = song->second.currentAlbum;
    if (saved.find(BuildFrames(tag)) == std::string::npos)
      return file + ": the tag is not song " + song->second.currentSongId + "'s";
  }
  return {};
}

TEST(StressWhileWaiting, RandomInputWhileAnswersAreSlowOrCutLeavesAPlayerThatPlays) {
  ServerProcess server;
  ASSERT_TRUE(server.start()) << server.errors();
  TempDir dir;
  ProgramObjects objects{ReadOptions()};
  objects.options.ApiBaseAddress = server.baseUrl();
  objects.options.musicDir = dir.path().string();
  // Outlives the window, whose controller tells it of each start.
  std::optional<StartedRecords> started;
  auto window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
  window->show();
  started.emplace(window->playback());
  window->playback().addObserver(*started);
  const MprisService* mpris = window->findChild<MprisService*>();
  ASSERT_NE(mpris, nullptr);
  std::string firstWrong;
  auto check = [&](int action) {
    const std::string wrong = Disagreement(*window, objects.player, *mpris);
    if (!wrong.empty() && firstWrong.empty())
      firstWrong = "after action " + std::to_string(action) + ": " + wrong;
  };
  for (const char* path : {"/lyric", "/song/url", "/song/detail", "/top/playlist", "/like"})
    ASSERT_TRUE(server.addDelay(path, 600));
  ASSERT_TRUE(server.cutAfter("/audio/*", 40000));

  auto click = [&](const char* name) {
    return [w = window.get(), name] { control<QAbstractButton>(*w, name)->click(); };
  };
  // Shortcuts still held or not yet polled act late: the end waits for them.
  int keysDown = 0;
  auto shortcut = [&](Qt::Key key) {
    return [w = window.get(), key, &keysDown] {
      ++keysDown;
      QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
      QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
      QApplication::sendEvent(w, &ctrl);
      QApplication::sendEvent(w, &press);
      QTimer::singleShot(150, w, [w, key, &keysDown] {
        --keysDown;
        QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
        QKeyEvent ctrlUp(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
        QApplication::sendEvent(w, &ctrlUp);
      });
    };
  };
  std::mt19937 random(kSeed);
  const MenuControls& menu = window->controls().menu;
  const std::vector<std::function<void()>> actions = {
      click("图形按钮_下一曲"),
      click("图形按钮_上一曲"),
      click("图形按钮_播放"),
      click("图形按钮_暂停"),
      click("图形按钮_私人FM"),
      click("图形按钮_列表"),
      click("图形按钮_设置"),
      click("图形按钮_下载"),
      click("图形按钮_歌词"),
      click("下一页"),
      click("首页"),
      shortcut(Qt::Key_Right),
      shortcut(Qt::Key_Left),
      shortcut(Qt::Key_P),
      [&] { menu.like->trigger(); },
      [&] { emit window->squareWidgets()->playlistChosen(int(random() % 8)); },
  };

  int done = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (done == kActions) return;
    check(done);
    const int action = ++done;
    actions[random() % actions.size()]();
    check(action);
    driver.setInterval(int(20 + random() % 120));
  });
  driver.start(50);
  auto pump = [](const std::function<bool()>& until, std::chrono::milliseconds limit) {
    return waitFor(until, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
  };
  ASSERT_TRUE(pump([&] { return done == kActions; }, 300s)) << "seed " << kSeed;
  driver.stop();
  ASSERT_TRUE(server.clearFaults());
  const QTimer* hotkeys = window->findChild<QTimer*>("时钟_监视热键");
  ASSERT_NE(hotkeys, nullptr);
  ASSERT_TRUE(pump([&] { return keysDown == 0 && !hotkeys->isActive(); }, 10s));
  check(kActions);
  EXPECT_EQ(firstWrong, "") << "seed " << kSeed;
  EXPECT_EQ(WrongDownload(dir.path() / kDownloadFolderName, started->byFile), "")
      << "seed " << kSeed;

  // The routines started meanwhile have ended once a queued call gets through at the top level.
  const PlaybackState& state = window->playback().state();
  auto playing = [&] {
    return objects.player.isActive(state.now.currentStream) == ChannelState::Playing;
  };
  const std::string before = state.now.currentSongId;
  window->playback().onFmButtonClicked(false);
  // Paging on may have gone past the last page: back to the first one.
  window->squareWidgets()->square().chooseCategory(0);
  control<PictureButton>(*window, "图形按钮_下一曲")->click();
  ASSERT_TRUE(pump([&] { return playing() && state.now.currentSongId != before; }, 60s))
      << "seed " << kSeed << "; song " << before << " then " << state.now.currentSongId
      << ", state " << int(window->playback().playState()) << ", stream "
      << int(objects.player.isActive(state.now.currentStream)) << ", rows "
      << window->squareWidgets()->rowCount() << ", caption "
      << control<QLabel>(*window, "歌手名称")->text().toStdString();
  check(kActions + 1);
  EXPECT_EQ(firstWrong, "") << "seed " << kSeed;
  std::printf("[ figures  ] seed %u: %d actions, %zu songs started; afterwards song %s plays\n",
              kSeed, kActions, started->byFile.size(), state.now.currentSongId.c_str());
}

}  // namespace
}  // namespace lumora::test
