#include "LibraryCatalogue.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "LibraryJail.h"

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

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }

std::vector<std::string> SplitArtists(const std::string& text) {
  std::vector<std::string> names;
  std::string current;
  auto flush = [&] {
    current.erase(0, current.find_first_not_of(' '));
    current.erase(current.find_last_not_of(' ') + 1);
    if (!current.empty()) names.push_back(current);
    current.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/' || text[i] == ';' || text[i] == ',') {
      flush();
    } else if (text.compare(i, 3, "、") == 0) {
      flush();
      i += 2;
    } else {
      current += text[i];
    }
  }
  flush();
  return names;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

Catalogue LoadLibraryCatalogue(const std::string& dir) {
  Catalogue cat;
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it =
           fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext == ".mp3" && !JailedPath(dir, it->path()).empty()) files.push_back(it->path());
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

  for (const fs::path& path : files) {
    const std::string rel = fs::relative(path, dir, ec).string();
    TagLib::MPEG::File file(path.c_str());
    if (!file.isValid()) continue;
    Song s;
    s.id = StableId("song:" + rel);
    s.audioFile = JailedPath(dir, path);  // served without following links
    std::string genre;
    std::string albumName;
    std::string artistText;
    if (TagLib::Tag* tag = file.tag()) {
      s.name = Utf8(tag->title());
      artistText = Utf8(tag->artist());
      albumName = Utf8(tag->album());
      genre = Utf8(tag->genre());
    }
    if (s.name.empty()) s.name = path.stem().string();
    if (albumName.empty()) albumName = path.parent_path().filename().string();
    for (const std::string& name : SplitArtists(artistText))
      s.artists.push_back({StableId("artist:" + name), name});
    if (file.audioProperties()) s.durationMs = file.audioProperties()->lengthInMilliseconds();

    std::uint64_t albumId = StableId("album:" + albumName + "\n" + artistText);
    s.albumId = albumId;
    auto [albumIt, freshAlbum] = albumAt.emplace(albumId, cat.albums.size());
    if (freshAlbum) cat.albums.push_back({albumId, albumName, "专辑", "", "", "image/jpeg", ""});
    Album& album = cat.albums[albumIt->second];

    if (TagLib::ID3v2::Tag* id3 = file.ID3v2Tag()) {
      const auto& lyrics = id3->frameListMap()["USLT"];
      if (!lyrics.isEmpty())
        if (auto* f = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(lyrics.front()))
          s.lyric = Utf8(f->text());
      const auto& pictures = id3->frameListMap()["APIC"];
      if (album.coverBytes.empty() && !pictures.isEmpty())
        if (auto* f = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front())) {
          album.coverBytes.assign(f->picture().data(), f->picture().size());
          album.coverMime = f->mimeType().isEmpty() ? "image/jpeg" : Utf8(f->mimeType());
        }
    }
    fs::path lrc = path;
    lrc.replace_extension(".lrc");
    if (std::string real = JailedPath(dir, lrc); s.lyric.empty() && !real.empty())
      s.lyric = ReadFile(real);

    // Indexes, not references: making the folder playlist may move the album one.
    std::size_t byAlbum = playlistFor("album:" + std::to_string(albumId), albumName);
    std::string folder = fs::path(rel).parent_path().string();
    std::size_t byFolder = playlistFor("folder:" + folder,
                                       folder.empty() ? fs::path(dir).filename().string() : folder);
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
  for (Playlist& p : cat.playlists)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
  cat.Index();
  return cat;
}

}  // namespace lumora::server
