#include "catalogue/ArtistPlaylists.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "catalogue/Catalogue.h"

namespace lumora::server {

namespace {

Playlist Named(const std::string& folded, const std::string& name) {
  return {StableId("playlist:artist:" + folded), "歌手：" + name, "", {}, 0, {}};
}

std::shared_ptr<const Playlist> Finished(Playlist p) {
  p.playCount = static_cast<std::int64_t>(p.trackIds.size() * 1000 + p.id % 997);
  return std::make_shared<const Playlist>(std::move(p));
}

// The playlist of one artist, from the segments' credits; null when no song credits them.
std::shared_ptr<const Playlist> Made(const Segments& segments, const std::string& folded) {
  Playlist p;
  for (const auto& segment : segments) {
    const auto& credited = segment->credited;
    auto first = std::lower_bound(
        credited.begin(), credited.end(), folded,
        [](const CatalogueSegment::Credited& c, const std::string& key) { return c.folded < key; });
    for (auto it = first; it != credited.end() && it->folded == folded; ++it) {
      const CataloguePart::Credit& credit = segment->parts[it->part]->credits[it->credit];
      if (p.trackIds.empty()) p = Named(folded, credit.name);
      p.trackIds.insert(p.trackIds.end(), credit.songs.begin(), credit.songs.end());
    }
  }
  return p.trackIds.empty() ? nullptr : Finished(std::move(p));
}

}  // namespace

std::size_t ArtistPlaylists::ShardOf(const std::string& folded) {
  return std::hash<std::string>{}(folded) % kShards;
}

void ArtistPlaylists::Put(std::size_t shard, std::vector<Artist> artists) {
  if (artists.empty()) {
    shards_[shard] = nullptr;
    return;
  }
  auto made = std::make_shared<Shard>();
  made->artists = std::move(artists);
  std::sort(made->artists.begin(), made->artists.end(),
            [](const Artist& a, const Artist& b) { return a.folded < b.folded; });
  for (std::size_t i = 0; i < made->artists.size(); ++i)
    made->names.AddFolded(made->artists[i].folded, i);
  made->names.ShrinkToFit();
  shards_[shard] = std::move(made);
}

void ArtistPlaylists::Change(const ArtistPlaylists* before, const Segments& segments,
                             const std::set<std::string>& touched, std::vector<Entry>& gone,
                             std::vector<Entry>& added) {
  std::map<std::size_t, std::vector<Artist>> shards;  // those made anew
  if (!before) {
    // Every artist in one pass over the credits.
    std::unordered_map<std::string_view, std::size_t> at;
    std::vector<Playlist> made;
    std::vector<std::string_view> folded;
    for (const auto& segment : segments)
      for (const auto& part : segment->parts)
        for (const CataloguePart::Credit& credit : part->credits) {
          auto [it, fresh] = at.try_emplace(credit.folded, made.size());
          if (fresh) {
            made.push_back(Named(credit.folded, credit.name));
            folded.push_back(credit.folded);
          }
          std::vector<std::uint64_t>& tracks = made[it->second].trackIds;
          tracks.insert(tracks.end(), credit.songs.begin(), credit.songs.end());
        }
    for (std::size_t i = 0; i < made.size(); ++i) {
      Artist artist{std::string(folded[i]), Finished(std::move(made[i]))};
      added.push_back({artist.playlist->id, artist.playlist.get()});
      shards[ShardOf(artist.folded)].push_back(std::move(artist));
    }
  } else {
    shards_ = before->shards_;
    for (const std::string& name : touched) {
      const std::size_t shard = ShardOf(name);
      auto [it, fresh] = shards.try_emplace(shard);
      std::vector<Artist>& artists = it->second;
      if (fresh && shards_[shard]) {
        for (const Artist& a : shards_[shard]->artists) {
          if (touched.count(a.folded))
            gone.push_back({a.playlist->id, a.playlist.get()});
          else
            artists.push_back(a);
        }
      }
      if (auto playlist = Made(segments, name)) {
        added.push_back({playlist->id, playlist.get()});
        artists.push_back({name, std::move(playlist)});
      }
    }
  }
  for (auto& [shard, artists] : shards) Put(shard, std::move(artists));
}

std::vector<const Playlist*> ArtistPlaylists::Find(const std::string& folded) const {
  std::vector<const Artist*> found;
  for (const auto& shard : shards_)
    if (shard)
      for (std::size_t i : shard->names.Find(folded)) found.push_back(&shard->artists[i]);
  std::sort(found.begin(), found.end(), [&](const Artist* a, const Artist* b) {
    return std::forward_as_tuple(a->folded != folded, b->playlist->trackIds.size(), a->folded) <
           std::forward_as_tuple(b->folded != folded, a->playlist->trackIds.size(), b->folded);
  });
  std::vector<const Playlist*> playlists;
  for (const Artist* a : found) playlists.push_back(a->playlist.get());
  return playlists;
}

}  // namespace lumora::server
