#pragma once
// The library is a jail: a link inside it may point anywhere, so only regular files whose
// real path lies inside the library's real path are catalogued and served.
#include <filesystem>
#include <string>

namespace lumora::server {

// The real path of path when it is a regular file inside root (both with links resolved);
// empty otherwise.
std::string JailedPath(const std::filesystem::path& root, const std::filesystem::path& path);

}  // namespace lumora::server
