// The download button of the main window against the real lumora-server: the playing song lands
// in the download folder with its tag, and a broken download never spoils an earlier good file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/MainWindow.h"
#include "download/DownloadWiring.h"
#include "download/Id3Writer.h"
#include "download/SongDownloader.h"
#include "net/ApiClient.h"
#include "net/HttpClient.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/FaceShown.h"
#include "support/Mp3Fixture.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kShortPlaylist = "3000013";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Everything after a file's leading tag.
std::string AudioOf(const std::string& file) { return file.substr(OldTagEnd(file, file.size())); }

struct DownloadWindow : ::testing::Test {
  // Starts the server (over `library` when given) and opens the window against it.
  void open(fs::path library = {}) {
    server = std::make_unique<ServerProcess>(ServerProcess::Options{{}, std::move(library), {}});
    ASSERT_TRUE(server->start()) << server->errors();
    objects.options.ApiBaseAddress = server->baseUrl();
    objects.options.musicDir = dir.path().string();
    window = std::make_unique<MainWindow>(objects, [this](QWidget*, const MessageBoxRequest& r) {
      boxes.push_back(r.title.toStdString() + ": " + r.text.toStdString());
    });
    ASSERT_TRUE(showFace(*window));
  }

  fs::path folder() const { return dir.path() / "下载音乐"; }
  // The success message: the song's name, then the folder it went to.
  std::string savedMessage(const std::string& name) const {
    return "下载成功: " + name + "下载成功\n已保存到 " + folder().string();
  }
  const PlaybackState& state() const { return window->playback().state(); }

  void playFirstPlaylistRow() {
    window->playback().playSelectedPlaylist(0);
    ASSERT_TRUE(waitFor(
        [&] { return objects.player.isActive(state().now.currentStream) == ChannelState::Playing; },
        10s, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); }));
  }

  // Clicks the download button; the message box it showed.
  std::string clickDownload() {
    boxes.clear();
    control<PictureButton>(*window, "图形按钮_下载")->click();
    return boxes.size() == 1 ? boxes[0] : "boxes: " + std::to_string(boxes.size());
  }

  TempDir dir;
  std::unique_ptr<ServerProcess> server;
  ProgramObjects objects{ReadOptions()};
  std::unique_ptr<MainWindow> window;
  std::vector<std::string> boxes;
};

TEST_F(DownloadWindow, BeforeAnySongOnlyTheFolderIsMade) {
  open();
  EXPECT_EQ(clickDownload(), "失败提醒: 视频地址为空");
  EXPECT_TRUE(fs::is_directory(folder()));
  EXPECT_TRUE(fs::is_empty(folder()));
}

TEST_F(DownloadWindow, ThePlayingSongIsSavedWithItsTagAndOverwrittenTheSecondTime) {
  open();
  window->squareWidgets()->ShowAccountPlaylists({"short"}, {kShortPlaylist});
  playFirstPlaylistRow();
  const NowPlaying now = state().now;
  const fs::path file = folder() / SafeFileName(now.currentTitle);
  EXPECT_EQ(clickDownload(), savedMessage(now.currentTitle));

  const std::string saved = ReadFile(file);
  EXPECT_EQ(AudioOf(saved), AudioOf(UrlFetch(now.currentUrl)));
  TagRecord expected;
  expected.artist = now.currentArtists, expected.title = now.currentName;
  expected.album = now.currentAlbum;
  expected.picture = ApiClient(objects.apiJson, window->account().session(), server->baseUrl())
                         .GetCoverImage(now.currentSongId);
  ASSERT_FALSE(expected.picture.empty());
  const std::string frames = BuildFrames(expected);
  EXPECT_EQ(saved.substr(10, frames.size()), frames);

  // Again, with the song still the same one: the same file, not a second tag.
  ASSERT_EQ(state().now.currentUrl, now.currentUrl);
  EXPECT_EQ(clickDownload(), savedMessage(now.currentTitle));
  EXPECT_EQ(ReadFile(file), saved);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
}

TEST_F(DownloadWindow, ABrokenDownloadLeavesTheEarlierFileAlone) {
  open();
  window->squareWidgets()->ShowAccountPlaylists({"short"}, {kShortPlaylist});
  playFirstPlaylistRow();
  const fs::path file = folder() / SafeFileName(state().now.currentTitle);
  ASSERT_EQ(clickDownload(), savedMessage(state().now.currentTitle));
  const std::string good = ReadFile(file);

  ASSERT_TRUE(server->failWith("/audio/*", 404));
  EXPECT_EQ(clickDownload(), "下载失败: 音乐下载【失败】");
  EXPECT_EQ(ReadFile(file), good);
  ASSERT_TRUE(server->clearFaults());
  ASSERT_TRUE(server->cutAfter("/audio/*", 10000));
  EXPECT_EQ(clickDownload(), "下载失败: 音乐下载【失败】");
  EXPECT_EQ(ReadFile(file), good);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
}

TEST_F(DownloadWindow, ASongNamedWithASlashIsSavedInsideTheFolder) {
  const fs::path library = dir.path() / "library";
  fs::create_directories(library);
  TagRecord tag;
  tag.title = "AC/DC", tag.artist = "Band", tag.album = "Live";
  ASSERT_TRUE(WriteTaggedFile(library / "song.mp3", tag, makeMp3(2.0)));
  open(library);
  // The square's first page lists the library's playlists.
  ASSERT_FALSE(window->squareWidgets()->square().rows().empty());
  playFirstPlaylistRow();
  ASSERT_EQ(state().now.currentTitle, "AC/DC-Band");

  EXPECT_EQ(clickDownload(), savedMessage("AC/DC-Band"));
  EXPECT_TRUE(fs::is_regular_file(folder() / "AC_DC-Band.mp3"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
  EXPECT_FALSE(fs::exists(dir.path() / "AC"));
}

TEST_F(DownloadWindow, TheFaceShowsTheDownloadWhileItRuns) {
  open();
  QLabel* caption = control<QLabel>(*window, "歌手名称");
  caption->setText(QStringLiteral("before"));
  auto* wiring = window->findChild<DownloadWiring*>();
  ASSERT_NE(wiring, nullptr);
  wiring->setDownloadRunning(true);
  EXPECT_EQ(caption->text().toStdString(), "歌曲下载中...");
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  wiring->setDownloadRunning(false);
  EXPECT_EQ(caption->text(), QStringLiteral("before"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The server pauses in the middle of the song: meanwhile the caption tells the share received.
TEST_F(DownloadWindow, WhileTheSongArrivesTheCaptionTellsTheShareReceived) {
  open();
  window->squareWidgets()->ShowAccountPlaylists({"short"}, {kShortPlaylist});
  playFirstPlaylistRow();
  const std::string title = state().now.currentTitle;
  ASSERT_TRUE(server->stallAfter("/audio/*", 4000, 3000));
  QLabel* caption = control<QLabel>(*window, "歌手名称");
  QString shown;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (shown.isEmpty() && caption->text().endsWith('%')) shown = caption->text();
  });
  probe.start(20);
  QMetaObject::invokeMethod(control<PictureButton>(*window, "图形按钮_下载"), "click",
                            Qt::QueuedConnection);
  ASSERT_TRUE(waitFor([&] { return !boxes.empty(); }, 30s,
                      [] { QApplication::processEvents(QEventLoop::AllEvents, 10); }));
  EXPECT_EQ(boxes, std::vector<std::string>{savedMessage(title)});
  const QStringList parts = shown.split(' ');
  ASSERT_EQ(parts.size(), 2) << shown.toStdString();
  EXPECT_EQ(parts[0], QString::fromUtf8("歌曲下载中..."));
  const int percent = parts[1].chopped(1).toInt();
  EXPECT_GT(percent, 0);
  EXPECT_LT(percent, 100);
}

}  // namespace
}  // namespace lumora::test
