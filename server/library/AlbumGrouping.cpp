#include "library/AlbumGrouping.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "catalogue/ArtistCredits.h"
#include "common/Text.h"

namespace lumora::server {

namespace {

std::string_view Leaf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

int DiscOfFolder(std::string_view name) {
  const std::string lower = ToLowerAscii(std::string(name));
  std::string_view rest = lower;
  bool named = false;
  for (std::string_view word : {"disc", "disk", "cd"}) {
    if (rest.starts_with(word)) {
      rest.remove_prefix(word.size());
      named = true;
      break;
    }
  }
  if (!named) return 0;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '_' || rest.front() == '-' ||
                           rest.front() == '.'))
    rest.remove_prefix(1);
  if (rest.empty() || rest.size() > 3) return 0;
  int disc = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return 0;
    disc = disc * 10 + (c - '0');
  }
  return disc;
}

std::string AlbumFolder(const std::string& folder) {
  if (folder.empty() || DiscOfFolder(Leaf(folder)) == 0) return folder;
  const std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? "" : folder.substr(0, slash);
}

std::vector<GroupedAlbum> GroupAlbums(const std::string& albumFolder,
                                      std::vector<AlbumTrack> tracks) {
  // The titles in the order their first songs come, and the album artists tagged on each.
  std::vector<std::string> titles;
  std::map<std::string, std::set<std::string>> albumArtists;
  for (const AlbumTrack& t : tracks) {
    auto [it, fresh] = albumArtists.try_emplace(t.album);
    if (fresh) titles.push_back(t.album);
    if (!t.albumArtist.empty()) it->second.insert(t.albumArtist);
  }
  auto groupOf = [&](const AlbumTrack& t) {
    const std::set<std::string>& tagged = albumArtists[t.album];
    return tagged.size() == 1 ? *tagged.begin() : t.albumArtist;
  };
  for (AlbumTrack& t : tracks)
    if (t.disc == 0 && t.folder != albumFolder) t.disc = DiscOfFolder(Leaf(t.folder));
  std::sort(tracks.begin(), tracks.end(), [](const AlbumTrack& a, const AlbumTrack& b) {
    return std::tie(a.disc, a.track, a.folder, a.file) < std::tie(b.disc, b.track, b.folder, b.file);
  });

  std::vector<GroupedAlbum> albums;
  for (const std::string& title : titles) {
    std::map<std::string, std::size_t> byArtist;  // album artist -> index in albums
    for (const AlbumTrack& t : tracks) {
      if (t.album != title) continue;
      const std::string group = groupOf(t);
      auto [at, fresh] = byArtist.try_emplace(group, albums.size());
      if (fresh) albums.push_back({title, group, albumFolder + '\n' + title + '\n' + group, {}});
      GroupedAlbum& album = albums[at->second];
      // Without an album artist: the lead artist every song shares, else none.
      const std::string lead = LeadArtist(t.artist);
      if (group.empty() && album.songs.empty()) album.artist = lead;
      if (group.empty() && album.artist != lead) album.artist.clear();
      album.songs.push_back(t.song);
    }
  }
  return albums;
}

}  // namespace lumora::server
