#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/TextCodec.h"
#include "download/SongDownloader.h"
#include "net/HttpClient.h"
#include "support/Mp3Fixture.h"
#include "support/ServerSuite.h"
#include "support/TempDir.h"
#include "support/TestLibrary.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(SafeFileName, KeepsEveryNameInsideTheFolder) {
  struct Case {
    std::string displayName;
    std::string fileName;
  };
  const std::string longChinese = [] {
    std::string s;
    for (int i = 0; i < 100; ++i) s += "喜";  // 300 bytes
    return s;
  }();
  std::string cutChinese;
  for (int i = 0; i < 83; ++i) cutChinese += "喜";  // 249 bytes, the most that fits before ".mp3"
  const Case cases[] = {
      {"晴天-周杰伦", "晴天-周杰伦.mp3"},
      {"AC/DC-Band", "AC_DC-Band.mp3"},
      {"../../etc/passwd", ".._.._etc_passwd.mp3"},
      {"..", "...mp3"},
      {"/", "_.mp3"},
      {std::string("a\0b", 3), "a_b.mp3"},
      {"What? \"Yes\": <no> | \\", "What? \"Yes\": <no> | \\.mp3"},
      {std::string(300, 'a'), std::string(251, 'a') + ".mp3"},
      {longChinese, cutChinese + ".mp3"},
  };
  const fs::path folder = "/music/下载音乐";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.displayName);
    std::string name = SafeFileName(c.displayName);
    EXPECT_EQ(name, c.fileName);
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(toValidUtf8(name), name);
    EXPECT_EQ((folder / name).parent_path(), folder);
  }
}

struct RecordingView : DownloadView {
  void setDownloadRunning(bool running) override { events.push_back(running ? "running" : "done"); }
  void showDownloadMessage(const std::string& text, const std::string& title) override {
    events.push_back(title + ": " + text);
  }
  std::vector<std::string> events;
};

// Downloads from the real server into a fresh folder.
class Download : public test::ServerSuite {
 protected:
  fs::path folder() const { return dir_.path() / "下载音乐"; }

  SongToDownload Song(std::string id, std::string displayName) const {
    return {server_->baseUrl() + "/audio/" + id + ".mp3",
            std::move(displayName),
            "晴天",
            "周杰伦,Artist 😀",
            "叶惠美",
            "\xFF\xD8\xFF\xE0 cover \xFF\xD9"};
  }

  std::vector<std::string> DownloadOnce(const SongToDownload& song) {
    RecordingView view;
    SongDownloader downloader(folder(), view, [](const std::string& url) { return UrlFetch(url); });
    downloader.DownloadCurrentSong(song);
    return view.events;
  }

  std::size_t AudioFetches() const { return server_->requestsTo("/audio/").size(); }

  TempDir dir_;
};

const std::vector<std::string> kFailed = {"running", "done", "下载失败: 音乐下载【失败】"};

TEST_F(Download, AFailedFetchLeavesTheEarlierFileAlone) {
  struct Fault {
    const char* name;
    bool (*apply)(test::ServerProcess&);
  };
  const Fault faults[] = {
      {"not found", [](test::ServerProcess& s) { return s.failWith("/audio/*", 404); }},
      {"cut after 10 kB", [](test::ServerProcess& s) { return s.cutAfter("/audio/*", 10000); }},
  };
  const fs::path file = folder() / "Good.mp3";
  ASSERT_EQ(DownloadOnce(Song("1000005", "Good")),
            (std::vector<std::string>{"running", "done",
                                      "下载成功: Good下载成功\n已保存到 " + folder().string()}));
  const std::string good = ReadFile(file);
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    ASSERT_TRUE(fault.apply(*server_));
    const std::size_t before = AudioFetches();
    EXPECT_EQ(DownloadOnce(Song("1000005", "Good")), kFailed);
    EXPECT_EQ(AudioFetches(), before + 1);  // a dead server is not asked twice
    EXPECT_EQ(ReadFile(file), good);
    ASSERT_TRUE(server_->clearFaults());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder()), {}), 1);
}

TEST_F(Download, AFolderThatCannotBeMadeFailsAfterOneFetch) {
  test::writeFile(folder().string(), "a file where the folder should be");
  const std::size_t before = AudioFetches();
  EXPECT_EQ(DownloadOnce(Song("1000006", "Blocked")), kFailed);
  EXPECT_EQ(AudioFetches(), before + 1);
  EXPECT_TRUE(fs::is_regular_file(folder()));
}

// A song in another format is saved as itself, its own tags and pictures kept; an MP3 gets ours.
TEST(DownloadFormats, EachFormatIsSavedUnderItsOwnExtension) {
  TempDir library, music;
  std::string error;
  ASSERT_TRUE(test::MakeTestLibrary(library.path(), error)) << error;
  const struct {
    const char* file;
    const char* saved;
  } cases[] = {
      {"Formats/mp3 song.mp3", "Song-Band.mp3"},    {"Formats/LOUD.MP3", "Song-Band.mp3"},
      {"Formats/flac song.FLAC", "Song-Band.flac"}, {"Formats/ogg song.ogg", "Song-Band.ogg"},
      {"Formats/opus song.opus", "Song-Band.opus"}, {"Formats/m4a song.M4A", "Song-Band.m4a"},
      {"Formats/wav song.wav", "Song-Band.wav"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const fs::path folder = music.path() / c.file;  // a folder of its own for each
    const std::string audio = ReadFile(library.path() / c.file);
    RecordingView view;
    SongDownloader downloader(folder, view, [&](const std::string&) { return audio; });
    downloader.DownloadCurrentSong(
        {"http://127.0.0.1:1/audio/1", "Song-Band", "Song", "Band", "Album", ""});
    ASSERT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    const std::string saved = ReadFile(folder / c.saved);
    if (std::string(c.saved).ends_with(".mp3")) {
      EXPECT_EQ(saved.substr(0, 3), "ID3");
      EXPECT_NE(saved.find("TIT2"), std::string::npos);
      EXPECT_NE(saved, audio);
    } else {
      EXPECT_EQ(saved, audio);
    }
  }
}

}  // namespace
}  // namespace lumora
