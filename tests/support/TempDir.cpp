#include "support/TempDir.h"

#include <cstdlib>
#include <random>

namespace lumora::test {

std::filesystem::path buildDir() {
  const char* dir = std::getenv("LUMORA_BINARY_DIR");
  return dir && *dir ? std::filesystem::path(dir) : std::filesystem::current_path();
}

TempDir::TempDir() {
  std::random_device rd;
  auto root = buildDir() / "test-tmp";
  std::filesystem::create_directories(root);
  do {
    std::string name = "t";
    name += std::to_string(rd());
    path_ = root / name;
  } while (std::filesystem::exists(path_));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace lumora::test
