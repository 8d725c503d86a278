// A user's own library as years of other tools left it: text tags in a code page behind the
// Latin-1 encoding byte, and a music folder that is not there yet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "ServerTestUtil.h"
#include "common/TextCodec.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;

struct TaggedFile {
  // Of the raw bytes; utf-16 for a frame that says so itself; id3v1 for GBK in the old
  // 128-byte tag at the end of the file.
  const char* codec;
  std::string title, artist, album;
};

bool Tag(const fs::path& file, const TaggedFile& t) {
  if (std::string(t.codec) == "id3v1") {
    return writeFile(file.string(), makeMp3WithTag(1.0, {utf8ToGbk(t.title), utf8ToGbk(t.artist),
                                                         utf8ToGbk(t.album), "", "", 255}));
  }
  const std::string command = std::string("/usr/bin/python3 ") + LUMORA_LEGACY_TAGGER + " '" +
                              file.string() + "' " + t.codec + " '" + t.title + "' '" + t.artist +
                              "' '" + t.album + "'";
  return std::system(command.c_str()) == 0;
}

TEST(ServerLibrary, ReadsGbkBehindTheLatin1EncodingByte) {
  const TaggedFile files[] = {
      {"gbk", "绿皮火车", "歌手甲", "老歌专辑"},
      // Not GBK: no byte GBK pairs with follows the é, so it stays Latin-1.
      {"latin-1", "Café", "Beyoncé", "Café Live"},
      {"latin-1", "Plain", "Someone", "Ascii Album"},
      {"utf-16", "Love 晴天", "사랑", "새 앨범"},
      {"id3v1", "晴天", "周杰伦", "叶惠美"},
  };
  const std::string audio = makeMp3(1.0);
  ASSERT_FALSE(audio.empty());
  TempDir lib;
  for (std::size_t i = 0; i < std::size(files); ++i) {
    const fs::path file = lib.path() / (std::to_string(i) + ".mp3");
    ASSERT_TRUE(writeFile(file.string(), audio));
    ASSERT_TRUE(Tag(file, files[i])) << files[i].title;
  }
  ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();

  for (const TaggedFile& f : files) {
    SCOPED_TRACE(f.title);
    // The album's playlist is found by its name, then its song by id.
    auto found =
        server.get("/search?keywords=" + UrlEncode(f.album, 1) + "&limit=8&offset=0&type=1000");
    ASSERT_TRUE(found);
    const std::string playlist = Between(found->body, "\"id\":", ",");
    ASSERT_FALSE(playlist.empty()) << found->body;
    auto detail = server.get("/playlist/detail?id=" + playlist);
    ASSERT_TRUE(detail);
    EXPECT_NE(detail->body.find("\"name\":\"" + f.album + "\""), std::string::npos) << detail->body;
    const std::string song = Between(detail->body, "\"trackIds\":[{\"id\":", "}");
    ASSERT_FALSE(song.empty()) << detail->body;
    auto info = server.get("/song/detail?ids=" + song);
    ASSERT_TRUE(info);
    EXPECT_NE(info->body.find("\"name\":\"" + f.title + "\""), std::string::npos) << info->body;
    EXPECT_NE(info->body.find("\"name\":\"" + f.artist + "\""), std::string::npos) << info->body;
    EXPECT_NE(info->body.find("\"name\":\"" + f.album + "\""), std::string::npos) << info->body;
  }
}

TEST(ServerLibrary, AMissingFolderIsServedAsAnEmptyLibrary) {
  TempDir home;
  ServerProcess server(ServerProcess::Options{{}, home.path() / "Music", {}});
  ASSERT_TRUE(server.start()) << server.errors();
  EXPECT_NE(server.errors().find("Music does not exist"), std::string::npos) << server.errors();
  auto top = server.get("/top/playlist?limit=50&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8");
  ASSERT_TRUE(top);
  EXPECT_NE(top->body.find("\"total\":0"), std::string::npos) << top->body;
  EXPECT_EQ(server.stop(), 0);
}

// The user unit serves --music: the folder the desktop names, in the user's language.
TEST(ServerLibrary, MusicServesTheDesktopsMusicFolder) {
  struct Case {
    const char* what;
    const char* userDirs;  // user-dirs.dirs, or none
    const char* musicEnv;  // XDG_MUSIC_DIR, or none
    const char* served;    // under the home folder
  };
  const Case cases[] = {
      {"named in user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Musik\"\n", nullptr, "Musik"},
      {"no user-dirs.dirs", nullptr, nullptr, "Music"},
      {"user-dirs.dirs names home itself", "XDG_MUSIC_DIR=\"$HOME/\"\n", nullptr, "Music"},
      {"XDG_MUSIC_DIR first", "XDG_MUSIC_DIR=\"$HOME/Musik\"\n", "Own", "Own"},
  };
  const char* const names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_MUSIC_DIR"};
  std::optional<std::string> saved[3];
  for (int i = 0; i < 3; ++i)
    if (const char* value = getenv(names[i])) saved[i] = value;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir home;
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() / ".config").c_str(), 1);
    if (c.musicEnv) {
      setenv("XDG_MUSIC_DIR", (home.path() / c.musicEnv).c_str(), 1);
    } else {
      unsetenv("XDG_MUSIC_DIR");
    }
    if (c.userDirs) {
      std::filesystem::create_directories(home.path() / ".config");
      std::ofstream(home.path() / ".config/user-dirs.dirs") << c.userDirs;
    }
    ServerProcess server(ServerProcess::Options{{}, {}, {"--music"}});
    ASSERT_TRUE(server.start()) << server.errors();
    EXPECT_NE(server.errors().find((home.path() / c.served).string() + " does not exist"),
              std::string::npos)
        << server.errors();
    EXPECT_EQ(server.stop(), 0);
  }
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) {
      setenv(names[i], saved[i]->c_str(), 1);
    } else {
      unsetenv(names[i]);
    }
  }
}

}  // namespace
}  // namespace lumora::test
