#include "base/OpenBeneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

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

int OpenFolderBeneath(const std::string& root, const std::string& dir) {
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  return dir.empty() ? open(root.c_str(), kFlags | O_NOFOLLOW)
                     : OpenBeneath(root, root + "/" + dir, kFlags);
}

int OpenFileBeneath(const std::string& root, const std::string& path) {
  // Without waiting: a pipe put where a file was would hold the reading thread for good.
  constexpr int kFlags = O_RDONLY | O_NONBLOCK;
  int fd = OpenBeneath(root, path, kFlags);
  if (fd < 0 && errno == ELOOP) {
    const std::string real = RealPath(path);
    if (!real.empty()) fd = OpenBeneath(root, real, kFlags);
  }
  struct stat st {};
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    return -1;
  }
  return fd;
}

std::optional<std::string> ReadOpenFile(int fd, std::size_t most) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || static_cast<std::size_t>(st.st_size) > most) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  for (ssize_t n = 1; n > 0 && got < bytes.size(); got += static_cast<std::size_t>(n))
    n = std::max<ssize_t>(
        0, pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got)));
  bytes.resize(got);
  return bytes;
}

std::optional<std::string> ReadFileBeneath(const std::string& root, const std::string& path,
                                           std::size_t most) {
  const int fd = OpenFileBeneath(root, path);
  if (fd < 0) return std::nullopt;
  auto bytes = ReadOpenFile(fd, most);
  close(fd);
  return bytes;
}

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return "";
  std::string text = real;
  free(real);
  return text;
}

}  // namespace lumora::server
