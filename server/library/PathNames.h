#pragma once
// What the path of a file without tags says of it, as people name their files and folders:
// "03 - Quiet River.mp3" (or "03. Quiet River", "03 Quiet River") a track and a title, and
// "Artist/2010 - Album/" the artist and the album. Only what the tags leave empty is taken.
#include <string>

#include "songfiles/SongFile.h"

namespace lumora::server {

// Fills what tags lack from path (below the library's root, "/"-separated; its parts need not
// be UTF-8).
void NameFromPath(const std::string& path, SongFileTags& tags);

}  // namespace lumora::server
