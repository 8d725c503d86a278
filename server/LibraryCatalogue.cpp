#include "LibraryCatalogue.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "TextEncodings.h"

namespace lumora::server {

namespace {

std::string Folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string Stem(const std::string& path) {
  std::string leaf = Leaf(path);
  return leaf.substr(0, std::min(leaf.rfind('.'), leaf.size()));
}

// The player saves downloads here, inside the music folder it may be serving.
constexpr std::string_view kDownloadFolder = "下载音乐";

std::string SongName(const SongFileTags& t, const std::string& path) {
  return t.title.empty() ? ReadableName(Stem(path)) : t.title;
}

std::string AlbumName(const SongFileTags& t, const std::string& folder,
                      const std::string& rootName) {
  return !t.album.empty() ? t.album : folder.empty() ? rootName : ReadableName(Leaf(folder));
}

bool Downloaded(const std::string& path) {
  return path.size() > kDownloadFolder.size() && path.starts_with(kDownloadFolder) &&
         path[kDownloadFolder.size()] == '/';
}

// A song the player downloaded from this library into it is listed once, where it was: a file
// in the download folder is left out when another file shows the same name, artists, album and
// length (a copy downloaded twice counts once too). The ids of those left out.
std::unordered_set<std::uint64_t> CopiesLeftOut(LibraryIndex& index, const std::string& rootName) {
  auto key = [&](const IndexedFile& f) {
    const SongFileTags& t = *f.tags;
    // A download holds the artists joined as the player shows them.
    std::string text = SongName(t, f.path) + '\n' + AlbumName(t, Folder(f.path), rootName) +
                       '\n' + std::to_string(t.durationMs / 1000) + '\n';
    for (std::size_t i = 0; i < t.artists.size(); ++i) text += (i ? "," : "") + t.artists[i];
    return text;
  };
  // Most libraries hold no downloads: then the other songs are not looked at.
  std::unordered_map<std::string, std::vector<std::uint64_t>> downloads;
  index.ForEach(
      [&](const IndexedFile& f) {
        if (f.tags) downloads[key(f)].push_back(f.id);
      },
      std::string(kDownloadFolder));
  std::unordered_set<std::uint64_t> leftOut;
  if (downloads.empty()) return leftOut;
  index.ForEach([&](const IndexedFile& f) {
    if (!f.tags || Downloaded(f.path)) return;
    if (auto copies = downloads.find(key(f)); copies != downloads.end()) {
      leftOut.insert(copies->second.begin(), copies->second.end());
      downloads.erase(copies);
    }
  });
  for (const auto& [text, ids] : downloads) leftOut.insert(ids.begin() + 1, ids.end());
  return leftOut;
}

std::string AlbumKey(const SongFileTags& t, const std::string& folder) {
  if (t.album.empty()) return "folder:" + folder;
  if (t.compilation) return "compilation:" + t.album + "\n" + t.albumArtist;
  return t.album + "\n" +
         (!t.albumArtist.empty() ? t.albumArtist
          : t.artists.empty()    ? std::string()
                                 : t.artists.front());
}

}  // namespace

std::uint64_t StableId(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return (h >> 2) | 1;
}

Catalogue BuildLibraryCatalogue(const std::string& realRoot, LibraryIndex& index,
                                const std::vector<FolderLink>& links) {
  Catalogue cat;
  cat.root = realRoot;
  const std::string rootName = ReadableName(Leaf(realRoot));

  std::map<std::uint64_t, std::size_t> playlistAt;
  std::map<std::string, std::size_t> folderPlaylist;
  auto playlistFor = [&](const std::string& key, const std::string& name) -> std::size_t {
    auto [it, fresh] = playlistAt.emplace(StableId("playlist:" + key), cat.playlists.size());
    if (fresh) cat.playlists.push_back({it->first, name, "", {}, 0, {}});
    return it->second;
  };
  auto addGenre = [](Playlist& p, const std::string& genre) {
    if (IsCategory(genre) && genre != "全部" &&
        std::find(p.categories.begin(), p.categories.end(), genre) == p.categories.end())
      p.categories.push_back(genre);
  };
  // Per album: where it and its playlist are, its songs as (disc, track, file name, index, has a
  // picture).
  using Place = std::tuple<int, int, std::string, std::size_t, bool>;
  struct AlbumSongs {
    std::size_t album = 0, playlist = 0;
    std::vector<Place> places;
  };
  std::map<std::uint64_t, AlbumSongs> albumSongs;

  const std::unordered_set<std::uint64_t> copies = CopiesLeftOut(index, rootName);
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::string lastFolder;
  std::size_t byFolder = kNone;
  // Row by row, in path order: the whole index is never in memory at once.
  index.ForEach([&](const IndexedFile& f) {
    if (!f.tags || copies.contains(f.id)) return;
    const SongFileTags& t = *f.tags;
    const std::string folder = Folder(f.path);
    Song s;
    s.id = f.id;
    s.name = SongName(t, f.path);
    for (const std::string& name : t.artists)
      s.artists.push_back({StableId("artist:" + name), name});
    s.durationMs = t.durationMs;
    s.audioFile = realRoot + "/" + f.file();
    s.fileType = t.extension;
    s.mime = t.mime;
    const std::string albumName = AlbumName(t, folder, rootName);
    s.albumId = StableId("album:" + AlbumKey(t, folder));
    auto [entry, freshAlbum] = albumSongs.try_emplace(s.albumId);
    if (freshAlbum) {
      entry->second.album = cat.albums.size();
      cat.albums.push_back({s.albumId, albumName, "专辑", "", "", false});
      entry->second.playlist = playlistFor("album:" + std::to_string(s.albumId), albumName);
    }
    entry->second.places.emplace_back(t.disc, t.track, Leaf(f.path), cat.songs.size(),
                                      t.hasPicture);
    addGenre(cat.playlists[entry->second.playlist], t.genre);
    // A folder's songs mostly come one after another: its playlist is looked up once for them.
    if (folder != lastFolder || byFolder == kNone) {
      byFolder = playlistFor("folder:" + folder, folder.empty() ? rootName : ReadableName(folder));
      folderPlaylist.emplace(folder, byFolder);
      lastFolder = folder;
    }
    cat.playlists[byFolder].trackIds.push_back(s.id);
    addGenre(cat.playlists[byFolder], t.genre);
    cat.fmPool.push_back(cat.songs.size());
    cat.songs.push_back(std::move(s));
  });

  for (auto& [albumId, entry] : albumSongs) {
    auto& [albumAt, at, places] = entry;
    std::sort(places.begin(), places.end());
    Album& album = cat.albums[albumAt];
    for (const auto& [disc, track, name, song, hasPicture] : places) {
      cat.playlists[at].trackIds.push_back(cat.songs[song].id);
      if (album.coverSongFile.empty() && hasPicture) {
        album.coverSongFile = cat.songs[song].audioFile;
        album.coverEmbedded = true;
      }
    }
    // Without an embedded picture, the first song's folder may hold one (looked for when asked).
    if (album.coverSongFile.empty())
      album.coverSongFile = cat.songs[std::get<3>(places.front())].audioFile;
  }

  for (const FolderLink& link : links) {
    for (const auto& [folder, at] : folderPlaylist) {
      if (folder != link.target && folder.rfind(link.target + "/", 0) != 0) continue;
      const std::string path = link.link + folder.substr(link.target.size());
      Playlist copy = cat.playlists[at];
      copy.id = StableId("playlist:folder:" + path);
      copy.name = ReadableName(path);
      cat.playlists.push_back(std::move(copy));
    }
  }
  for (Playlist& p : cat.playlists)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
  cat.Index();
  return cat;
}

}  // namespace lumora::server
