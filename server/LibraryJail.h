#pragma once
// The library is a jail: a link inside it may point anywhere, so only regular files whose
// real path lies inside the library's real path are catalogued, and a file is served only
// when it is reached from the library's folder through no link at all, on every request: a
// folder swapped for a link after the scan leads nowhere.
#include <filesystem>
#include <string>

namespace lumora::server {

// The real path of path when it is a regular file inside root (both with links resolved);
// empty otherwise.
std::string JailedPath(const std::filesystem::path& root, const std::filesystem::path& path);

// Opens path (absolute, inside root, both real paths as JailedPath gives them) with flags,
// resolving it beneath root with no link on the way; -1 (errno set) when it cannot be.
// openat2 does it where the kernel has it, else WalkBeneath.
int OpenBeneath(const std::string& root, const std::string& path, int flags);
// The same, one step at a time, every step opened without following a link.
int WalkBeneath(const std::string& root, const std::string& path, int flags);

}  // namespace lumora::server
