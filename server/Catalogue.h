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
  // A library's real path: its files are served only from beneath it, and its songs' lyrics and
  // pictures come from the library (Library::Lyric, Library::Cover). Empty for the generated
  // catalogues, whose files the server made itself.
  std::string root;

  // Rebuilds the id lookups; call after filling the vectors.
  void Index();
  const Song* FindSong(std::uint64_t id) const;
  const Album* FindAlbum(std::uint64_t id) const;
  const Playlist* FindPlaylist(std::uint64_t id) const;
  // The songs of fmPool whose name holds text, ASCII letters in any case, in fmPool's order.
  std::vector<std::size_t> FindSongs(const std::string& text) const;

 private:
  std::unordered_map<std::uint64_t, std::size_t> songIndex_, albumIndex_, playlistIndex_;
  // The names of fmPool's songs in lower case, each after a '\n', and where each starts: a
  // search is one pass over one string, without a look at any song.
  std::string songNames_;
  std::vector<std::size_t> nameAt_;
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
