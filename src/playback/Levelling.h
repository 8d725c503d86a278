#pragma once
// What the player makes of a song's loudness: the factor its samples are scaled by before the
// user's volume, so that songs mastered decades apart sound alike. Qt-free, for tests.
#include <optional>

#include "common/SongGain.h"

namespace lumora {

// ReplayGain's reference is -18 LUFS; most songs of the last decades sound near -14, so a song
// at that level plays as it did before levelling.
inline constexpr double kLevellingPreampDb = 4;
// No sample is raised above this (dBFS): a quiet song is lifted only as far as its peak allows.
inline constexpr double kLevellingCeilingDb = -1;
// The most the volume stage can raise a song (+20 dB).
inline constexpr double kLevellingMostFactor = 10;

// 1.0 (the song as it is) when levelling is off or the song has no figure; a song whose peak is
// not known is treated as one that reaches full scale.
double levellingFactor(const std::optional<SongGain>& gain, bool on);

}  // namespace lumora
