#pragma once
// Which songs of a library make which album. An album lives in one album folder: the folder that
// holds it, its disc folders ("CD1", "Disc 2") merged into it. The albums of an album folder
// are a function of that folder's songs alone, so a changed folder can be grouped again by itself.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::server {

// One song as the grouping sees it.
struct AlbumTrack {
  std::size_t song = 0;  // the caller's index of the song
  std::string folder;    // its own folder, below the root ("" is the root)
  std::string file;      // its file name
  std::string album;     // its album tag; empty: none
  std::string albumArtist;
  std::string artist;  // its first artist; empty: none
  int disc = 0, track = 0;  // 0: not tagged
};

struct GroupedAlbum {
  std::string title;   // the album tag; empty for the songs without one
  std::string artist;  // the album artist, else the lead artist its songs share; else empty
  std::string key;     // what tells it from every other album of the library
  std::vector<std::size_t> songs;  // in play order: disc, track, file name
};

// The disc number a folder's own name gives ("CD1", "cd 2", "Disc 3", "disc_04", "Disk 1");
// 0 for any other name.
int DiscOfFolder(std::string_view name);

// The album folder of a song's folder: its parent when it is a disc folder, else itself.
std::string AlbumFolder(const std::string& folder);

// The albums of one album folder's songs. Songs of one title are one album whatever their track
// artists (a compilation tagged without an album artist included); only two album artists
// tagged on songs of the same title make two albums. A song without an album artist joins the
// one album artist its title has. Discs without a disc tag take their folder's number.
std::vector<GroupedAlbum> GroupAlbums(const std::string& albumFolder,
                                      std::vector<AlbumTrack> tracks);

}  // namespace lumora::server
