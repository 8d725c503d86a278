#pragma once
// How loud a song is, as the server tells it with the song's address: the ReplayGain gain that
// brings it to the -18 LUFS reference, and its peak (1.0: full scale) where known.
#include <optional>

namespace lumora {

struct SongGain {
  double gainDb = 0;
  std::optional<double> peak;

  bool operator==(const SongGain&) const = default;
};

}  // namespace lumora
