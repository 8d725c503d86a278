#include "generated/Synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

namespace lumora::server {

namespace {

constexpr double kPi = 3.14159265358979323846;

double MidiHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// One note added into the buffer: a few harmonics under an attack-decay-release envelope.
void AddNote(std::vector<float>& out, int rate, double start, double length, double hz, double gain,
             const std::array<double, 4>& harmonics, double attack, double decay) {
  auto first = static_cast<std::size_t>(start * rate);
  auto count = static_cast<std::size_t>((length + 0.08) * rate);
  if (first >= out.size()) return;
  count = std::min(count, out.size() - first);
  const double release = 0.08;
  // The sine turns by one rotation per sample and the harmonics follow from it by the
  // multiple-angle formulas: four sin() calls per sample were most of the catalogue's making.
  const double stepCos = std::cos(2 * kPi * hz / rate), stepSin = std::sin(2 * kPi * hz / rate);
  double s1 = 0, c1 = 1;
  for (std::size_t i = 0; i < count; ++i) {
    double t = static_cast<double>(i) / rate;
    double env = t < attack ? t / attack : std::exp(-(t - attack) * decay);
    if (t > length) env *= std::max(0.0, 1.0 - (t - length) / release);
    const double square = s1 * s1;
    const double s2 = 2 * s1 * c1;
    const double s3 = s1 * (3 - 4 * square);
    const double s4 = s2 * (1 - 2 * square);
    double v = harmonics[0] * s1 + harmonics[1] * s2 + harmonics[2] * s3 + harmonics[3] * s4;
    out[first + i] += static_cast<float>(gain * env * v);
    const double next = s1 * stepCos + c1 * stepSin;
    c1 = c1 * stepCos - s1 * stepSin;
    s1 = next;
  }
}

void AddKick(std::vector<float>& out, int rate, double start) {
  auto first = static_cast<std::size_t>(start * rate);
  auto count = static_cast<std::size_t>(0.18 * rate);
  double phase = 0;
  for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    phase += 2 * kPi * (45 + 90 * std::exp(-t * 30)) / rate;
    out[first + i] += static_cast<float>(0.5 * std::exp(-t * 18) * std::sin(phase));
  }
}

void AddHat(std::vector<float>& out, int rate, double start, std::minstd_rand& rng) {
  auto first = static_cast<std::size_t>(start * rate);
  auto count = static_cast<std::size_t>(0.05 * rate);
  std::uniform_real_distribution<float> noise(-1, 1);
  float last = 0;
  for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    float n = noise(rng);
    float high = n - last;  // crude high-pass so it hisses rather than rumbles
    last = n;
    out[first + i] += static_cast<float>(0.06 * std::exp(-t * 70) * high);
  }
}

}  // namespace

SynthResult SynthesiseSong(const SongPlan& plan) {
  static const int major[7] = {0, 2, 4, 5, 7, 9, 11};
  static const int minor[7] = {0, 2, 3, 5, 7, 8, 10};
  static const int progressions[][4] = {{0, 4, 5, 3}, {0, 5, 3, 4}, {0, 3, 4, 4},
                                        {5, 3, 0, 4}, {0, 2, 3, 4}, {0, 3, 5, 4}};
  const int* scale = plan.minor ? minor : major;
  std::minstd_rand rng(plan.seed);
  const int* prog = progressions[rng() % 6];

  SynthResult r;
  r.rate = kSynthRate;
  const double beat = 60.0 / plan.bpm;
  r.barSeconds = 4 * beat;
  r.bars = std::max(1, static_cast<int>(std::ceil(plan.seconds / r.barSeconds)));
  const double total = r.bars * r.barSeconds;
  std::vector<float> mix(static_cast<std::size_t>(total * r.rate) + 1, 0.0f);

  auto degreeMidi = [&](int degree, int octaveShift) {
    int octave = degree >= 0 ? degree / 7 : (degree - 6) / 7;
    int idx = degree - octave * 7;
    return plan.rootMidi + scale[idx] + 12 * (octave + octaveShift);
  };

  // A two-bar motif of scale degrees and lengths, repeated with variation.
  std::vector<std::pair<int, double>> motif;
  {
    double t = 0;
    int degree = 2 + static_cast<int>(rng() % 3);
    static const double lengths[] = {0.5, 0.5, 1.0, 1.0, 1.5, 2.0};
    while (t < 8) {
      double len = std::min(lengths[rng() % 6], 8 - t);
      motif.emplace_back(degree, len);
      t += len;
      degree += static_cast<int>(rng() % 5) - 2;
      degree = std::clamp(degree, -1, 9);
    }
  }

  const std::array<double, 4> padTone = {0.6, 0.2, 0.1, 0.05};
  const std::array<double, 4> bassTone = {0.8, 0.3, 0.1, 0.0};
  const std::array<double, 4> leadTone = {0.7, 0.1, 0.25, 0.05};
  for (int bar = 0; bar < r.bars; ++bar) {
    const double barStart = bar * r.barSeconds;
    const int chord = prog[bar % 4];
    for (int k = 0; k < 3; ++k)
      AddNote(mix, r.rate, barStart, r.barSeconds * 0.95, MidiHz(degreeMidi(chord + 2 * k, -1)),
              0.06, padTone, 0.25, 0.4);
    AddNote(mix, r.rate, barStart, beat * 1.8, MidiHz(degreeMidi(chord, -2)), 0.16, bassTone, 0.01,
            2.0);
    AddNote(mix, r.rate, barStart + 2 * beat, beat * 1.8, MidiHz(degreeMidi(chord + 4, -2)), 0.12,
            bassTone, 0.01, 2.0);
    for (int b = 0; b < 4; ++b) {
      if (b % 2 == 0) AddKick(mix, r.rate, barStart + b * beat);
      AddHat(mix, r.rate, barStart + (b + 0.5) * beat, rng);
    }
    if (bar == 0) continue;  // one bar of introduction before the melody
    const int half = bar % 2;
    const int shift = (bar / 4) % 2 == 1 ? static_cast<int>(rng() % 3) - 1 : 0;
    double t = 0;
    for (const auto& [degree, len] : motif) {
      double noteStart = t;
      t += len;
      if (noteStart < half * 4 || noteStart >= half * 4 + 4) continue;
      AddNote(mix, r.rate, barStart + (noteStart - half * 4) * beat, len * beat * 0.9,
              MidiHz(degreeMidi(degree + shift, 0)), 0.14, leadTone, 0.02, 1.2);
    }
  }

  // Fade in and out, then normalise into 16 bits.
  const double fade = std::min(2.0, total / 4);
  float peak = 1e-6f;
  for (std::size_t i = 0; i < mix.size(); ++i) {
    double t = static_cast<double>(i) / r.rate;
    double g = std::min({1.0, t / 0.05, (total - t) / fade});
    mix[i] *= static_cast<float>(std::max(0.0, g));
    peak = std::max(peak, std::fabs(mix[i]));
  }
  const float scaleTo = 0.85f * 32767.0f / peak;
  r.samples.resize(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i)
    r.samples[i] = static_cast<std::int16_t>(std::lrint(mix[i] * scaleTo));
  return r;
}

}  // namespace lumora::server
