#pragma once
// A catalogue over a folder of the user's audio files (MP3, FLAC, Ogg Vorbis, Opus, M4A, WAV),
// read with TagLib.
#include <string>

#include "Catalogue.h"

namespace lumora::server {

// Songs from every audio file below dir (title, artists, album, genre, cover from the file or
// its folder, lyric from the file or a .lrc file beside it; files that are no audio left out); one
// playlist per album and one per folder. Ids are derived from the relative paths and names, so they
// stay the same from run to run.
Catalogue LoadLibraryCatalogue(const std::string& dir);

}  // namespace lumora::server
