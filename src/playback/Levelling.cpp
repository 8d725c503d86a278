#include "playback/Levelling.h"

#include <algorithm>
#include <cmath>

namespace lumora {

double levellingFactor(const std::optional<SongGain>& gain, bool on) {
  if (!on || !gain || !std::isfinite(gain->gainDb)) return 1.0;
  const double factor = std::pow(10.0, (gain->gainDb + kLevellingPreampDb) / 20);
  const double peak = gain->peak && *gain->peak > 0 ? *gain->peak : 1.0;
  const double ceiling = std::pow(10.0, kLevellingCeilingDb / 20) / peak;
  return std::min({factor, ceiling, kLevellingMostFactor});
}

}  // namespace lumora
