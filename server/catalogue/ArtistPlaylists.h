#pragma once
// One playlist per artist credited on the songs a search finds, with all their songs in the
// catalogue's order, named as first credited; only a search finds them. They are kept in shards
// by name: the next catalogue shares every shard in which no artist's songs changed.
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/FoldedNames.h"

namespace lumora::server {

struct Playlist;
struct CatalogueSegment;
using Segments = std::vector<std::shared_ptr<const CatalogueSegment>>;

class ArtistPlaylists {
 public:
  using Entry = std::pair<std::uint64_t, const Playlist*>;  // a playlist by its id

  // These become before's, with the artists of touched (folded names) made again from segments;
  // gone and added: the playlists taken out and put in. Every artist when before is null.
  void Change(const ArtistPlaylists* before, const Segments& segments,
              const std::set<std::string>& touched, std::vector<Entry>& gone,
              std::vector<Entry>& added);
  // The artists whose name holds folded: one of exactly that name first, then those of more
  // songs, then by name.
  std::vector<const Playlist*> Find(const std::string& folded) const;

 private:
  struct Artist {
    std::string folded;
    std::shared_ptr<const Playlist> playlist;
  };
  struct Shard {
    std::vector<Artist> artists;  // by folded name
    FoldedNames names;            // their folded names, as artists holds them
  };
  static constexpr std::size_t kShards = 64;
  static std::size_t ShardOf(const std::string& folded);
  void Put(std::size_t shard, std::vector<Artist> artists);

  std::array<std::shared_ptr<const Shard>, kShards> shards_;
};

}  // namespace lumora::server
