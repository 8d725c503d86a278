#pragma once
// A picture from a library (a song's embedded cover, a folder's cover.jpg) is input from anyone:
// it is kept and served only when it is small in bytes and in what it decodes to, so that
// neither the server nor the player decoding it spends more than a cover is worth.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::server {

struct Picture {
  std::string bytes;
  std::string mime;
};

inline constexpr std::size_t kMaxPictureBytes = 8 << 20;
inline constexpr std::uint64_t kMaxPicturePixels = 6000ull * 6000;

struct PixelSize {
  std::uint32_t width = 0, height = 0;
};

// The size a PNG, JPEG, GIF or WebP picture states in its header; nullopt for anything else or
// a header cut short.
std::optional<PixelSize> PictureSize(std::string_view bytes);

// The picture when it is one to keep: of a format PictureSize reads, at most kMaxPictureBytes,
// decoding to at most kMaxPicturePixels. Its type comes from its bytes, not from what the tag
// that held it claimed.
std::optional<Picture> KeptPicture(std::string bytes);

}  // namespace lumora::server
