// What the player makes of a song's loudness: the factor before the user's volume.
#include <gtest/gtest.h>

#include <cmath>

#include "playback/Levelling.h"

namespace lumora {
namespace {

double Db(double factor) { return 20 * std::log10(factor); }

TEST(Levelling, AppliesTheGainWithinThePeakGuard) {
  const struct {
    const char* what;
    std::optional<SongGain> gain;
    bool on;
    double db;  // what the song is raised (or lowered) by
  } rows[] = {
      {"a loud master is lowered", SongGain{-10, 1.0}, true, -6},
      {"a song at -14 LUFS plays as it is", SongGain{-4, 0.5}, true, 0},
      {"a quiet song is raised", SongGain{6, 0.1}, true, 10},
      {"no further than its peak allows", SongGain{6, 0.5}, true, -1 - Db(0.5)},
      {"an unknown peak counts as full scale", SongGain{6, std::nullopt}, true, -1},
      {"nor above what the stage can", SongGain{30, 0.001}, true, 20},
      {"no figure: as today", std::nullopt, true, 0},
      {"switched off: as today", SongGain{-10, 1.0}, false, 0},
      {"a nonsense figure: as today", SongGain{NAN, 1.0}, true, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_NEAR(Db(levellingFactor(row.gain, row.on)), row.db, 1e-9);
  }
}

}  // namespace
}  // namespace lumora
