#pragma once
// Ids to what they name, in 256 shards by id, each a block sorted by id: the next catalogue shares
// every shard in which nothing changed, so a change in a big library copies a few hundred ids
// rather than all of them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace lumora::server {

template <typename T>
class IdShards {
 public:
  using Entry = std::pair<std::uint64_t, const T*>;

  const T* Find(std::uint64_t id) const {
    const auto& shard = shards_[ShardOf(id)];
    if (!shard) return nullptr;
    auto it = std::lower_bound(shard->begin(), shard->end(), id,
                               [](const Entry& e, std::uint64_t key) { return e.first < key; });
    return it != shard->end() && it->first == id ? it->second : nullptr;
  }

  // These become before's shards (none when null) with the entries gone taken out and those
  // added put in, after any of the same id: the first of an id stays. Only the shards they fall
  // in are made anew.
  void Change(const IdShards* before, std::vector<Entry> gone, std::vector<Entry> added) {
    if (before) shards_ = before->shards_;
    auto byShard = [](const Entry& a, const Entry& b) {
      return ShardOf(a.first) < ShardOf(b.first);
    };
    std::stable_sort(gone.begin(), gone.end(), byShard);
    std::stable_sort(added.begin(), added.end(), byShard);
    auto g = gone.begin(), a = added.begin();
    while (g != gone.end() || a != added.end()) {
      const std::size_t shard = std::min(g != gone.end() ? ShardOf(g->first) : kShards,
                                         a != added.end() ? ShardOf(a->first) : kShards);
      auto in = [&](const Entry& e) { return ShardOf(e.first) == shard; };
      const auto gEnd = std::find_if_not(g, gone.end(), in);
      const auto aEnd = std::find_if_not(a, added.end(), in);
      std::vector<Entry> next;
      if (shards_[shard])
        std::copy_if(shards_[shard]->begin(), shards_[shard]->end(), std::back_inserter(next),
                     [&](const Entry& e) { return std::find(g, gEnd, e) == gEnd; });
      next.insert(next.end(), a, aEnd);
      std::stable_sort(next.begin(), next.end(),
                       [](const Entry& x, const Entry& y) { return x.first < y.first; });
      shards_[shard] =
          next.empty() ? nullptr : std::make_shared<const std::vector<Entry>>(std::move(next));
      g = gEnd;
      a = aEnd;
    }
  }

 private:
  static constexpr std::size_t kShards = 256;
  // Generated ids are small numbers: mixed, they spread over every shard.
  static std::size_t ShardOf(std::uint64_t id) { return (id * 0x9E3779B97F4A7C15ull) >> 56; }

  std::array<std::shared_ptr<const std::vector<Entry>>, kShards> shards_;
};

}  // namespace lumora::server
