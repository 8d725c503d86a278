#pragma once
// The catalogue of a user's library, made from its saved index: albums by their tags, one
// playlist per album and one per folder.
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "library/LibraryIndex.h"
#include "library/LibraryScan.h"

namespace lumora::server {

// Albums as AlbumGrouping makes them (a song without an album tag is in its album folder's
// album), each with its playlist; a folder has its own playlist only where it holds more than
// one album's songs, in file name order. A link to a folder inside the library gives the folders
// it reaches their playlists under its own name too.
Catalogue BuildLibraryCatalogue(const std::string& realRoot, LibraryIndex& index,
                                const std::vector<FolderLink>& links);

}  // namespace lumora::server
