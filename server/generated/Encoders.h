#pragma once
// Encoders over GStreamer: PCM to MP3 (lamemp3enc) and RGB pixels to JPEG (jpegenc).
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::server {

// Calls gst_init once.
void EnsureGstreamer();

bool WriteMp3(const std::string& path, const std::vector<std::int16_t>& mono, int rate, int kbps,
              std::string* error);

// rgb holds width * height * 3 bytes; width * 3 must be a multiple of 4.
bool WriteJpeg(const std::string& path, const std::vector<std::uint8_t>& rgb, int width, int height,
               std::string* error);

}  // namespace lumora::server
