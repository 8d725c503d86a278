#pragma once
// The catalogue of a user's library, made from its saved index: albums by their tags, one
// playlist per album and one per folder.
#include <string>
#include <vector>

#include "Catalogue.h"
#include "LibraryIndex.h"
#include "LibraryScan.h"

namespace lumora::server {

// Stable ids: FNV-1a of a text, kept below 2^62 so they also fit SQLite's integers.
std::uint64_t StableId(const std::string& text);

// An album is its album artist (else its first artist) and its title; a compilation is one
// album whatever its track artists; a song without an album tag is in its folder's album. An
// album plays by disc, then track, then file name; a folder by file name. A link to a folder
// inside the library gives the folders it reaches their playlists under its own name too.
Catalogue BuildLibraryCatalogue(const std::string& realRoot, LibraryIndex& index,
                                const std::vector<FolderLink>& links);

}  // namespace lumora::server
