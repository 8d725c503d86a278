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

void Catalogue::Index() {
  songIndex_.clear();
  albumIndex_.clear();
  for (std::size_t i = 0; i < songs.size(); ++i) songIndex_.emplace(songs[i].id, i);
  for (std::size_t i = 0; i < albums.size(); ++i) albumIndex_.emplace(albums[i].id, i);
  // A title is folded once for both its lists, an artist's or album's name once for all its songs.
  FoldMemo fold;
  MakeFoundPlaylists(fold);
  playlistIndex_.clear();
  for (std::size_t i = 0; i < playlists.size(); ++i) playlistIndex_.emplace(playlists[i].id, i);
  for (std::size_t i = 0; i < foundPlaylists.size(); ++i)
    playlistIndex_.emplace(foundPlaylists[i].id, playlists.size() + i);

  songFields_ = titles_ = named_ = albums_ = {};
  for (std::size_t i : fmPool) {
    const Song& s = songs[i];
    const std::string title = FoldForSearch(s.name);
    titles_.AddFolded(title, i);
    songFields_.AddFolded(title, i);
    for (const Artist& a : s.artists) songFields_.AddFolded(fold(a.name), i);
    if (const Album* album = FindAlbum(s.albumId)) songFields_.AddFolded(fold(album->name), i);
  }
  std::unordered_set<std::uint64_t> ofAlbums;
  for (std::size_t i = 0; i < albums.size(); ++i) {
    albums_.AddFolded(fold(albums[i].name), i);
    albums_.AddFolded(fold(albums[i].artist), i);
    ofAlbums.insert(albums[i].playlistId);
  }
  for (std::size_t i = 0; i < playlists.size(); ++i)
    if (!ofAlbums.contains(playlists[i].id)) named_.Add(playlists[i].name, i);
}

// One playlist per artist named on fmPool's songs (each credited name of "X feat. Y" counts),
// one per album without its own.
void Catalogue::MakeFoundPlaylists(FoldMemo& fold) {
  foundPlaylists.clear();
  artists_ = {};
  artistNames_.clear();
  std::unordered_map<std::string, std::size_t> byName;
  for (std::size_t i : fmPool) {
    for (const Artist& a : songs[i].artists) {
      for (const std::string& name : CreditedArtists(a.name)) {
        const std::string& folded = fold(name);
        auto [it, fresh] = byName.try_emplace(folded, foundPlaylists.size());
        if (fresh) {
          foundPlaylists.push_back({StableId("playlist:artist:" + folded), "歌手：" + name, "",
                                    {}, 0, {}});
          artists_.AddFolded(folded, it->second);
          artistNames_.push_back(folded);
        }
        std::vector<std::uint64_t>& tracks = foundPlaylists[it->second].trackIds;
        if (tracks.empty() || tracks.back() != songs[i].id) tracks.push_back(songs[i].id);
      }
    }
  }
  std::unordered_set<std::uint64_t> own;
  for (const Playlist& p : playlists) own.insert(p.id);
  std::unordered_map<std::uint64_t, std::size_t> albumPlaylist;
  for (Album& album : albums) {
    if (own.contains(album.playlistId)) continue;
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

std::vector<std::size_t> Catalogue::FindSongs(const std::string& text) const {
  return songFields_.Find(FoldForSearch(text));
}

SearchFind Catalogue::Search(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  SearchFind find;
  // An artist of exactly that name first, then the artists of more songs.
  std::vector<std::size_t> artists = artists_.Find(folded);
  std::stable_sort(artists.begin(), artists.end(), [&](std::size_t a, std::size_t b) {
    return std::make_pair(artistNames_[a] != folded, foundPlaylists[b].trackIds.size()) <
           std::make_pair(artistNames_[b] != folded, foundPlaylists[a].trackIds.size());
  });
  for (std::size_t i : artists) find.artists.push_back(&foundPlaylists[i]);
  for (std::size_t i : albums_.Find(folded))
    if (const Playlist* p = FindPlaylist(albums[i].playlistId)) find.albums.push_back(p);
  find.titles = TitlesPlaylist(text);
  for (std::size_t i : named_.Find(folded)) find.named.push_back(&playlists[i]);
  std::stable_sort(find.named.begin(), find.named.end(), [](const Playlist* a, const Playlist* b) {
    return a->playCount > b->playCount;
  });
  return find;
}

Playlist Catalogue::TitlesPlaylist(const std::string& text) const {
  const std::string folded = FoldForSearch(text);
  Playlist titles{StableId("playlist:titles:" + folded), "歌曲：" + text, "", {}, 0, {}};
  for (std::size_t i : titles_.Find(folded)) titles.trackIds.push_back(songs[i].id);
  titles.playCount = static_cast<std::int64_t>(titles.trackIds.size() * 1000);
  return titles;
}

const Song* Catalogue::FindSong(std::uint64_t id) const {
  auto it = songIndex_.find(id);
  return it == songIndex_.end() ? nullptr : &songs[it->second];
}

const Album* Catalogue::FindAlbum(std::uint64_t id) const {
  auto it = albumIndex_.find(id);
  return it == albumIndex_.end() ? nullptr : &albums[it->second];
}

const Playlist* Catalogue::FindPlaylist(std::uint64_t id) const {
  auto it = playlistIndex_.find(id);
  if (it == playlistIndex_.end()) return nullptr;
  return it->second < playlists.size() ? &playlists[it->second]
                                       : &foundPlaylists[it->second - playlists.size()];
}

}  // namespace lumora::server
