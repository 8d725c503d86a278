#include "catalogue/Catalogue.h"

#include <algorithm>
#include <set>
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
  // An artist's name is folded once for all its songs.
  FoldMemo fold;
  std::unordered_map<std::string, std::size_t> credited;  // folded name: its place in credits
  credits.clear();
  for (std::size_t i : fmPool) {
    const Song& s = songs[i];
    for (const Artist& a : s.artists)
      for (const std::string& name : CreditedArtists(a.name)) {
        const std::string& folded = fold(name);
        auto [it, fresh] = credited.try_emplace(folded, credits.size());
        if (fresh) credits.push_back({folded, name, {}});
        std::vector<std::uint64_t>& ids = credits[it->second].songs;
        if (ids.empty() || ids.back() != s.id) ids.push_back(s.id);
      }
  }

  std::unordered_set<std::uint64_t> own;
  for (const Playlist& p : playlists) own.insert(p.id);
  std::unordered_map<std::uint64_t, std::size_t> albumPlaylist;
  foundPlaylists.clear();
  for (Album& album : albums)
    if (!own.contains(album.playlistId)) {
      album.playlistId = StableId("playlist:album:" + std::to_string(album.id));
      albumPlaylist.emplace(album.id, foundPlaylists.size());
      foundPlaylists.push_back({album.playlistId, album.name, album.coverFile, {}, 0, {}});
    }
  for (std::size_t i : fmPool)
    if (auto it = albumPlaylist.find(songs[i].albumId); it != albumPlaylist.end())
      foundPlaylists[it->second].trackIds.push_back(songs[i].id);
  for (Playlist& p : foundPlaylists)
    p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
}

CatalogueSegment::CatalogueSegment(std::vector<std::shared_ptr<const CataloguePart>> partsIn)
    : parts(std::move(partsIn)) {
  // A title is folded once, an artist's or album's name once for all its songs.
  FoldMemo fold;
  std::unordered_map<std::uint64_t, const Album*> albumOf;
  for (const auto& part : parts) {
    for (const Album& album : part->albums) {
      albumOf.emplace(album.id, &album);
      albumNames.AddFolded(fold(album.name), albums.size());
      albumNames.AddFolded(fold(album.artist), albums.size());
      albums.push_back(&album);
    }
    std::unordered_set<std::uint64_t> ofAlbums;
    for (const Album& album : part->albums) ofAlbums.insert(album.playlistId);
    for (const Playlist& p : part->playlists)
      if (!ofAlbums.contains(p.id)) {
        namedNames.Add(p.name, named.size());
        named.push_back(&p);
      }
  }
  for (std::uint32_t p = 0; p < parts.size(); ++p) {
    songCount += parts[p]->songs.size();
    for (std::uint32_t c = 0; c < parts[p]->credits.size(); ++c)
      credited.push_back({parts[p]->credits[c].folded, p, c});
  }
  std::stable_sort(credited.begin(), credited.end(),
                   [](const Credited& a, const Credited& b) { return a.folded < b.folded; });
  for (const auto& part : parts)
    for (std::size_t i : part->fmPool) {
      const Song& s = part->songs[i];
      titles.Add(s.name, pool.size());
      for (const Artist& a : s.artists) songFields.AddFolded(fold(a.name), pool.size());
      if (auto album = albumOf.find(s.albumId); album != albumOf.end())
        songFields.AddFolded(fold(album->second->name), pool.size());
      pool.push_back(&s);
    }
  for (FoldedNames* index : {&titles, &songFields, &albumNames, &namedNames}) index->ShrinkToFit();
  pool.shrink_to_fit();
  albums.shrink_to_fit();
  named.shrink_to_fit();
  credited.shrink_to_fit();
}

Catalogue::Catalogue(std::vector<std::shared_ptr<const CataloguePart>> parts, std::string root)
    : Catalogue({std::make_shared<const CatalogueSegment>(std::move(parts))}, std::move(root)) {}

Catalogue::Catalogue(Segments segments, std::string root, const Catalogue* before)
    : segments_(std::move(segments)), root_(std::move(root)) {
  std::size_t listed = 0;
  for (const auto& segment : segments_) {
    songCount_ += segment->songCount;
    for (const auto& part : segment->parts) listed += part->playlists.size();
  }
  listed_.reserve(listed);
  for (const auto& segment : segments_)
    for (const auto& part : segment->parts)
      for (const Playlist& p : part->playlists) listed_.push_back(&p);

  // The parts this one has and before had not, and those it no longer has: only the segments
  // not shared are looked into.
  std::vector<const CataloguePart*> added, gone;
  {
    std::unordered_set<const CatalogueSegment*> had, has;
    if (before)
      for (const auto& segment : before->segments_) had.insert(segment.get());
    for (const auto& segment : segments_) has.insert(segment.get());
    std::unordered_set<const CataloguePart*> oldParts, newParts;
    if (before)
      for (const auto& segment : before->segments_)
        if (!has.contains(segment.get()))
          for (const auto& part : segment->parts) oldParts.insert(part.get());
    for (const auto& segment : segments_)
      if (!had.contains(segment.get()))
        for (const auto& part : segment->parts) {
          newParts.insert(part.get());
          if (!oldParts.contains(part.get())) added.push_back(part.get());
        }
    for (const CataloguePart* part : oldParts)
      if (!newParts.contains(part)) gone.push_back(part);
  }
  std::vector<IdShards<Song>::Entry> songsGone, songsAdded;
  std::vector<IdShards<Album>::Entry> albumsGone, albumsAdded;
  std::vector<IdShards<Playlist>::Entry> playlistsGone, playlistsAdded;
  std::set<std::string> artists;  // whose songs changed
  auto take = [&](const CataloguePart* part, auto& songs, auto& albums, auto& playlists) {
    for (const Song& s : part->songs) songs.push_back({s.id, &s});
    for (const Album& a : part->albums) albums.push_back({a.id, &a});
    for (const Playlist& p : part->playlists) playlists.push_back({p.id, &p});
    for (const Playlist& p : part->foundPlaylists) playlists.push_back({p.id, &p});
    if (before)
      for (const CataloguePart::Credit& credit : part->credits) artists.insert(credit.folded);
  };
  for (const CataloguePart* part : gone) take(part, songsGone, albumsGone, playlistsGone);
  for (const CataloguePart* part : added) take(part, songsAdded, albumsAdded, playlistsAdded);
  artists_.Change(before ? &before->artists_ : nullptr, segments_, artists, playlistsGone,
                  playlistsAdded);
  songs_.Change(before ? &before->songs_ : nullptr, std::move(songsGone), std::move(songsAdded));
  albums_.Change(before ? &before->albums_ : nullptr, std::move(albumsGone),
                 std::move(albumsAdded));
  playlists_.Change(before ? &before->playlists_ : nullptr, std::move(playlistsGone),
                    std::move(playlistsAdded));
}

std::vector<const Song*> Catalogue::fmPool() const {
  std::vector<const Song*> pool;
  for (const auto& segment : segments_)
    pool.insert(pool.end(), segment->pool.begin(), segment->pool.end());
  return pool;
}

std::vector<const Song*> Catalogue::FindSongs(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  std::vector<const Song*> found;
  for (const auto& segment : segments_) {
    // Both lists of owners ascend: merged, they are in the pool's order, each once.
    const std::vector<std::size_t> byTitle = segment->titles.Find(folded),
                                   byOther = segment->songFields.Find(folded);
    std::vector<std::size_t> both;
    std::set_union(byTitle.begin(), byTitle.end(), byOther.begin(), byOther.end(),
                   std::back_inserter(both));
    for (std::size_t i : both) found.push_back(segment->pool[i]);
  }
  return found;
}

SearchFind Catalogue::Search(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  SearchFind find;
  find.artists = artists_.Find(folded);
  for (const auto& segment : segments_) {
    for (std::size_t i : segment->albumNames.Find(folded))
      if (const Playlist* p = FindPlaylist(segment->albums[i]->playlistId))
        find.albums.push_back(p);
    for (std::size_t i : segment->namedNames.Find(folded)) find.named.push_back(segment->named[i]);
  }
  find.titles = TitlesPlaylist(text);
  std::stable_sort(find.named.begin(), find.named.end(), [](const Playlist* a, const Playlist* b) {
    return a->playCount > b->playCount;
  });
  return find;
}

Playlist Catalogue::TitlesPlaylist(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  Playlist titles{StableId("playlist:titles:" + folded), "歌曲：" + text, "", {}, 0, {}};
  for (const auto& segment : segments_)
    for (std::size_t i : segment->titles.Find(folded))
      titles.trackIds.push_back(segment->pool[i]->id);
  titles.playCount = static_cast<std::int64_t>(titles.trackIds.size() * 1000);
  return titles;
}

const Song* Catalogue::FindSong(std::uint64_t id) const { return songs_.Find(id); }

const Album* Catalogue::FindAlbum(std::uint64_t id) const { return albums_.Find(id); }

const Playlist* Catalogue::FindPlaylist(std::uint64_t id) const { return playlists_.Find(id); }

std::string Catalogue::GeneratedLyric(std::uint64_t songId) const {
  for (const auto& segment : segments_)
    for (const auto& part : segment->parts)
      if (auto it = part->lyrics.find(songId); it != part->lyrics.end()) return it->second;
  return "";
}

}  // namespace lumora::server
