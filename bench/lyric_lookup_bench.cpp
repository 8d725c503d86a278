// One 100 ms tick's lyric lookup in a 5 MB lyric: the plain scan of the whole text against the
// per-song index, which is built once before the ticks are timed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "RunTimes.h"
#include "common/Text.h"
#include "lyrics/FindLyricLine.h"
#include "lyrics/LyricLineCache.h"

namespace {

constexpr int kSeconds = 3600;

const std::string& Lyric() {
  static const std::string text = [] {
    std::string s;
    for (int line = 0; s.size() < 5'000'000; ++line) {
      const int second = line / 40 % kSeconds;
      s += "[" + lumora::ClockText(second) + "." + std::to_string(10 + line % 90) +
           "]一行歌词 words of line " + std::to_string(line) + R"(\n)";
    }
    return s;
  }();
  return text;
}

// Each iteration is one tick; the key moves on a second every ten ticks, as while playing.
template <typename Lookup>
void RunTicks(benchmark::State& state, Lookup lookup) {
  int tick = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    const std::string key = lumora::ClockText(tick++ / 10 % kSeconds);
    found += lookup(Lyric(), key).size();
  }
  benchmark::DoNotOptimize(found);
}

void BM_PlainLookup(benchmark::State& state) { RunTicks(state, lumora::FindLyricLine); }

void BM_CachedLookup(benchmark::State& state) {
  lumora::LyricLineCache cache;
  cache.FindLine(Lyric(), "00:00");
  RunTicks(state, [&cache](const std::string& lyric, const std::string& key) {
    return cache.FindLine(lyric, key);
  });
}

void BM_CacheBuild(benchmark::State& state) {
  for (auto _ : state) {
    lumora::LyricLineCache cache;
    benchmark::DoNotOptimize(cache.FindLine(Lyric(), "00:00"));
  }
}

BENCHMARK(BM_PlainLookup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CacheBuild)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("lyric: %.1f MB\n", Lyric().size() / 1e6);
  lumora::bench::RunTimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.seconds;
  if (t.count("BM_PlainLookup") && t.count("BM_CachedLookup") && t["BM_CachedLookup"] > 0) {
    std::printf("plain / cached per tick: %.0f x\n", t["BM_PlainLookup"] / t["BM_CachedLookup"]);
  }
  if (t.count("BM_PlainLookup") && t.count("BM_CacheBuild") && t["BM_PlainLookup"] > 0) {
    std::printf("index build / one plain tick: %.1f x\n", t["BM_CacheBuild"] / t["BM_PlainLookup"]);
  }
  benchmark::Shutdown();
  return 0;
}
