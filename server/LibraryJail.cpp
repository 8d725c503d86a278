#include "LibraryJail.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace lumora::server {

std::string JailedPath(const fs::path& root, const fs::path& path) {
  std::error_code ec;
  const fs::path realRoot = fs::canonical(root, ec);
  if (ec) return "";
  const fs::path real = fs::canonical(path, ec);
  if (ec || !fs::is_regular_file(real, ec)) return "";
  // Inside means below it, step by step: "/music2/x" is not inside "/music".
  auto [r, p] = std::mismatch(realRoot.begin(), realRoot.end(), real.begin(), real.end());
  if (r != realRoot.end() || p == real.end()) return "";
  return real.string();
}

}  // namespace lumora::server
