#pragma once
// The catalogue the tests run against: fixtures for the edges the player must get right
// (ids past 2^53, a members-only song, lyrics with quotes or without time tags, songs of two
// seconds, a playlist of 2 000 tracks).
#include "generated/GeneratedCatalogue.h"

namespace lumora::server {

// Well-known ids of the test catalogue.
namespace fixture {
inline constexpr std::uint64_t kBigSongId = 9007199254740993ull;      // 2^53 + 1
inline constexpr std::uint64_t kBigPlaylistId = 9007199254740995ull;  // 2^53 + 3
inline constexpr std::uint64_t kMembersOnlySongId = 1000004;
inline constexpr std::uint64_t kNoLyricSongId = 1000006;
inline constexpr std::uint64_t kUntimedLyricSongId = 1000010;
inline constexpr std::uint64_t kHugePlaylistId = 3000011;   // 2 000 tracks
inline constexpr std::uint64_t kShortPlaylistId = 3000013;  // songs of 2 to 3 seconds
inline constexpr std::uint64_t kFirstShortSongId = 1000901;
}  // namespace fixture

CatalogueRecipe TestCatalogueRecipe();

}  // namespace lumora::server
