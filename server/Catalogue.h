#pragma once
// The songs, albums and playlists the server hands out, held in memory. Ids are 64-bit
// unsigned integers and always leave the server as exact decimal text.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumora::server {

struct Artist {
  std::uint64_t id = 0;
  std::string name;
};

struct Album {
  std::uint64_t id = 0;
  std::string name;
  std::string type;        // "专辑", "EP"...
  std::string coverFile;   // a JPEG on disk, or empty when coverBytes holds the picture
  std::string coverBytes;  // a picture taken from a tag
  std::string coverMime = "image/jpeg";
  std::string coverSongFile;  // a library song whose embedded picture is the cover, read when asked
};

struct Song {
  std::uint64_t id = 0;
  std::string name;
  std::vector<Artist> artists;
  std::uint64_t albumId = 0;
  std::int64_t durationMs = 0;
  std::string audioFile;
  std::string fileType = "mp3";     // the audio route's extension and /song/url's "type"
  std::string mime = "audio/mpeg";  // the audio route's content type
  std::string lyric;                // LRC or plain text; empty = no lyric
  bool membersOnly = false;
};

struct Playlist {
  std::uint64_t id = 0;
  std::string name;
  std::string coverFile;  // empty: the cover of the first track's album
  std::vector<std::string> categories;
  std::int64_t playCount = 0;
  std::vector<std::uint64_t> trackIds;
};

// The 22 categories the player offers, "全部" first.
const std::vector<std::string>& CategoryNames();
bool IsCategory(const std::string& name);

class Catalogue {
 public:
  std::vector<Song> songs;
  std::vector<Album> albums;
  std::vector<Playlist> playlists;
  // Songs personal FM draws from (indexes into songs).
  std::vector<std::size_t> fmPool;
  // A library's real path: its files are served only from beneath it. Empty for the
  // generated catalogues, whose files the server made itself.
  std::string root;

  // Rebuilds the id lookups; call after filling the vectors.
  void Index();
  const Song* FindSong(std::uint64_t id) const;
  const Album* FindAlbum(std::uint64_t id) const;
  const Playlist* FindPlaylist(std::uint64_t id) const;

 private:
  std::unordered_map<std::uint64_t, std::size_t> songIndex_, albumIndex_, playlistIndex_;
};

}  // namespace lumora::server
