#pragma once
// A small song synthesiser for the demo catalogue: a melody over a chord progression with
// bass and light drums, in a given key, mode and tempo.
#include <cstdint>
#include <string>
#include <vector>

namespace lumora::server {

struct SongPlan {
  std::uint32_t seed = 1;
  int rootMidi = 57;  // the key's tonic
  bool minor = false;
  int bpm = 100;
  double seconds = 30;  // rounded up to whole bars
};

struct SynthResult {
  std::vector<std::int16_t> samples;  // mono
  int rate = 44100;
  double barSeconds = 0;  // one bar of four beats
  int bars = 0;
};

inline constexpr int kSynthRate = 44100;

SynthResult SynthesiseSong(const SongPlan& plan);

}  // namespace lumora::server
