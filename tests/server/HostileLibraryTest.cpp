// A library is input from anyone who can drop a file into it: a folder swapped for a link leads
// nowhere outside, a file that crashes the tag reader or inflates to gigabytes costs only itself,
// two files of one size and time keep their own ids, and what a file holds is kept only so far.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

#include "LibraryFixture.h"
#include "ServerTestUtil.h"
#include "songfiles/TagReader.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

constexpr auto kSeenWithin = std::chrono::seconds(30);  // a change is seen in ~1.5 s, unloaded

// Adds a song and waits until it is listed: every change made before it has been seen by then.
bool Settled(const ServerProcess& server, const fs::path& file, const std::string& title) {
  LibraryView view(server);
  return writeSong(file, Tags(title, "Band", "Settle")) &&
         waitFor([&] { return view.find(title).size() == 1; }, kSeenWithin);
}

std::string Body(const ServerProcess& server, const std::string& target) {
  auto reply = server.get(target);
  return reply ? reply->body : "";
}

std::string Syncsafe(std::size_t n) {
  return {static_cast<char>(n >> 21 & 0x7F), static_cast<char>(n >> 14 & 0x7F),
          static_cast<char>(n >> 7 & 0x7F), static_cast<char>(n & 0x7F)};
}

std::string Frame(const std::string& id, const std::string& payload, char flags = 0) {
  return id + Syncsafe(payload.size()) + std::string{'\0', flags} + payload;
}

// A text frame whose text is compressed with zlib, as ID3v2.4 allows.
std::string CompressedTitle(std::size_t size) {
  const std::string text = "\x03" + std::string(size, 'T');
  uLongf packed = compressBound(text.size());
  std::string out(packed, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &packed,
            reinterpret_cast<const Bytef*>(text.data()), text.size(), 9);
  out.resize(packed);
  return Frame("TIT2", Syncsafe(text.size()) + out, 0x09);  // compressed, with its length
}

std::string Picture(const std::string& bytes) {
  return Frame("APIC", std::string("\0image/png\0\x03\0", 13) + bytes);
}

// A PNG's first bytes, stating its size.
std::string PngHeader(std::uint32_t width, std::uint32_t height) {
  auto big = [](std::uint32_t n) {
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 8), static_cast<char>(n)};
  };
  return "\x89PNG\r\n\x1A\n" + big(13) + "IHDR" + big(width) + big(height) +
         std::string("\x08\x02\0\0\0", 5);
}

// A one-second MP3 under an ID3v2.4 tag of these frames.
bool WriteTagged(const fs::path& file, const std::string& frames) {
  fs::create_directories(file.parent_path());
  return writeFile(file.string(), "ID3\x04" + std::string(2, '\0') + Syncsafe(frames.size()) +
                                      frames + makeMp3(1.0));
}

// An M4A whose atoms nest depth deep: the tag library reads them by recursion.
std::string NestedM4a(std::size_t depth) {
  std::string atoms;
  for (std::size_t i = 0; i < depth; ++i) {
    const auto size = static_cast<std::uint32_t>(8 * (depth - i));
    atoms += std::string{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                         static_cast<char>(size >> 8), static_cast<char>(size)} +
             "moov";
  }
  return atoms;
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(HostileLibrary, AFolderSwappedForALinkLeadsNowhereOutside) {
  const struct {
    const char* what;
    bool inside;  // the link leads to another folder of the library
  } cases[] = {{"a link out of the library", false}, {"a link to a folder inside", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir lib, outside;
    ASSERT_TRUE(writeSong(lib.path() / "Album/a.mp3", Tags("Swapped Away", "Band", "Album")));
    ASSERT_TRUE(writeSong(lib.path() / "Other/b.mp3", Tags("Inside Song", "Band", "Other")));
    ASSERT_TRUE(writeSong(outside.path() / "Out/x.mp3", Tags("Outside Song", "Band", "Out")));
    ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
    ASSERT_TRUE(server.start()) << server.errors();
    fs::rename(lib.path() / "Album", outside.path() / "Moved");
    fs::create_directory_symlink(c.inside ? lib.path() / "Other" : outside.path() / "Out",
                                 lib.path() / "Album");
    ASSERT_TRUE(Settled(server, lib.path() / "Other/later.mp3", "Later")) << server.errors();
    LibraryView view(server);
    EXPECT_TRUE(view.find("Swapped Away").empty());
    EXPECT_TRUE(view.find("Outside Song").empty());
    // One song, not one more under the link's name whose audio is not served.
    ASSERT_EQ(view.find("Inside Song").size(), 1u);
    for (const auto& [name, tracks] : view.playlists())
      for (const std::string& id : tracks)
        EXPECT_NE(Body(server, "/song/url?id=" + id + "&br=320000").find("/audio/"),
                  std::string::npos)
            << name;
  }
}

// The state letters of this process's children that still run (not ended, not awaiting wait).
std::string LiveChildren() {
  std::string states;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state = 0;
    pid_t parent = 0;
    if (rest >> state >> parent && parent == getpid() && state != 'Z') states += state;
  }
  return states;
}

// A scan's helper threads end while the readers they started serve on: a reader outlives the
// thread that started it, and the file it is given next is read, not lost to its death.
TEST(HostileLibrary, AReaderOutlivesTheThreadThatStartedIt) {
  TempDir lib;
  ASSERT_TRUE(writeSong(lib.path() / "one.mp3", Tags("One", "Band", "Album")));
  server::TagReaders readers(ServerProcess::executable().string(), 1);
  auto read = [&] {
    const int fd = open((lib.path() / "one.mp3").c_str(), O_RDONLY | O_CLOEXEC);
    std::optional<server::SongFileTags> tags;
    std::string why;
    const bool read = readers.ReadTags(fd, "one.mp3", &tags, &why);
    close(fd);
    return read && tags && tags->title == "One";
  };
  bool first = false;
  std::thread([&] { first = read(); }).join();
  ASSERT_TRUE(first);
  // Whatever could end the reader has had its time.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(LiveChildren().size(), 1u);
  EXPECT_TRUE(read());
}

TEST(HostileLibrary, AFileThatCrashesTheReaderCostsOnlyItself) {
  // 70 000 atoms deep overflow the tag library's stack in any build.
  const std::string nested = NestedM4a(70000);
  for (bool atStart : {true, false}) {
    SCOPED_TRACE(atStart ? "there at the start" : "dropped in while running");
    TempDir lib, data;
    ASSERT_TRUE(writeSong(lib.path() / "Good/one.mp3", Tags("Good One", "Band", "Good")));
    const fs::path bad = lib.path() / "Good/nested.m4a";
    if (atStart) {
      ASSERT_TRUE(writeFile(bad.string(), nested));
    }
    ServerProcess server(ServerProcess::Options{data.path(), lib.path(), {}});
    ASSERT_TRUE(server.start()) << server.errors();
    if (!atStart) {
      ASSERT_TRUE(writeFile(bad.string(), nested));
    }
    ASSERT_TRUE(Settled(server, lib.path() / "Good/two.mp3", "Good Two")) << server.errors();
    LibraryView view(server);
    EXPECT_EQ(view.find("Good One").size(), 1u);
    // One line names the file; a restart does not read it again.
    EXPECT_EQ(Count(server.errors(), "left out " + fs::canonical(bad).string() + ": "), 1)
        << server.errors();
    ASSERT_EQ(server.stop(), 0);
    ASSERT_TRUE(server.start()) << server.errors();
    EXPECT_NE(server.errors().find(" songs, 0 files read"), std::string::npos) << server.errors();
  }
}

TEST(HostileLibrary, SongsOfOneSizeAndTimeKeepTheirOwnIds) {
  for (bool whileRunning : {false, true}) {
    SCOPED_TRACE(whileRunning ? "renamed while it runs" : "renamed while it is stopped");
    TempDir lib, data;
    // Same size, same audio, same modification time: only the titles differ.
    ASSERT_TRUE(writeSong(lib.path() / "a.mp3", Tags("Alpha", "Band", "Same")));
    ASSERT_TRUE(writeSong(lib.path() / "b.mp3", Tags("Bravo", "Band", "Same")));
    ASSERT_EQ(fs::file_size(lib.path() / "a.mp3"), fs::file_size(lib.path() / "b.mp3"));
    fs::last_write_time(lib.path() / "b.mp3", fs::last_write_time(lib.path() / "a.mp3"));
    ServerProcess server(ServerProcess::Options{data.path(), lib.path(), {}});
    ASSERT_TRUE(server.start()) << server.errors();
    LibraryView view(server);
    const std::map<std::string, std::string> ids = {{"Alpha", view.find("Alpha").at(0)},
                                                    {"Bravo", view.find("Bravo").at(0)}};
    if (!whileRunning) {
      ASSERT_EQ(server.stop(), 0);
    }
    // Each takes a name that sorts before the other's old one.
    fs::rename(lib.path() / "a.mp3", lib.path() / "d.mp3");
    fs::rename(lib.path() / "b.mp3", lib.path() / "c.mp3");
    const bool seen =
        whileRunning ? Settled(server, lib.path() / "e.mp3", "Later") : server.start();
    ASSERT_TRUE(seen) << server.errors();
    const std::map<std::string, fs::path> files = {{"Alpha", lib.path() / "d.mp3"},
                                                   {"Bravo", lib.path() / "c.mp3"}};
    for (const auto& [title, file] : files) {
      ASSERT_EQ(view.find(title), std::vector<std::string>{ids.at(title)}) << title;
      EXPECT_TRUE(Body(server, "/audio/" + ids.at(title) + ".mp3") == readFile(file.string()))
          << title << " has another's audio";
    }
  }
}

TEST(HostileLibrary, WhatAFileHoldsIsKeptOnlyUpToItsCaps) {
  using Check = std::function<void(const ServerProcess&, const ListedSong&)>;
  const Check generatedCover = [](const ServerProcess& server, const ListedSong& s) {
    const std::string cover = Body(server, s.picUrl.substr(server.baseUrl().size()));
    EXPECT_EQ(cover.substr(0, 3), "\xFF\xD8\xFF");  // the generated one, not the file's
  };
  const struct {
    const char* folder;  // the song's album, for want of an album tag
    std::string frames;
    Check check;
  } cases[] = {
      {"Bomb", CompressedTitle(16 << 20),
       [](const ServerProcess&, const ListedSong& s) {
         EXPECT_TRUE(s.name == std::string(1024, 'T')) << s.name.size() << " bytes";
       }},
      {"Lyric",
       Frame("USLT", std::string("\x03"
                                 "eng\0",
                                 5) +
                         std::string(3 << 20, 'l')),
       [](const ServerProcess& server, const ListedSong& s) {
         const std::string lyric =
             Between(Body(server, "/lyric?id=" + s.id), ",\"lyric\":\"", "\"},\"klyric\":");
         EXPECT_TRUE(lyric == std::string(1 << 20, 'l')) << lyric.size() << " bytes";
       }},
      {"Big", Picture(PngHeader(600, 600) + std::string(9 << 20, 'p')), generatedCover},
      {"Vast", Picture(PngHeader(100000, 100000) + std::string(1000, 'p')), generatedCover},
  };
  TempDir lib;
  for (const auto& c : cases)
    ASSERT_TRUE(WriteTagged(lib.path() / c.folder / "song.mp3", c.frames)) << c.folder;
  ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();
  LibraryView view(server);
  std::map<std::string, ListedSong> byAlbum;
  for (const auto& [name, tracks] : view.playlists())
    for (ListedSong& s : view.songs(tracks)) byAlbum[s.album] = std::move(s);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    ASSERT_EQ(byAlbum.count(c.folder), 1u);
    c.check(server, byAlbum[c.folder]);
  }
}

}  // namespace
}  // namespace lumora::test
