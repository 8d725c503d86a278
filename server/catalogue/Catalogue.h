#pragma once
// The songs, albums and playlists the server hands out, held in memory. Ids are 64-bit
// unsigned integers and always leave the server as exact decimal text.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/ArtistPlaylists.h"
#include "catalogue/FoldedNames.h"
#include "catalogue/IdShards.h"
#include "catalogue/SongFormat.h"

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
  // is the cover, read when asked; 0: none.
  std::uint64_t coverSongId = 0;
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
  const SongFormat* format = &kMp3Format;
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

// Songs, albums and playlists made together, never changed once indexed: a catalogue is made of
// parts and shares them with the next one, so a change rebuilds only the parts it touches. A
// library's catalogue has a part per album folder; a generated catalogue is one part.
struct CataloguePart {
  std::vector<Song> songs;
  std::vector<Album> albums;
  std::vector<Playlist> playlists;  // the square lists these
  // Songs personal FM draws from, and that a search finds (indexes into songs).
  std::vector<std::size_t> fmPool;
  // A generated song's lyric (LRC or plain text) by its id; a library's come from Library::Lyric.
  std::unordered_map<std::uint64_t, std::string> lyrics;

  // Makes a playlist for each album without its own, and the artists' credits; call after
  // filling the vectors.
  void Index();

  // Filled by Index:
  // Playlists only a search finds: one per album without its own.
  std::vector<Playlist> foundPlaylists;
  // Each artist credited on fmPool's songs (each name of "X feat. Y" counts), in the order they
  // come, with the ids of their songs.
  struct Credit {
    std::string folded, name;
    std::vector<std::uint64_t> songs;
  };
  std::vector<Credit> credits;
};

// Parts one after another with their names folded into one search index each, so that a search
// is a pass per segment rather than per part; the next catalogue shares every segment whose parts
// it keeps. A library's catalogue cuts its parts into segments of a few hundred songs.
struct CatalogueSegment {
  explicit CatalogueSegment(std::vector<std::shared_ptr<const CataloguePart>> parts);
  CatalogueSegment(const CatalogueSegment&) = delete;
  CatalogueSegment& operator=(const CatalogueSegment&) = delete;

  const std::vector<std::shared_ptr<const CataloguePart>> parts;
  // The owners of each index's names, in the parts' order.
  std::vector<const Song*> pool;       // the parts' fmPool songs
  std::vector<const Album*> albums;    // every album
  std::vector<const Playlist*> named;  // the listed playlists that are no album's
  FoldedNames titles;                  // pool: title
  FoldedNames songFields;              // pool: artists, album
  FoldedNames albumNames;              // albums: title, artist
  FoldedNames namedNames;              // named
  // Where each artist is credited: a part and its credit, by folded name, then in the parts'
  // order.
  struct Credited {
    std::string_view folded;
    std::uint32_t part, credit;
  };
  std::vector<Credited> credited;
  std::size_t songCount = 0;
};

class Catalogue {
 public:
  Catalogue() = default;
  // root: a library's real path: its files are served only from beneath it, and its songs'
  // lyrics and pictures come from the library (Library::Lyric, Library::Cover). Empty for the
  // generated catalogues, whose files the server made itself.
  // before: the catalogue this one follows, whose lookups it shares where their segments' parts
  // are the same; null: none.
  Catalogue(Segments segments, std::string root, const Catalogue* before = nullptr);
  // One segment of these parts.
  Catalogue(std::vector<std::shared_ptr<const CataloguePart>> parts, std::string root);
  // Its lookups point into itself: moved, never copied.
  Catalogue(Catalogue&&) = default;
  Catalogue& operator=(Catalogue&&) = default;
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  const std::string& root() const { return root_; }
  const Segments& segments() const { return segments_; }
  std::size_t songCount() const { return songCount_; }
  // The playlists the square lists, part after part.
  const std::vector<const Playlist*>& playlists() const { return listed_; }
  // The songs personal FM draws from, part after part (gathered when asked).
  std::vector<const Song*> fmPool() const;

  const Song* FindSong(std::uint64_t id) const;
  const Album* FindAlbum(std::uint64_t id) const;
  const Playlist* FindPlaylist(std::uint64_t id) const;
  // A generated song's lyric; empty: none.
  std::string GeneratedLyric(std::uint64_t songId) const;
  // Searches fold case and accents (FoldForSearch) and find any part of a name.
  // The songs of fmPool whose title, artist or album holds text, in fmPool's order.
  std::vector<const Song*> FindSongs(const std::string& text) const;
  SearchFind Search(const std::string& text) const;
  // The playlist of the songs whose title holds text, as Search makes it.
  Playlist TitlesPlaylist(const std::string& text) const;

 private:
  Segments segments_;
  std::string root_;
  std::size_t songCount_ = 0;
  std::vector<const Playlist*> listed_;
  IdShards<Song> songs_;
  IdShards<Album> albums_;
  IdShards<Playlist> playlists_;  // the artists' too
  ArtistPlaylists artists_;
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
