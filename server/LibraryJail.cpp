#include "LibraryJail.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace fs = std::filesystem;

namespace lumora::server {

namespace {

// The root folder, opened for lookups, and the part of path below it ("a/b.mp3"); -1 (errno
// set) when path is not below it or root cannot be opened.
int OpenRoot(const std::string& root, const std::string& path, std::string* rel) {
  if (root.empty() || path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 ||
      path[root.size()] != '/') {
    errno = ENOENT;
    return -1;
  }
  *rel = path.substr(root.size() + 1);
  return open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

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

int OpenBeneath(const std::string& root, const std::string& path, int flags) {
  std::string rel;
  const int dir = OpenRoot(root, path, &rel);
  if (dir < 0) return -1;
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
  int fd = static_cast<int>(syscall(SYS_openat2, dir, rel.c_str(), &how, sizeof how));
  const int error = errno;
  close(dir);
  if (fd < 0 && (error == ENOSYS || error == EPERM))  // an old kernel, or a filter refusing it
    return WalkBeneath(root, path, flags);
  errno = error;
  return fd;
}

int WalkBeneath(const std::string& root, const std::string& path, int flags) {
  std::string rel;
  int dir = OpenRoot(root, path, &rel);
  for (std::size_t start = 0; dir >= 0;) {
    const std::size_t slash = rel.find('/', start);
    const std::string step = rel.substr(start, slash - start);
    if (step.empty() || step == "." || step == "..") {
      close(dir);
      errno = ENOENT;
      return -1;
    }
    const bool last = slash == std::string::npos;
    const int next = openat(
        dir, step.c_str(),
        last ? flags | O_NOFOLLOW | O_CLOEXEC : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    close(dir);
    errno = error;
    if (last) return next;
    dir = next;
    start = slash + 1;
  }
  return -1;
}

}  // namespace lumora::server
