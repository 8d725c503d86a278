#include "library/LibraryCatalogue.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "library/AlbumGrouping.h"
#include "songfiles/TextEncodings.h"

namespace lumora::server {

namespace {

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string Stem(const std::string& path) {
  std::string leaf = Leaf(path);
  return leaf.substr(0, std::min(leaf.rfind('.'), leaf.size()));
}

std::string AlbumFolderOf(const std::string& path) { return AlbumFolder(FolderOf(path)); }

// root/path in a string of just that size: a big library holds one for each song.
std::string Beneath(const std::string& root, const std::string& path) {
  std::string full;
  full.reserve(root.size() + 1 + path.size());
  return full.append(root).append(1, '/').append(path);
}

// The player saves downloads here, inside the music folder it may be serving.
const std::string kDownloadFolder = "下载音乐";

std::string SongName(const SongFileTags& t, const std::string& path) {
  return t.title.empty() ? ReadableName(Stem(path)) : t.title;
}

std::string AlbumName(const SongFileTags& t, const std::string& folder,
                      const std::string& rootName) {
  return !t.album.empty() ? t.album : folder.empty() ? rootName : ReadableName(Leaf(folder));
}

// What a download shares with the song it copies: name, album, length and artists (joined as
// the player shows them).
std::uint64_t CopyKey(const IndexedFile& f, const std::string& rootName) {
  const SongFileTags& t = *f.tags;
  std::string text = SongName(t, f.path) + '\n' + AlbumName(t, FolderOf(f.path), rootName) +
                     '\n' + std::to_string(t.durationMs / 1000) + '\n';
  for (std::size_t i = 0; i < t.artists.size(); ++i) text += (i ? "," : "") + t.artists[i];
  return StableId(text);
}

// What a part counts for in a segment: its songs, and a little for itself.
std::size_t Weight(const CataloguePart& part) { return part.songs.size() + 1; }

void AddGenre(Playlist& p, const std::string& genre) {
  if (IsCategory(genre) && genre != "全部" &&
      std::find(p.categories.begin(), p.categories.end(), genre) == p.categories.end())
    p.categories.push_back(genre);
}

}  // namespace

std::shared_ptr<const Catalogue> LibraryCatalogue::Build(const std::string& realRoot,
                                                         LibraryIndex& index,
                                                         const std::vector<FolderLink>& links) {
  built_ = true;
  realRoot_ = realRoot;
  rootName_ = ReadableName(Leaf(realRoot));
  links_ = links;
  folders_.clear();
  segments_.clear();
  touched_.clear();
  last_.reset();
  copies_.clear();
  // Rows come in path order, so the rows of an album folder all come before the first row
  // outside it: only the album folders still open (each within the one before) are in memory.
  std::vector<std::pair<std::string, std::vector<IndexedFile>>> open;
  auto close = [&] {
    Make(open.back().first, std::move(open.back().second));
    open.pop_back();
  };
  index.ForEach([&](const IndexedFile& f) {
    const std::string albumFolder = AlbumFolderOf(f.path);
    while (!open.empty() && !IsWithin(open.back().first, albumFolder)) close();
    if (open.empty() || open.back().first != albumFolder) open.emplace_back(albumFolder, 0);
    open.back().second.push_back(f);
  });
  while (!open.empty()) close();
  // The downloads were made before the songs they may copy were read.
  if (FindCopies()) ReadDownloadsAgain(index);
  return Served();
}

std::shared_ptr<const Catalogue> LibraryCatalogue::Update(LibraryIndex& index,
                                                          const std::vector<std::string>& paths) {
  std::set<std::string> touched;
  for (const std::string& path : paths) touched.insert(AlbumFolderOf(path));
  for (const std::string& albumFolder : touched) ReadAgain(index, albumFolder);
  // Another song's change may make a download a copy of it, or no longer one.
  if (FindCopies()) ReadDownloadsAgain(index);
  return Served();
}

std::vector<std::string> LibraryCatalogue::DownloadFolders() const {
  // They sort between the download folder and its name with "0" after it ('/' comes before '0').
  std::vector<std::string> names;
  for (auto it = folders_.lower_bound(kDownloadFolder);
       it != folders_.lower_bound(kDownloadFolder + "0"); ++it)
    if (IsWithin(kDownloadFolder, it->first)) names.push_back(it->first);
  return names;
}

void LibraryCatalogue::ReadDownloadsAgain(LibraryIndex& index) {
  for (const std::string& albumFolder : DownloadFolders()) ReadAgain(index, albumFolder);
}

void LibraryCatalogue::ReadAgain(LibraryIndex& index, const std::string& albumFolder) {
  std::vector<IndexedFile> rows;
  index.ForEach([&](const IndexedFile& f) { rows.push_back(f); }, albumFolder,
                [&](const std::string& path) { return AlbumFolderOf(path) == albumFolder; });
  Make(albumFolder, std::move(rows));
}

bool LibraryCatalogue::FindCopies() {
  std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> downloads;  // by key, path order
  for (const std::string& name : DownloadFolders())
    for (const auto& [key, id] : folders_.at(name).downloads) downloads[key].push_back(id);
  std::unordered_set<std::uint64_t> copies;
  // Most libraries hold no downloads: then the other songs are not looked at.
  if (!downloads.empty()) {
    for (const auto& [name, folder] : folders_)
      for (std::uint64_t key : folder.shows)
        if (auto copied = downloads.find(key); copied != downloads.end()) {
          copies.insert(copied->second.begin(), copied->second.end());
          downloads.erase(copied);
        }
    // A copy downloaded twice counts once.
    for (const auto& [key, ids] : downloads) copies.insert(ids.begin() + 1, ids.end());
  }
  if (copies == copies_) return false;
  copies_ = std::move(copies);
  return true;
}

void LibraryCatalogue::Make(const std::string& albumFolder, std::vector<IndexedFile> rows) {
  Folder made;
  const bool downloads = IsWithin(kDownloadFolder, albumFolder);
  auto part = std::make_shared<CataloguePart>();
  // Parts are most of a big library's memory: they hold no room to grow.
  part->songs.reserve(rows.size());
  part->fmPool.reserve(rows.size());
  if (downloads)
    made.downloads.reserve(rows.size());
  else
    made.shows.reserve(rows.size());
  std::vector<AlbumTrack> tracks;
  std::vector<std::string> genres;
  std::vector<bool> pictured;
  std::map<std::string, std::vector<std::size_t>> byFolder;  // the songs of each folder
  for (IndexedFile& f : rows) {
    if (!f.tags) continue;
    if (downloads)
      made.downloads.emplace_back(CopyKey(f, rootName_), f.id);
    else
      made.shows.push_back(CopyKey(f, rootName_));
    if (copies_.contains(f.id)) continue;
    SongFileTags& t = *f.tags;
    const std::string folder = FolderOf(f.path);
    Song s;
    s.id = f.id;
    s.name = SongName(t, f.path);
    for (const std::string& name : t.artists)
      s.artists.push_back({StableId("artist:" + name), name});
    s.durationMs = t.durationMs;
    s.audioFile = Beneath(realRoot_, f.file());
    s.format = SongFormat::Of(t.extension, t.mime);
    const std::size_t at = part->songs.size();
    tracks.push_back({at, folder, Leaf(f.path), std::move(t.album), std::move(t.albumArtist),
                      t.artists.empty() ? std::string() : std::move(t.artists.front()), t.disc,
                      t.track});
    byFolder[folder].push_back(at);
    genres.push_back(std::move(t.genre));
    pictured.push_back(t.hasPicture);
    part->fmPool.push_back(at);
    part->songs.push_back(std::move(s));
  }
  Touched(albumFolder);
  if (made.downloads.empty() && made.shows.empty()) {
    folders_.erase(albumFolder);
    return;
  }
  std::vector<Song>& songs = part->songs;

  const std::string folderName = albumFolder.empty() ? rootName_ : ReadableName(Leaf(albumFolder));
  for (const GroupedAlbum& grouped : GroupAlbums(albumFolder, std::move(tracks))) {
    Album album{StableId("album:" + grouped.key),
                grouped.title.empty() ? folderName : grouped.title,
                "专辑", "", 0, false,
                albumFolder.empty() ? realRoot_ : Beneath(realRoot_, albumFolder),
                grouped.artist, 0};
    album.playlistId = StableId("playlist:album:" + std::to_string(album.id));
    Playlist playlist{album.playlistId, album.name, "", {}, 0, {}};
    for (std::size_t song : grouped.songs) {
      songs[song].albumId = album.id;
      playlist.trackIds.push_back(songs[song].id);
      AddGenre(playlist, genres[song]);
      if (!album.coverSongId && pictured[song]) {
        album.coverSongId = songs[song].id;
        album.coverEmbedded = true;
      }
    }
    // Without an embedded picture: the first song's folder, else the album's folder, may hold
    // one (looked for when asked).
    if (!album.coverSongId) album.coverSongId = songs[grouped.songs.front()].id;
    part->albums.push_back(std::move(album));
    part->playlists.push_back(std::move(playlist));
  }

  // Each folder's own playlist, listed where it holds more than the songs of one album.
  for (const auto& [folder, inFolder] : byFolder) {
    Playlist playlist{StableId("playlist:folder:" + folder),
                      folder.empty() ? rootName_ : ReadableName(folder), "", {}, 0, {}};
    for (std::size_t song : inFolder) {
      playlist.trackIds.push_back(songs[song].id);
      AddGenre(playlist, genres[song]);
    }
    const std::uint64_t album = songs[inFolder.front()].albumId;
    const bool listed = !std::all_of(inFolder.begin(), inFolder.end(),
                                     [&](std::size_t s) { return songs[s].albumId == album; });
    if (listed) part->playlists.push_back(playlist);
    // A linked folder is no copy of the albums it holds: its name is the user's own.
    for (const FolderLink& link : links_) {
      if (!IsWithin(link.target, folder)) continue;
      const std::string path = link.link + folder.substr(link.target.size());
      Playlist copy = playlist;
      copy.id = StableId("playlist:folder:" + path);
      copy.name = ReadableName(path);
      part->playlists.push_back(std::move(copy));
    }
  }
  for (Playlist& p : part->playlists)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
  part->Index();
  made.part = std::move(part);
  folders_[albumFolder] = std::move(made);
}

void LibraryCatalogue::Touched(const std::string& albumFolder) {
  // Without segments every part is cut anew.
  if (segments_.empty()) return;
  auto holder = segments_.upper_bound(albumFolder);
  if (holder != segments_.begin()) --holder;
  touched_.insert(holder->first);
}

void LibraryCatalogue::CutAgain() {
  if (segments_.empty()) Cut(folders_.begin(), folders_.end());
  auto songs = [](Folders::const_iterator from, Folders::const_iterator to) {
    std::size_t n = 0;
    for (; from != to; ++from) n += Weight(*from->second.part);
    return n;
  };
  auto partsOf = [&](auto segment) {
    return segment == segments_.end() ? folders_.end() : folders_.lower_bound(segment->first);
  };
  while (!touched_.empty()) {
    auto segment = segments_.find(*touched_.begin());
    touched_.erase(touched_.begin());
    auto next = std::next(segment);
    const auto first = segment == segments_.begin() ? folders_.begin() : partsOf(segment);
    while (next != segments_.end() && songs(first, partsOf(next)) < segmentSongs_ / 4) {
      touched_.erase(next->first);
      next = segments_.erase(next);
    }
    const auto last = partsOf(next);
    segments_.erase(segment);
    Cut(first, last);
  }
}

void LibraryCatalogue::Cut(Folders::const_iterator first, Folders::const_iterator last) {
  std::vector<std::pair<std::string, std::vector<std::shared_ptr<const CataloguePart>>>> cut;
  std::size_t songs = 0;
  for (auto it = first; it != last; ++it) {
    if (cut.empty() || songs >= segmentSongs_) {
      cut.emplace_back(it->first, 0);
      songs = 0;
    }
    cut.back().second.push_back(it->second.part);
    songs += Weight(*it->second.part);
  }
  // What is left at the end joins the segment before when small.
  if (cut.size() > 1 && songs < segmentSongs_ / 4) {
    auto& before = cut[cut.size() - 2].second;
    before.insert(before.end(), cut.back().second.begin(), cut.back().second.end());
    cut.pop_back();
  }
  for (auto& [key, parts] : cut)
    segments_[key] = std::make_shared<const CatalogueSegment>(std::move(parts));
}

std::shared_ptr<const Catalogue> LibraryCatalogue::Served() {
  CutAgain();
  Segments segments;
  segments.reserve(segments_.size());
  for (const auto& [key, segment] : segments_) segments.push_back(segment);
  last_ = std::make_shared<const Catalogue>(std::move(segments), realRoot_, last_.get());
  return last_;
}

}  // namespace lumora::server
