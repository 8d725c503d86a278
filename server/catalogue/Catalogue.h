#pragma once
// The songs, albums and playlists the server hands out, held in memory. Ids are 64-bit
// unsigned integers and always leave the server as exact decimal text.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/FoldedNames.h"

namespace lumora::server {

struct Artist {
  std::uint64_t id = 0;
  std::string name;
};

struct Album {
  std::uint64_t id = 0;
  std::string name;
  std::string type;       // "专辑", "EP"...
  std::string coverFile;  // a picture on disk; empty: none
  // A library song whose embedded picture (when coverEmbedded), else its folder's picture file,
  // is the cover, read when asked.
  std::string coverSongFile;
  bool coverEmbedded = false;
  // A library album's folder: above its disc folders, its picture may be there.
  std::string folder;
  std::string artist;            // its album artist, else the artist its songs share; or empty
  std::uint64_t playlistId = 0;  // its own playlist; 0: none
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

// Stable ids: FNV-1a of a text, kept below 2^62 so they also fit SQLite's integers.
std::uint64_t StableId(const std::string& text);

// What the square's search finds for a text.
struct SearchFind {
  std::vector<const Playlist*> artists;  // one per artist whose name holds it: all their songs
  std::vector<const Playlist*> albums;   // the albums whose title or artist holds it
  Playlist titles;                       // the songs whose title holds it; no tracks: none
  std::vector<const Playlist*> named;    // the other playlists whose name holds it
};

// The 22 categories the player offers, "全部" first.
const std::vector<std::string>& CategoryNames();
bool IsCategory(const std::string& name);

class Catalogue {
 public:
  std::vector<Song> songs;
  std::vector<Album> albums;
  std::vector<Playlist> playlists;
  // Playlists that only a search finds (Index makes them): one per artist, with all their songs,
  // and one per album that has none of its own.
  std::vector<Playlist> foundPlaylists;
  // Songs personal FM draws from (indexes into songs).
  std::vector<std::size_t> fmPool;
  // A library's real path: its files are served only from beneath it, and its songs' lyrics and
  // pictures come from the library (Library::Lyric, Library::Cover). Empty for the generated
  // catalogues, whose files the server made itself.
  std::string root;

  // Rebuilds the id lookups, the search index and foundPlaylists; call after filling the
  // vectors.
  void Index();
  const Song* FindSong(std::uint64_t id) const;
  const Album* FindAlbum(std::uint64_t id) const;
  const Playlist* FindPlaylist(std::uint64_t id) const;
  // Searches fold case and accents (FoldForSearch) and find any part of a name.
  // The songs of fmPool whose title, artist or album holds text, in fmPool's order.
  std::vector<std::size_t> FindSongs(const std::string& text) const;
  SearchFind Search(const std::string& text) const;
  // The playlist of the songs whose title holds text, as Search makes it.
  Playlist TitlesPlaylist(const std::string& text) const;

 private:
  void MakeFoundPlaylists(FoldMemo& fold);

  // Playlists by id: an index into playlists, else (past its size) into foundPlaylists.
  std::unordered_map<std::uint64_t, std::size_t> songIndex_, albumIndex_, playlistIndex_;
  FoldedNames songFields_;  // fmPool's songs: title, artists, album
  FoldedNames titles_;      // fmPool's songs: title
  FoldedNames artists_;     // the artists of foundPlaylists
  FoldedNames albums_;      // albums: title, artist
  FoldedNames named_;       // the playlists that are no album's
  std::vector<std::string> artistNames_;  // folded, as artists_ holds them
};

// The catalogue being served. A request takes the current one and answers from it to the end,
// while a changed library puts its next catalogue in place.
class CurrentCatalogue {
 public:
  std::shared_ptr<const Catalogue> Get() const {
    std::lock_guard lock(mutex_);
    return current_;
  }
  void Set(std::shared_ptr<const Catalogue> next) {
    std::lock_guard lock(mutex_);
    current_.swap(next);
    ready_ = true;
  }  // the old one ends here, outside the lock, unless a request still holds it
  // While a library's index is read the catalogue is not the library yet: served, it would read
  // as a library of no songs. Ready again at the next Set.
  void Loading() { ready_ = false; }
  bool Ready() const { return ready_; }

 private:
  std::atomic<bool> ready_{true};
  mutable std::mutex mutex_;
  std::shared_ptr<const Catalogue> current_ = std::make_shared<const Catalogue>();
};

}  // namespace lumora::server
