#pragma once
// Whole-file reads and writes for the program's own small files.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace lumora {

// Replaces the file so that a crash, a kill or a full disk at any moment leaves either the old
// file or the new one, never a part: the bytes go to a temporary file in the same folder, reach
// the disk, and only then are renamed over the old name. Missing folders are created. Returns
// the first failure; the old file is untouched when there is one.
std::error_code WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The bytes of a regular file of at most `limit` bytes; nothing when the file is missing, is not
// a regular file (a FIFO would block the read), is larger, or cannot be read.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path,
                                         std::size_t limit = 1 << 20);

}  // namespace lumora
