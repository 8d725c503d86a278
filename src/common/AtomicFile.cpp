#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumora {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

}  // namespace

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

std::error_code WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastError();
    // Nothing written and no error would loop for ever.
    if (n == 0) return std::make_error_code(std::errc::io_error);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

std::error_code ReplaceFile(const std::filesystem::path& target, mode_t mode,
                            const std::function<std::error_code(int fd)>& fill) {
  const std::filesystem::path folder =
      target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
  // A short name of our own: the target's name may already be as long as names can be.
  std::string temporary = (folder / ".lumora-XXXXXX").string();
  Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return lastError();
  std::error_code ec;
  if (::fchmod(fd.get(), mode) != 0) ec = lastError();
  if (!ec) ec = fill(fd.get());
  if (!ec && ::fsync(fd.get()) != 0) ec = lastError();
  if (::close(fd.release()) != 0 && !ec) ec = lastError();
  if (!ec && ::rename(temporary.c_str(), target.c_str()) != 0) ec = lastError();
  if (ec) {
    ::unlink(temporary.c_str());
    return ec;
  }
  // The rename itself lives in the folder; without this a power cut may still undo it.
  Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return {};
}

std::error_code WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) return ec;
  return ReplaceFile(path, 0644, [bytes](int fd) { return WriteAll(fd, bytes); });
}

mode_t NewFileMode() {
  // umask can only be read by setting it; nothing else in the program creates files meanwhile.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
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
