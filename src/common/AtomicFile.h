#pragma once
// Whole-file replacement and small reads for the files the program writes: its settings, its
// state, the autostart entry, the songs it downloads and tags.
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace lumora {

// Closes the descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Replaces the file so that a crash, a kill or a full disk at any moment leaves either the old
// file or the new one, never a part: `fill` writes the new content to a temporary file in the
// same folder, which gets `mode`, reaches the disk, and only then is renamed over `target`.
// Returns the first failure (`fill`'s own included); the old file is then untouched and nothing
// is left beside it. The folder must exist.
std::error_code ReplaceFile(const std::filesystem::path& target, mode_t mode,
                            const std::function<std::error_code(int fd)>& fill);

// ReplaceFile with these bytes, readable by all (0644), creating missing folders first.
std::error_code WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Writes all bytes at the descriptor's position.
std::error_code WriteAll(int fd, std::string_view bytes);

// The mode a newly created file gets from the process's umask.
mode_t NewFileMode();

// The bytes of a regular file of at most `limit` bytes; nothing when the file is missing, is not
// a regular file (a FIFO would block the read), is larger, or cannot be read.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path,
                                         std::size_t limit = 1 << 20);

}  // namespace lumora
