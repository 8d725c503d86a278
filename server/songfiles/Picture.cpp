#include "songfiles/Picture.h"

namespace lumora::server {

namespace {

std::uint32_t Big16(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]) << 8 |
                                    static_cast<unsigned char>(b[at + 1]));
}

std::uint32_t Big32(std::string_view b, std::size_t at) {
  return Big16(b, at) << 16 | Big16(b, at + 2);
}

std::uint32_t Little(std::string_view b, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return value;
}

// The frame header (SOF0..SOF15 but DHT, JPG and DAC) gives the size; segments before it are
// skipped by their lengths. Pictures put their EXIF and colour profiles first, so the whole
// picture may have to be looked through.
std::optional<PixelSize> JpegSize(std::string_view b) {
  for (std::size_t at = 2; at + 4 <= b.size();) {
    if (static_cast<unsigned char>(b[at]) != 0xFF) return std::nullopt;
    const unsigned marker = static_cast<unsigned char>(b[at + 1]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // the end, or image data
    const std::uint32_t length = Big16(b, at + 2);
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || at + 9 > b.size()) return std::nullopt;
      return PixelSize{Big16(b, at + 7), Big16(b, at + 5)};
    }
    if (length < 2) return std::nullopt;
    at += 2 + length;
  }
  return std::nullopt;
}

std::optional<PixelSize> WebpSize(std::string_view b) {
  const std::string_view chunk = b.substr(12, 4);
  if (chunk == "VP8X" && b.size() >= 30)
    return PixelSize{Little(b, 24, 3) + 1, Little(b, 27, 3) + 1};
  if (chunk == "VP8L" && b.size() >= 25 && static_cast<unsigned char>(b[20]) == 0x2F) {
    const std::uint32_t bits = Little(b, 21, 4);
    return PixelSize{(bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1};
  }
  if (chunk == "VP8 " && b.size() >= 30 && b.substr(23, 3) == "\x9D\x01\x2A")
    return PixelSize{Little(b, 26, 2) & 0x3FFF, Little(b, 28, 2) & 0x3FFF};
  return std::nullopt;
}

std::string_view MimeOf(std::string_view b) {
  if (b.starts_with("\x89PNG\r\n\x1A\n")) return "image/png";
  if (b.starts_with("\xFF\xD8")) return "image/jpeg";
  if (b.starts_with("GIF87a") || b.starts_with("GIF89a")) return "image/gif";
  if (b.size() >= 16 && b.starts_with("RIFF") && b.substr(8, 4) == "WEBP") return "image/webp";
  return "";
}

}  // namespace

std::optional<PixelSize> PictureSize(std::string_view b) {
  const std::string_view mime = MimeOf(b);
  if (mime == "image/png" && b.size() >= 24 && b.substr(12, 4) == "IHDR")
    return PixelSize{Big32(b, 16), Big32(b, 20)};
  if (mime == "image/jpeg") return JpegSize(b);
  if (mime == "image/gif" && b.size() >= 10) return PixelSize{Little(b, 6, 2), Little(b, 8, 2)};
  if (mime == "image/webp") return WebpSize(b);
  return std::nullopt;
}

std::optional<Picture> KeptPicture(std::string bytes) {
  if (bytes.size() > kMaxPictureBytes) return std::nullopt;
  const auto size = PictureSize(bytes);
  if (!size || size->width == 0 || size->height == 0 ||
      std::uint64_t{size->width} * size->height > kMaxPicturePixels)
    return std::nullopt;
  std::string mime(MimeOf(bytes));
  return Picture{std::move(bytes), std::move(mime)};
}

}  // namespace lumora::server
