#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/AtomicFile.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

std::string contents(const fs::path& file) {
  std::ostringstream out;
  out << std::ifstream(file, std::ios::binary).rdbuf();
  return out.str();
}

TEST(AtomicFile, ReplaceFileLeavesTheOldFileOrTheNewOneAndNothingBeside) {
  enum class Before { Nothing, File, Folder };
  struct Case {
    const char* name;
    std::string target;  // under the test's folder
    Before before;
    std::error_code fillFails;  // after the new content is written
    bool replaced;
  };
  const std::error_code diskFull = std::make_error_code(std::errc::no_space_on_device);
  const Case cases[] = {
      {"a new file", "a.mp3", Before::Nothing, {}, true},
      {"an old file", "a.mp3", Before::File, {}, true},
      {"a name as long as names go", std::string(255, 'n'), Before::File, {}, true},
      {"the fill fails", "a.mp3", Before::File, diskFull, false},
      {"a folder in the way", "a.mp3", Before::Folder, {}, false},
      {"a missing folder", "none/a.mp3", Before::Nothing, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const fs::path target = dir.path() / c.target;
    if (c.before == Before::File) std::ofstream(target) << "old";
    if (c.before == Before::Folder) fs::create_directory(target);

    const std::error_code ec = ReplaceFile(target, 0640, [&](int fd) {
      if (auto written = WriteAll(fd, "new")) return written;
      return c.fillFails;
    });

    EXPECT_EQ(!ec, c.replaced) << ec.message();
    if (c.fillFails) {
      EXPECT_EQ(ec, c.fillFails);
    }
    // The target and nothing else: no temporary is left, no missing folder made.
    EXPECT_EQ(entries(dir.path()), c.before != Before::Nothing || c.replaced ? 1u : 0u);
    if (c.replaced) {
      EXPECT_EQ(contents(target), "new");
      struct stat info {};
      ASSERT_EQ(::stat(target.c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, 0640u);
    } else if (c.before == Before::File) {
      EXPECT_EQ(contents(target), "old");
    }
  }
}

TEST(AtomicFile, ReadSmallFileRefusesLargeFiles) {
  test::TempDir dir;
  std::ofstream(dir.file("big")) << std::string(100, 'x');
  EXPECT_EQ(ReadSmallFile(dir.path() / "big", 100), std::string(100, 'x'));
  EXPECT_EQ(ReadSmallFile(dir.path() / "big", 99), std::nullopt);
}

}  // namespace
}  // namespace lumora
