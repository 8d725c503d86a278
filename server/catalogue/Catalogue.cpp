#include "catalogue/Catalogue.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "catalogue/ArtistCredits.h"

namespace lumora::server {

const std::vector<std::string>& CategoryNames() {
  static const std::vector<std::string> names = {
      "全部", "华语", "流行", "影视原声", "综艺",   "怀旧",     "欧美", "浪漫",
      "学习", "校园", "工作", "午休",     "下午茶", "网络歌曲", "KTV",  "70后",
      "80后", "90后", "00后", "经典",     "酒吧",   "榜单"};
  return names;
}

bool IsCategory(const std::string& name) {
  const auto& names = CategoryNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::uint64_t StableId(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return (h >> 2) | 1;
}

void CataloguePart::Index() {
  // A title is folded once for both its lists, an artist's or album's name once for all its songs.
  FoldMemo fold;
  std::unordered_map<std::uint64_t, const Album*> albumOf;
  for (const Album& album : albums) albumOf.emplace(album.id, &album);
  std::unordered_map<std::string, std::size_t> credited;  // folded name: its place in credits
  songFields = titles = albumNames = named = {};
  credits.clear();
  for (std::size_t i : fmPool) {
    const Song& s = songs[i];
    const std::string title = FoldForSearch(s.name);
    titles.AddFolded(title, i);
    songFields.AddFolded(title, i);
    for (const Artist& a : s.artists) {
      songFields.AddFolded(fold(a.name), i);
      for (const std::string& name : CreditedArtists(a.name)) {
        const std::string& folded = fold(name);
        auto [it, fresh] = credited.try_emplace(folded, credits.size());
        if (fresh) credits.push_back({folded, name, {}});
        std::vector<std::uint64_t>& ids = credits[it->second].songs;
        if (ids.empty() || ids.back() != s.id) ids.push_back(s.id);
      }
    }
    if (auto album = albumOf.find(s.albumId); album != albumOf.end())
      songFields.AddFolded(fold(album->second->name), i);
  }

  std::unordered_set<std::uint64_t> own;
  for (const Playlist& p : playlists) own.insert(p.id);
  std::unordered_set<std::uint64_t> ofAlbums;
  std::unordered_map<std::uint64_t, std::size_t> albumPlaylist;
  foundPlaylists.clear();
  for (std::size_t i = 0; i < albums.size(); ++i) {
    Album& album = albums[i];
    albumNames.AddFolded(fold(album.name), i);
    albumNames.AddFolded(fold(album.artist), i);
    if (!own.contains(album.playlistId)) {
      album.playlistId = StableId("playlist:album:" + std::to_string(album.id));
      albumPlaylist.emplace(album.id, foundPlaylists.size());
      foundPlaylists.push_back({album.playlistId, album.name, album.coverFile, {}, 0, {}});
    }
    ofAlbums.insert(album.playlistId);
  }
  for (std::size_t i : fmPool)
    if (auto it = albumPlaylist.find(songs[i].albumId); it != albumPlaylist.end())
      foundPlaylists[it->second].trackIds.push_back(songs[i].id);
  for (Playlist& p : foundPlaylists)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
  for (std::size_t i = 0; i < playlists.size(); ++i)
    if (!ofAlbums.contains(playlists[i].id)) named.Add(playlists[i].name, i);
  for (FoldedNames* index : {&songFields, &titles, &albumNames, &named}) index->ShrinkToFit();
}

Catalogue::Catalogue(std::vector<std::shared_ptr<const CataloguePart>> parts, std::string root)
    : parts_(std::move(parts)), root_(std::move(root)) {
  std::size_t songs = 0, albums = 0, listed = 0, found = 0, pool = 0;
  for (const auto& part : parts_) {
    songs += part->songs.size();
    albums += part->albums.size();
    listed += part->playlists.size();
    found += part->foundPlaylists.size();
    pool += part->fmPool.size();
  }
  songs_ = IdTable<Song>(songs);
  albums_ = IdTable<Album>(albums);
  fmPool_.reserve(pool);
  listed_.reserve(listed);
  songsInOrder_.reserve(songs);
  albumsInOrder_.reserve(albums);
  // The parts' search indexes joined, room made first: they are most of what is copied.
  auto join = [&](FoldedNames& into, FoldedNames CataloguePart::*index, auto owners) {
    std::vector<const FoldedNames*> all;
    all.reserve(parts_.size());
    for (const auto& part : parts_) all.push_back(&((*part).*index));
    into.Reserve(all);
    std::size_t before = 0;
    for (const auto& part : parts_) {
      into.Append((*part).*index, before);
      before += ((*part).*owners).size();
    }
  };
  join(songFields_, &CataloguePart::songFields, &CataloguePart::songs);
  join(titles_, &CataloguePart::titles, &CataloguePart::songs);
  join(albumNames_, &CataloguePart::albumNames, &CataloguePart::albums);
  join(named_, &CataloguePart::named, &CataloguePart::playlists);
  for (const auto& part : parts_) {
    for (const Song& s : part->songs) {
      songs_.Add(s.id, &s);
      songsInOrder_.push_back(&s);
    }
    for (const Album& a : part->albums) {
      albums_.Add(a.id, &a);
      albumsInOrder_.push_back(&a);
    }
    for (std::size_t i : part->fmPool) fmPool_.push_back(&part->songs[i]);
    for (const Playlist& p : part->playlists) listed_.push_back(&p);
  }
  MakeArtistPlaylists();
  playlists_ = IdTable<Playlist>(listed + found + artistPlaylists_.size());
  for (const auto& part : parts_) {
    for (const Playlist& p : part->playlists) playlists_.Add(p.id, &p);
    for (const Playlist& p : part->foundPlaylists) playlists_.Add(p.id, &p);
  }
  for (const Playlist& p : artistPlaylists_) playlists_.Add(p.id, &p);
}

// One playlist per artist credited in any part, named as first credited; the folded names are
// the parts' own.
void Catalogue::MakeArtistPlaylists() {
  std::unordered_map<std::string_view, std::size_t> byName;
  for (const auto& part : parts_) {
    for (const CataloguePart::Credit& credit : part->credits) {
      auto [it, fresh] = byName.try_emplace(credit.folded, artistPlaylists_.size());
      if (fresh) {
        artistPlaylists_.push_back({StableId("playlist:artist:" + credit.folded),
                                    "歌手：" + credit.name, "", {}, 0, {}});
        artists_.AddFolded(credit.folded, it->second);
        artistNames_.push_back(credit.folded);
      }
      std::vector<std::uint64_t>& tracks = artistPlaylists_[it->second].trackIds;
      tracks.insert(tracks.end(), credit.songs.begin(), credit.songs.end());
    }
  }
  for (Playlist& p : artistPlaylists_)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
}

std::vector<const Song*> Catalogue::FindSongs(const std::string& text) const {
  std::vector<const Song*> found;
  for (std::size_t i : songFields_.Find(FoldForSearch(text))) found.push_back(songsInOrder_[i]);
  return found;
}

SearchFind Catalogue::Search(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  SearchFind find;
  // An artist of exactly that name first, then the artists of more songs.
  std::vector<std::size_t> artists = artists_.Find(folded);
  std::stable_sort(artists.begin(), artists.end(), [&](std::size_t a, std::size_t b) {
    return std::make_pair(artistNames_[a] != folded, artistPlaylists_[b].trackIds.size()) <
           std::make_pair(artistNames_[b] != folded, artistPlaylists_[a].trackIds.size());
  });
  for (std::size_t i : artists) find.artists.push_back(&artistPlaylists_[i]);
  for (std::size_t i : albumNames_.Find(folded))
    if (const Playlist* p = FindPlaylist(albumsInOrder_[i]->playlistId)) find.albums.push_back(p);
  for (std::size_t i : named_.Find(folded)) find.named.push_back(listed_[i]);
  find.titles = TitlesPlaylist(text);
  std::stable_sort(find.named.begin(), find.named.end(), [](const Playlist* a, const Playlist* b) {
    return a->playCount > b->playCount;
  });
  return find;
}

Playlist Catalogue::TitlesPlaylist(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  Playlist titles{StableId("playlist:titles:" + folded), "歌曲：" + text, "", {}, 0, {}};
  for (std::size_t i : titles_.Find(folded)) titles.trackIds.push_back(songsInOrder_[i]->id);
  titles.playCount = static_cast<std::int64_t>(titles.trackIds.size() * 1000);
  return titles;
}

const Song* Catalogue::FindSong(std::uint64_t id) const { return songs_.Find(id); }

const Album* Catalogue::FindAlbum(std::uint64_t id) const { return albums_.Find(id); }

const Playlist* Catalogue::FindPlaylist(std::uint64_t id) const { return playlists_.Find(id); }

std::string Catalogue::GeneratedLyric(std::uint64_t songId) const {
  for (const auto& part : parts_)
    if (auto it = part->lyrics.find(songId); it != part->lyrics.end()) return it->second;
  return "";
}

}  // namespace lumora::server
