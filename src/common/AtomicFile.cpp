#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace lumora {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

// Closes the descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::error_code writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastError();
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// Fills the temporary file and brings it to the disk; the caller renames it.
std::error_code fillTemporary(Descriptor& fd, std::string_view bytes) {
  if (auto ec = writeAll(fd.get(), bytes)) return ec;
  if (::fchmod(fd.get(), 0644) != 0 || ::fsync(fd.get()) != 0) return lastError();
  if (::close(fd.release()) != 0) return lastError();
  return {};
}

}  // namespace

std::error_code WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  const std::filesystem::path folder = path.parent_path();
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  if (ec) return ec;

  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return lastError();
  ec = fillTemporary(fd, bytes);
  if (!ec && ::rename(temporary.c_str(), path.c_str()) != 0) ec = lastError();
  if (ec) {
    ::unlink(temporary.c_str());
    return ec;
  }
  // The rename itself lives in the folder; without this a power cut may still undo it.
  Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {};
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t limit) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uintmax_t>(info.st_size) > limit) {
    return std::nullopt;
  }
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
    if (bytes.size() > limit) return std::nullopt;
  }
}

}  // namespace lumora
