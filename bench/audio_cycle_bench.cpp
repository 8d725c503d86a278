// Create, play, stop and free one stream, over and over: the time of a cycle against a bare
// playbin doing the same, and what the resident memory does over the run.
#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "playback/AudioPlayer.h"
#include "support/Mp3Fixture.h"

namespace {

std::string songPath() {
  static std::string path = [] {
    auto p = std::filesystem::temp_directory_path() /
             ("lumora-cycle-" + std::to_string(getpid()) + ".mp3");
    lumora::test::writeFile(p.string(), lumora::test::makeMp3(1.0));
    return p.string();
  }();
  return path;
}

long residentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double barePlaybinSeconds = 0;

void waitAsyncDone(GstElement* pipeline) {
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* msg = gst_bus_timed_pop_filtered(
      bus, 15 * GST_SECOND, GstMessageType(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
  if (msg) gst_message_unref(msg);
  gst_object_unref(bus);
}

void BM_BarePlaybinCycle(benchmark::State& state) {
  gst_init(nullptr, nullptr);
  gchar* uri = gst_filename_to_uri(songPath().c_str(), nullptr);
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    g_object_set(playbin, "uri", uri, "audio-sink", sink, "flags", 0x2, nullptr);
    gst_element_set_state(playbin, GST_STATE_PAUSED);
    waitAsyncDone(playbin);
    gst_element_set_state(playbin, GST_STATE_PLAYING);
    gst_element_set_state(playbin, GST_STATE_PAUSED);
    gst_element_set_state(playbin, GST_STATE_NULL);
    gst_object_unref(playbin);
  }
  barePlaybinSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  g_free(uri);
}

void BM_AudioPlayerCycle(benchmark::State& state) {
  lumora::AudioPlayer player;
  if (!player.init(0)) {
    state.SkipWithError("no null output");
    return;
  }
  // Argument 0: streams from the file; 1: from a copy in memory.
  bool fromMemory = state.range(0) == 1;
  std::string path = fromMemory ? std::string() : songPath();
  std::string bytes;
  if (fromMemory) {
    std::ifstream in(songPath(), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Warm up the plugin registry and thread pools before the first reading.
  for (int i = 0; i < 5; ++i) player.freeStream(player.createStream(path, bytes));
  long before = residentKb();
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::uint32_t h = player.createStream(path, bytes);
    if (h == 0) {
      state.SkipWithError("createStream failed");
      break;
    }
    player.play(h);
    player.stop(h);
    player.freeStream(h);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long after = residentKb();
  state.counters["rss_before_kb"] = double(before);
  state.counters["rss_after_kb"] = double(after);
  state.counters["streams_left"] = double(player.streamCount());
  std::printf("RSS over %lld %s cycles: %ld kB -> %ld kB (%+ld kB)\n",
              static_cast<long long>(state.iterations()), fromMemory ? "memory" : "file", before,
              after, after - before);
  if (barePlaybinSeconds > 0)
    std::printf("cycle time ratio AudioPlayer / bare playbin: %.2f\n",
                seconds / barePlaybinSeconds);
}

BENCHMARK(BM_BarePlaybinCycle)->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AudioPlayerCycle)->Arg(0)->Arg(1)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(songPath());
  // With GST_TRACERS=leaks, objects still alive are listed here.
  gst_deinit();
  return 0;
}
