#include "download/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace lumora {
namespace {

bool CopyByReading(int in, std::uint64_t from, std::uint64_t length, int out) {
  std::vector<char> buffer(std::size_t{1} << 20);
  while (length > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
    ssize_t n = pread(in, buffer.data(), want, static_cast<off_t>(from));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
    from += static_cast<std::uint64_t>(n);
    length -= static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace

mode_t NewFileMode() {
  // umask can only be read by setting it; nothing else in the program creates files meanwhile.
  mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool CopyRange(int in, std::uint64_t from, std::uint64_t length, int out) {
  auto offset = static_cast<off_t>(from);
  while (length > 0) {
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1u << 30));
    ssize_t n = copy_file_range(in, &offset, out, nullptr, chunk, 0);
    if (n > 0) {
      length -= static_cast<std::uint64_t>(n);
      continue;
    }
    if (n == 0) return false;  // the file got shorter
    if (errno == EINTR) continue;
    // Some file systems (and older kernels) cannot copy between these two files.
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
      return CopyByReading(in, static_cast<std::uint64_t>(offset), length, out);
    return false;
  }
  return true;
}

bool ReplaceFile(const std::filesystem::path& target, mode_t mode,
                 const std::function<bool(int fd)>& fill) {
  // A short name of our own: the target's name may already be as long as names can be.
  std::filesystem::path folder = target.parent_path();
  std::string temporary = ((folder.empty() ? "." : folder) / ".lumora-XXXXXX").string();
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0 && fill(fd) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temporary.c_str(), target.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace lumora
