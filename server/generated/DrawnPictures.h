#pragma once
// Generated pictures for covers and avatars.
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::server {

// size * size RGB pixels: a two-colour gradient under one of a few motifs (rings, stripes, a
// sun over a horizon, soft spots), all chosen by the seed so that each picture differs.
std::vector<std::uint8_t> MakeCoverPixels(std::uint32_t seed, int size);

// Draws the picture of seed as a size * size JPEG at path, unless a file is there already.
bool DrawPictureOnce(const std::string& path, std::uint32_t seed, int size, std::string* error);

}  // namespace lumora::server
