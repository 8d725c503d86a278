#include "Catalogue.h"

#include <algorithm>

#include "Text.h"

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

void Catalogue::Index() {
  songIndex_.clear();
  albumIndex_.clear();
  playlistIndex_.clear();
  for (std::size_t i = 0; i < songs.size(); ++i) songIndex_.emplace(songs[i].id, i);
  for (std::size_t i = 0; i < albums.size(); ++i) albumIndex_.emplace(albums[i].id, i);
  for (std::size_t i = 0; i < playlists.size(); ++i) playlistIndex_.emplace(playlists[i].id, i);
  songNames_.clear();
  nameAt_.clear();
  nameAt_.reserve(fmPool.size());
  for (std::size_t i : fmPool) {
    songNames_ += '\n';
    nameAt_.push_back(songNames_.size());
    // A line break in a name would let a search run into the next one.
    for (char ch : ToLowerAscii(songs[i].name)) songNames_ += ch == '\n' ? ' ' : ch;
  }
}

std::vector<std::size_t> Catalogue::FindSongs(const std::string& text) const {
  std::vector<std::size_t> found;
  const std::string needle = ToLowerAscii(text);
  if (needle.empty()) return fmPool;
  if (needle.find('\n') != std::string::npos) return found;
  for (std::size_t at = songNames_.find(needle); at != std::string::npos;) {
    // The name the match starts in: the last that starts at or before it.
    const std::size_t name =
        static_cast<std::size_t>(std::upper_bound(nameAt_.begin(), nameAt_.end(), at) -
                                 nameAt_.begin()) -
        1;
    found.push_back(fmPool[name]);
    if (name + 1 == nameAt_.size()) break;
    at = songNames_.find(needle, nameAt_[name + 1]);
  }
  return found;
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
  return it == playlistIndex_.end() ? nullptr : &playlists[it->second];
}

}  // namespace lumora::server
