#pragma once
// Whole-file replacement: the new content goes to a file beside the target, is flushed to disk
// and renamed over the target, so readers and crashes only ever see the old file or the new one.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace lumora {

// `fill` writes the new content to the descriptor it is given. The new file gets `mode`. false,
// with nothing left behind and the target untouched, when any step fails.
bool ReplaceFile(const std::filesystem::path& target, mode_t mode,
                 const std::function<bool(int fd)>& fill);

// The mode a newly created file gets from the process's umask.
mode_t NewFileMode();

// Writes all bytes at the descriptor's position.
bool WriteAll(int fd, std::string_view bytes);

// Copies `length` bytes from offset `from` of `in` to the position of `out`, in the kernel where
// the file system allows; false when `in` ends early or a read or write fails.
bool CopyRange(int in, std::uint64_t from, std::uint64_t length, int out);

}  // namespace lumora
