#include "LibraryCatalogue.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

#include "LibraryJail.h"
#include "SongFile.h"
#include "TextEncodings.h"

namespace fs = std::filesystem;

namespace lumora::server {

namespace {

// Stable ids: FNV-1a of a text, kept below 2^62 so they also fit SQLite's integers.
std::uint64_t StableId(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return (h >> 2) | 1;
}

}  // namespace

Catalogue LoadLibraryCatalogue(const std::string& dir) {
  Catalogue cat;
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it =
           fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (SongFileFormat(it->path()) && !JailedPath(dir, it->path()).empty())
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());

  std::map<std::uint64_t, std::size_t> albumAt;
  std::map<std::uint64_t, std::size_t> playlistAt;
  auto playlistFor = [&](const std::string& key, const std::string& name) -> std::size_t {
    std::uint64_t id = StableId("playlist:" + key);
    auto [it, fresh] = playlistAt.emplace(id, cat.playlists.size());
    if (fresh) {
      Playlist p;
      p.id = id;
      p.name = name;
      cat.playlists.push_back(p);
    }
    return it->second;
  };

  std::size_t notAudio = 0;
  for (const fs::path& path : files) {
    const std::string rel = fs::relative(path, dir, ec).string();
    Song s;
    s.audioFile = JailedPath(dir, path);  // served without following links
    std::optional<SongFileTags> tags = ReadSongFile(s.audioFile);
    if (!tags) {
      ++notAudio;
      continue;
    }
    s.id = StableId("song:" + rel);
    s.name = tags->title.empty() ? ReadableName(path.stem().string()) : tags->title;
    const std::string albumName =
        tags->album.empty() ? ReadableName(path.parent_path().filename().string()) : tags->album;
    std::string artistText;
    for (const std::string& name : tags->artists) {
      s.artists.push_back({StableId("artist:" + name), name});
      artistText += (artistText.empty() ? "" : "/") + name;
    }
    const std::string& genre = tags->genre;
    s.durationMs = tags->durationMs;
    s.fileType = tags->extension;
    s.mime = tags->mime;
    s.lyric = ReadSongLyric(dir, s.audioFile);

    std::uint64_t albumId = StableId("album:" + albumName + "\n" + artistText);
    s.albumId = albumId;
    auto [albumIt, freshAlbum] = albumAt.emplace(albumId, cat.albums.size());
    if (freshAlbum) cat.albums.push_back({albumId, albumName, "专辑", "", "", "image/jpeg", ""});
    Album& album = cat.albums[albumIt->second];
    if (album.coverSongFile.empty() && album.coverFile.empty()) {
      if (tags->hasPicture) {
        album.coverSongFile = s.audioFile;
      } else {
        album.coverFile = FindFolderPicture(dir, s.audioFile);
      }
    }

    // Indexes, not references: making the folder playlist may move the album one.
    std::size_t byAlbum = playlistFor("album:" + std::to_string(albumId), albumName);
    std::string folder = fs::path(rel).parent_path().string();
    std::size_t byFolder =
        playlistFor("folder:" + folder,
                    ReadableName(folder.empty() ? fs::path(dir).filename().string() : folder));
    for (std::size_t at : {byAlbum, byFolder}) {
      Playlist& p = cat.playlists[at];
      p.trackIds.push_back(s.id);
      if (IsCategory(genre) && genre != "全部" &&
          std::find(p.categories.begin(), p.categories.end(), genre) == p.categories.end())
        p.categories.push_back(genre);
    }
    cat.fmPool.push_back(cat.songs.size());
    cat.songs.push_back(std::move(s));
  }
  if (notAudio > 0)
    std::cerr << "lumora-server: left out " << notAudio << " files of " << dir
              << " that do not open as audio\n";
  for (Playlist& p : cat.playlists)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
  cat.Index();
  return cat;
}

}  // namespace lumora::server
