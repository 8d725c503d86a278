#pragma once
// Ids to what they name, in one block of memory: a catalogue makes its table whole each time it
// is made, which for a big library is a millisecond or two instead of a node per id.
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

namespace lumora::server {

template <typename T>
class IdTable {
 public:
  // Room for n ids at most half full.
  explicit IdTable(std::size_t n = 0) : slots_(std::bit_ceil(2 * n + 2)) {}

  // The first of an id stays.
  void Add(std::uint64_t id, const T* what) {
    for (std::size_t at = Slot(id);; at = (at + 1) & (slots_.size() - 1)) {
      auto& [key, named] = slots_[at];
      if (!named) {
        slots_[at] = {id, what};
        return;
      }
      if (key == id) return;
    }
  }
  const T* Find(std::uint64_t id) const {
    for (std::size_t at = Slot(id);; at = (at + 1) & (slots_.size() - 1)) {
      const auto& [key, named] = slots_[at];
      if (!named || key == id) return named;
    }
  }

 private:
  std::size_t Slot(std::uint64_t id) const {
    // Generated ids are small numbers: mixed, they spread over the whole table.
    return static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
  }

  std::vector<std::pair<std::uint64_t, const T*>> slots_;  // no one named: free
};

}  // namespace lumora::server
