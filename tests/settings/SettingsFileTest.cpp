#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

#include "settings/SettingsFile.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

// Runs `body` in a child process and returns its exit status; limits set there stay there.
int inChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

Settings changed() {
  Settings s;
  s.edgeHide = false, s.preset = 4, s.fontFace = 2, s.bold = false, s.fontSize = 8;
  s.colour1 = 0xFF0090, s.colour2 = 0xFFA8FF, s.colour3 = 0x010203, s.gradient = 2, s.opacity = 7;
  return s;
}

TEST(SettingsFile, LivesInTheProgramsFolderOfTheConfigHome) {
  EXPECT_EQ(SettingsFilePath("/home/u/.config"), fs::path("/home/u/.config/lumora/lumora.ini"));
  EXPECT_EQ(SettingsFilePath(""), fs::path());
}

TEST(SettingsFile, WrittenValuesComeBackInANewFolder) {
  test::TempDir dir;
  const fs::path file = SettingsFilePath(dir.path() / "a" / "b");
  ASSERT_TRUE(WriteSettingsFile(file, changed()));
  EXPECT_EQ(fs::file_size(file) % 8, 0u);
  Settings back;
  ASSERT_TRUE(ReadSettingsFile(file, back));
  EXPECT_EQ(back, changed());
  EXPECT_EQ(entries(file.parent_path()), 1u);  // no temporary left behind
}

TEST(SettingsFile, NothingToReadLeavesTheValues) {
  test::TempDir dir;
  Settings s = changed();
  EXPECT_FALSE(ReadSettingsFile(dir.path() / "missing.ini", s));
  EXPECT_FALSE(ReadSettingsFile(fs::path(), s));
  EXPECT_FALSE(WriteSettingsFile(fs::path(), s));
  // A FIFO would block a plain read for ever; a folder cannot be read at all.
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadSettingsFile(dir.path() / "fifo", s));
  EXPECT_FALSE(ReadSettingsFile(dir.path(), s));
  // A foreign file deciphers to nothing.
  std::ofstream(dir.file("foreign.ini")) << "[section]\nkey=value\n";
  EXPECT_TRUE(ReadSettingsFile(dir.path() / "foreign.ini", s));
  EXPECT_EQ(s, changed());
}

TEST(SettingsFile, AWriteCutShortKeepsTheOldFile) {
  test::TempDir dir;
  const fs::path file = SettingsFilePath(dir.path());
  ASSERT_TRUE(WriteSettingsFile(file, changed()));
  // A full disk after the first 8 bytes of the new file.
  const int status = inChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{8, 8};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return WriteSettingsFile(file, Settings{}) ? 1 : 0;
  });
  EXPECT_EQ(status, 0);
  Settings back;
  ASSERT_TRUE(ReadSettingsFile(file, back));
  EXPECT_EQ(back, changed());
  EXPECT_EQ(entries(file.parent_path()), 1u);
}

TEST(SettingsFile, AKilledWritersTemporaryDoesNotStopTheNextWrite) {
  test::TempDir dir;
  const fs::path file = SettingsFilePath(dir.path());
  ASSERT_TRUE(WriteSettingsFile(file, changed()));
  std::ofstream(file.parent_path() / ".lumora.ini.Ab12Cd") << "half";
  ASSERT_TRUE(WriteSettingsFile(file, Settings{}));
  Settings back = changed();
  ASSERT_TRUE(ReadSettingsFile(file, back));
  EXPECT_EQ(back, Settings{});
}

TEST(SettingsFile, AReadOnlyFolderLosesNothing) {
  test::TempDir dir;
  const fs::path file = SettingsFilePath(dir.path());
  ASSERT_TRUE(WriteSettingsFile(file, changed()));
  fs::permissions(dir.path(), fs::perms(0755));
  fs::permissions(file.parent_path(), fs::perms(0555));
  // Root writes anywhere, so the write runs as an ordinary user.
  const int status = inChild([&] {
    if (::geteuid() == 0 && ::setuid(65534) != 0) return 2;
    return WriteSettingsFile(file, Settings{}) ? 1 : 0;
  });
  fs::permissions(file.parent_path(), fs::perms(0755));
  EXPECT_EQ(status, 0);
  Settings back;
  ASSERT_TRUE(ReadSettingsFile(file, back));
  EXPECT_EQ(back, changed());
}

}  // namespace
}  // namespace lumora
