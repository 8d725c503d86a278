// What the server is given to work with may be damaged, used up or taken: a damaged index is
// moved aside and made again, no inotify instance means a look at the whole library now and
// then, an index that cannot be written is served from memory and written later, and a port
// another server holds is not shared.
#include <grp.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>

#include "LibraryFixture.h"
#include "ServerTestUtil.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

constexpr auto kSeenWithin = std::chrono::seconds(30);

// Runs sql on the database file; its first answer.
std::string Query(const fs::path& file, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  std::string answer;
  if (sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    answer = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  sqlite3_finalize(s);
  sqlite3_close(db);
  return answer;
}

// Overwrites the page that holds the index of the songs' ids with bytes that are no page.
void DamageIdPage(const fs::path& file) {
  const long page =
      std::stol(Query(file, "SELECT rootpage FROM sqlite_master WHERE name = 'files_by_id'"));
  const long size = std::stol(Query(file, "PRAGMA page_size"));
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp((page - 1) * size);
  f << std::string(static_cast<std::size_t>(size), '\xFF');
}

TEST(ServerResources, ADamagedIndexIsMovedAsideAndMadeAgain) {
  const struct {
    const char* what;
    std::function<void(const fs::path&)> damage;
    int moverKept;  // whether the song moved since its first scan keeps its id; -1: either
  } cases[] = {
      {"not a database", [](const fs::path& f) { writeFile(f, std::string(8192, 'x')); }, 0},
      {"cut short", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) / 2); }, -1},
      {"a page of it overwritten", DamageIdPage, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir lib, data;
    ASSERT_TRUE(writeSong(lib.path() / "Stay/stay.mp3", Tags("Stay", "Band", "Stay")));
    ASSERT_TRUE(writeSong(lib.path() / "Old/mover.mp3", Tags("Mover", "Band", "Mover")));
    ServerProcess server(ServerProcess::Options{data.path(), lib.path(), {}});
    LibraryView view(server);
    ASSERT_TRUE(server.start()) << server.errors();
    const std::string stay = view.find("Stay").at(0), mover = view.find("Mover").at(0);
    ASSERT_EQ(server.stop(), 0);
    fs::create_directories(lib.path() / "New");
    fs::rename(lib.path() / "Old/mover.mp3", lib.path() / "New/mover.mp3");
    ASSERT_TRUE(server.start()) << server.errors();  // the moved song keeps its id ...
    ASSERT_EQ(server.stop(), 0);
    c.damage(data.path() / "library-index.db");  // ... which the index alone knows

    ASSERT_TRUE(server.start()) << server.errors();
    EXPECT_NE(server.errors().find("the library index was damaged"), std::string::npos);
    EXPECT_TRUE(fs::exists(data.path() / "library-index.db.damaged"));
    EXPECT_EQ(view.find("Stay"), std::vector<std::string>{stay});
    ASSERT_EQ(view.find("Mover").size(), 1u);
    if (c.moverKept >= 0) {
      EXPECT_EQ(view.find("Mover")[0] == mover, c.moverKept == 1);
    }
  }
}

TEST(ServerResources, WithoutInotifyTheWholeLibraryIsLookedAtNowAndThen) {
  if (geteuid() != 0) GTEST_SKIP() << "runs the server as a user of its own, which needs root";
  static constexpr uid_t kUser = 61234;  // no one else's: its inotify instances are ours to take
  TempDir lib;
  ASSERT_TRUE(writeSong(lib.path() / "first.mp3", Tags("First", "Band", "Album")));
  ServerProcess server(ServerProcess::Options{
      {}, lib.path(), {"--check-every", "2"}, 0, [] {
        if (setgroups(0, nullptr) != 0 || setgid(kUser) != 0 || setuid(kUser) != 0) _exit(126);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // a change of user cleared it
        while (inotify_init() >= 0) {
        }
      }});
  ASSERT_EQ(chown(server.dataDir().c_str(), kUser, kUser), 0);
  ASSERT_TRUE(server.start()) << server.errors();
  EXPECT_NE(server.errors().find("cannot watch the library's folders"), std::string::npos);
  ASSERT_TRUE(writeSong(lib.path() / "later.mp3", Tags("Later", "Band", "Album")));
  LibraryView view(server);
  EXPECT_TRUE(waitFor([&] { return view.find("Later").size() == 1; }, kSeenWithin))
      << server.errors();
}

TEST(ServerResources, AnIndexThatCannotBeWrittenIsServedFromMemoryAndWrittenLater) {
  TempDir disk;
  const bool mounted = mount("tmpfs", disk.path().c_str(), "tmpfs", 0, "size=8m,mode=0700") == 0;
  struct Unmount {
    const TempDir& dir;
    bool mounted;
    ~Unmount() {
      if (mounted) umount2(dir.path().c_str(), MNT_DETACH);
    }
  } unmount{disk, mounted};
  sqlite3* holder = nullptr;  // another program's lock on the index
  const fs::path filler = disk.path() / "filler";
  const auto fill = [&](const fs::path&) {
    std::ofstream out(filler, std::ios::binary);
    const std::string block(4096, 'x');
    while (out.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) {
    }
  };
  const struct {
    const char* what;
    std::function<void(const fs::path& index)> block;
    std::function<void()> release;
    bool atStart = false;
  } cases[] = {
      {"locked by another program",
       [&](const fs::path& index) {
         sqlite3_open(index.c_str(), &holder);
         sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
       },
       [&] { sqlite3_close(holder); }},
      {"on a disk that fills", fill, [&] { fs::remove(filler); }},
      // The accounts too: what they hold is read, what is asked of them refused.
      {"on a disk full from the start", fill, [&] { fs::remove(filler); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!mounted && c.what != cases[0].what) GTEST_SKIP() << "a full disk needs a tmpfs (root)";
    TempDir lib, logs;  // the server's output goes where there is room
    const fs::path data = disk.path() / c.what;
    ASSERT_TRUE(writeSong(lib.path() / "one.mp3", Tags("One", "Band", "Album")));
    ASSERT_TRUE(writeSong(lib.path() / "two.mp3", Tags("Two", "Band", "Album")));
    ServerProcess server(ServerProcess::Options{logs.path(), lib.path(), {"--data", data}});
    LibraryView view(server);
    ASSERT_TRUE(server.start()) << server.errors();
    if (c.atStart) {
      ASSERT_EQ(server.stop(), 0);
    }
    c.block(data / "library-index.db");
    if (c.atStart) {
      ASSERT_TRUE(server.start()) << server.errors();
    }
    fs::remove(lib.path() / "two.mp3");
    EXPECT_TRUE(waitFor([&] { return view.find("Two").empty(); }, kSeenWithin));
    EXPECT_NE(server.errors().find("cannot write the library index"), std::string::npos);
    c.release();
    EXPECT_TRUE(waitFor([&] { return server.errors().find("is written to") != std::string::npos; },
                        kSeenWithin))
        << server.errors();
    ASSERT_EQ(server.stop(), 0);
    ASSERT_TRUE(server.start()) << server.errors();
    EXPECT_NE(server.errors().find(" 1 songs, 0 files read"), std::string::npos) << server.errors();
  }
}

TEST(ServerResources, ASecondServerOnATakenPortRefusesToStart) {
  ServerProcess first;
  ASSERT_TRUE(first.start()) << first.errors();
  ServerProcess second(ServerProcess::Options{{}, {}, {}, first.port()});
  EXPECT_FALSE(second.start());
  EXPECT_NE(second.errors().find("127.0.0.1:" + std::to_string(first.port()) + " is taken"),
            std::string::npos)
      << second.errors();
}

}  // namespace
}  // namespace lumora::test
