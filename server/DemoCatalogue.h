#pragma once
// The generated demo catalogue: its fixed description, and the audio, lyric and cover files
// made once into a folder and reused on every later start.
#include <string>

#include "Catalogue.h"

namespace lumora::server {

// Well-known ids of the demo, for tests and for the README.
namespace demo {
inline constexpr std::uint64_t kBigSongId = 9007199254740993ull;      // 2^53 + 1
inline constexpr std::uint64_t kBigPlaylistId = 9007199254740995ull;  // 2^53 + 3
inline constexpr std::uint64_t kMembersOnlySongId = 1000004;
inline constexpr std::uint64_t kNoLyricSongId = 1000006;
inline constexpr std::uint64_t kUntimedLyricSongId = 1000010;
inline constexpr std::uint64_t kHugePlaylistId = 3000011;   // 2 000 tracks
inline constexpr std::uint64_t kShortPlaylistId = 3000013;  // songs of 2 to 3 seconds
inline constexpr std::uint64_t kFirstShortSongId = 1000901;
}  // namespace demo

struct GenerationReport {
  bool generated = false;  // false: the folder was already complete
  double seconds = 0;
  int files = 0;
  std::uint64_t bytes = 0;
};

// Makes the demo files in dir unless a previous run completed them. Safe to call from
// several processes at once: one generates, the others wait for it (a lock file in dir).
bool EnsureDemoFiles(const std::string& dir, GenerationReport* report, std::string* error);

// The demo catalogue over the files of dir.
Catalogue LoadDemoCatalogue(const std::string& dir);

}  // namespace lumora::server
