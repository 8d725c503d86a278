// The cover kept as a file for media-player clients: its format's own extension, one file at a
// time, nothing left for bytes that are no picture, and nothing outside its folder.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "desktop/CoverFile.h"
#include "support/PictureBytes.h"
#include "support/TempDir.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

std::string picture(const char* format) { return test::pictureBytes({8, 8}, Qt::red, format); }

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::size_t filesIn(const fs::path& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(CoverFile, WritesThePictureUnderItsFormatsExtension) {
  test::TempDir tmp;
  const fs::path folder = tmp.path() / "cache" / "lumora";  // made on first use
  CoverFile cover(folder.string());
  for (const auto& [format, extension] : {std::pair{"JPEG", ".jpeg"}, std::pair{"PNG", ".png"}}) {
    const std::string bytes = picture(format);
    const std::string path = cover.write("1000014", bytes);
    ASSERT_FALSE(path.empty()) << format;
    EXPECT_EQ(fs::path(path).parent_path(), folder);
    EXPECT_EQ(fs::path(path).extension(), extension);
    EXPECT_EQ(contents(path), bytes);
    EXPECT_EQ(cover.path(), path);
    EXPECT_EQ(filesIn(folder), 1u) << "the previous song's cover goes";
  }
}

TEST(CoverFile, BytesThatAreNoPictureLeaveNoFile) {
  test::TempDir tmp;
  CoverFile cover(tmp.path().string());
  ASSERT_FALSE(cover.write("1", picture("PNG")).empty());
  for (const std::string& bytes :
       {std::string(), std::string("<html>404</html>"), picture("PNG").substr(0, 20)}) {
    EXPECT_EQ(cover.write("2", bytes), "");
    EXPECT_EQ(cover.path(), "");
    EXPECT_EQ(filesIn(tmp.path()), 0u);
  }
}

TEST(CoverFile, AnIdCannotNameAFileOutsideTheFolder) {
  test::TempDir tmp;
  const fs::path folder = tmp.path() / "covers";
  CoverFile cover(folder.string());
  const std::string path = cover.write("../../escape", picture("PNG"));
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(fs::path(path).parent_path(), folder);
  EXPECT_EQ(filesIn(tmp.path()), 1u);
}

TEST(CoverFile, TheLastCoverGoesWithThePlayer) {
  test::TempDir tmp;
  std::string path;
  {
    CoverFile cover(tmp.path().string());
    path = cover.write("3", picture("JPEG"));
    ASSERT_TRUE(fs::exists(path));
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST(CoverFile, AnUnwritableFolderGivesNoPath) {
  test::TempDir tmp;
  const fs::path blocker = tmp.path() / "file";
  std::ofstream(blocker) << "x";
  CoverFile cover((blocker / "lumora").string());
  EXPECT_EQ(cover.write("4", picture("PNG")), "");
}

}  // namespace
}  // namespace lumora
