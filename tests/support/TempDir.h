#pragma once
// A fresh folder under the build tree for one test, removed when the test ends.
#include <filesystem>
#include <string>

namespace lumora::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The build folder (LUMORA_BINARY_DIR from CTest), or the current folder when run by hand.
std::filesystem::path buildDir();

}  // namespace lumora::test
