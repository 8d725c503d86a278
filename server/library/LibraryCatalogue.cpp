#include "library/LibraryCatalogue.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "library/AlbumGrouping.h"
#include "songfiles/TextEncodings.h"

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

}  // namespace

Catalogue BuildLibraryCatalogue(const std::string& realRoot, LibraryIndex& index,
                                const std::vector<FolderLink>& links) {
  Catalogue cat;
  cat.root = realRoot;
  const std::string rootName = ReadableName(Leaf(realRoot));

  auto addGenre = [](Playlist& p, const std::string& genre) {
    if (IsCategory(genre) && genre != "全部" &&
        std::find(p.categories.begin(), p.categories.end(), genre) == p.categories.end())
      p.categories.push_back(genre);
  };
  // The songs of each album folder, as grouping needs them; each song's genre and picture.
  std::map<std::string, std::vector<AlbumTrack>> byAlbumFolder;
  std::vector<std::string> genres;
  std::vector<bool> pictured;
  // The songs of each folder, in path order.
  std::map<std::string, std::vector<std::size_t>> byFolder;

  const std::unordered_set<std::uint64_t> copies = CopiesLeftOut(index, rootName);
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
    byAlbumFolder[AlbumFolder(folder)].push_back(
        {cat.songs.size(), folder, Leaf(f.path), t.album, t.albumArtist,
         t.artists.empty() ? std::string() : t.artists.front(), t.disc, t.track});
    byFolder[folder].push_back(cat.songs.size());
    genres.push_back(t.genre);
    pictured.push_back(t.hasPicture);
    cat.fmPool.push_back(cat.songs.size());
    cat.songs.push_back(std::move(s));
  });

  for (auto& [albumFolder, tracks] : byAlbumFolder) {
    const std::string folderName = albumFolder.empty() ? rootName : ReadableName(Leaf(albumFolder));
    for (const GroupedAlbum& grouped : GroupAlbums(albumFolder, std::move(tracks))) {
      Album album{StableId("album:" + grouped.key),
                  grouped.title.empty() ? folderName : grouped.title,
                  "专辑", "", "", false, realRoot + (albumFolder.empty() ? "" : "/" + albumFolder),
                  grouped.artist, 0};
      album.playlistId = StableId("playlist:album:" + std::to_string(album.id));
      Playlist playlist{album.playlistId, album.name, "", {}, 0, {}};
      for (std::size_t song : grouped.songs) {
        cat.songs[song].albumId = album.id;
        playlist.trackIds.push_back(cat.songs[song].id);
        addGenre(playlist, genres[song]);
        if (album.coverSongFile.empty() && pictured[song]) {
          album.coverSongFile = cat.songs[song].audioFile;
          album.coverEmbedded = true;
        }
      }
      // Without an embedded picture: the first song's folder, else the album's folder, may hold
      // one (looked for when asked).
      if (album.coverSongFile.empty())
        album.coverSongFile = cat.songs[grouped.songs.front()].audioFile;
      cat.albums.push_back(std::move(album));
      cat.playlists.push_back(std::move(playlist));
    }
  }

  // Each folder's own playlist, listed where it holds more than the songs of one album.
  std::vector<std::pair<std::string, Playlist>> folders;
  for (const auto& [folder, songs] : byFolder) {
    Playlist playlist{StableId("playlist:folder:" + folder),
                      folder.empty() ? rootName : ReadableName(folder), "", {}, 0, {}};
    for (std::size_t song : songs) {
      playlist.trackIds.push_back(cat.songs[song].id);
      addGenre(playlist, genres[song]);
    }
    const std::uint64_t album = cat.songs[songs.front()].albumId;
    if (!std::all_of(songs.begin(), songs.end(),
                     [&](std::size_t s) { return cat.songs[s].albumId == album; }))
      cat.playlists.push_back(playlist);
    folders.emplace_back(folder, std::move(playlist));
  }

  // A linked folder is no copy of the albums it holds: its name is the user's own.
  for (const FolderLink& link : links) {
    for (const auto& [folder, playlist] : folders) {
      if (folder != link.target && folder.rfind(link.target + "/", 0) != 0) continue;
      const std::string path = link.link + folder.substr(link.target.size());
      Playlist copy = playlist;
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
