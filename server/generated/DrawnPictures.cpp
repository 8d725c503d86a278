#include "generated/DrawnPictures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "generated/Encoders.h"

namespace lumora::server {

namespace {

constexpr double kPi = 3.14159265358979323846;

enum class Motif { kRings, kStripes, kSun, kSpots };

struct Spot {
  double x, y, radius;
};

}  // namespace

std::vector<std::uint8_t> MakeCoverPixels(std::uint32_t seed, int size) {
  std::minstd_rand rng(seed * 2654435761u + 1);
  auto channel = [&] { return static_cast<double>(rng() % 200 + 30); };
  const double from[3] = {channel(), channel(), channel()};
  const double to[3] = {channel(), channel(), channel()};
  const auto motif = static_cast<Motif>(rng() % 4);
  const double angle = static_cast<double>(rng() % 360) * kPi / 180;
  const double cx = size * (0.3 + (rng() % 40) / 100.0), cy = size * (0.3 + (rng() % 40) / 100.0);
  const double width = 8 + rng() % 18;
  std::vector<Spot> spots(motif == Motif::kSpots ? 6 + rng() % 5 : 0);
  for (Spot& s : spots)
    s = {static_cast<double>(rng() % static_cast<unsigned>(size)),
         static_cast<double>(rng() % static_cast<unsigned>(size)),
         size * (0.05 + (rng() % 14) / 100.0)};
  const double dx = std::cos(angle), dy = std::sin(angle);
  const double half = size / 2.0;

  // How much light a motif puts on a pixel: about 0.6 (shade) to 1.4 (highlight).
  auto light = [&](double x, double y) {
    switch (motif) {
      case Motif::kRings:
        return 0.75 + 0.25 * (0.5 + 0.5 * std::sin(std::hypot(x - cx, y - cy) / width));
      case Motif::kStripes:
        return 0.8 + 0.3 * std::clamp(3 * std::sin((-x * dy + y * dx) / width), -1.0, 1.0);
      case Motif::kSun: {
        const double edge = size * 0.22 - std::hypot(x - cx, y - cy * 0.8);
        if (edge > 0) return 1.0 + 0.35 * std::min(1.0, edge / 2);
        if (y > cy) return 0.7 + 0.08 * std::sin(y / 3.0);
        return 1.0;
      }
      case Motif::kSpots: {
        double v = 0.8;
        for (const Spot& s : spots)
          v += 0.25 * std::clamp((s.radius - std::hypot(x - s.x, y - s.y)) / 3, 0.0, 1.0);
        return v;
      }
    }
    return 1.0;
  };

  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(size) * size * 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double t =
          std::clamp(0.5 + ((x - half) * dx + (y - half) * dy) / (size * 1.42), 0.0, 1.0);
      const double l = light(x, y);
      for (int c = 0; c < 3; ++c)
        rgb[(static_cast<std::size_t>(y) * size + x) * 3 + c] =
            static_cast<std::uint8_t>(std::clamp((from[c] * (1 - t) + to[c] * t) * l, 0.0, 255.0));
    }
  }
  return rgb;
}

bool DrawPictureOnce(const std::string& path, std::uint32_t seed, int size, std::string* error) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) ||
         WriteJpeg(path, MakeCoverPixels(seed, size), size, size, error);
}

}  // namespace lumora::server
