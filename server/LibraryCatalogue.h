#pragma once
// A catalogue over a folder of the user's MP3 files, read with TagLib.
#include <string>

#include "Catalogue.h"

namespace lumora::server {

// Songs from every .mp3 below dir (title, artists, album, genre, cover, lyric from a USLT
// frame or a .lrc file beside the song); one playlist per album and one per folder. Ids are
// derived from the relative paths and names, so they stay the same from run to run.
Catalogue LoadLibraryCatalogue(const std::string& dir);

}  // namespace lumora::server
