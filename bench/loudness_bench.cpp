// Measuring a song's loudness (EBU R128 integrated loudness and true peak, as the server does
// after a scan) against decoding the same song alone to floats, in the same run: the meter's
// share of the work beyond the decoder. A minute of music made with GStreamer's test source
// (a chord that changes every few seconds under pink noise), as MP3 and FLAC. Prints the CPU
// time of the whole process (every thread) per song, and how many times faster than the song
// plays that is (aim: 100).
//
//   build/bench/bench/loudness_bench [--benchmark_repetitions=3]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <gst/gst.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>

#include "RunTimes.h"
#include "songfiles/Loudness.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSeconds = 60;
const char* const kFormats[] = {"mp3", "flac"};

fs::path Song(const std::string& format) {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("loudness_bench." + std::to_string(getpid()));
    fs::create_directories(f);
    return f;
  }();
  const fs::path file = folder / ("song." + format);
  if (fs::exists(file)) return file;
  const std::string encode =
      format == "mp3" ? "lamemp3enc target=bitrate bitrate=192" : "flacenc";
  // Three tones and noise, mixed; 44.1 kHz stereo as most songs are.
  std::string command = "gst-launch-1.0 -q audiomixer name=m ! audio/x-raw,rate=44100,channels=2 ! " +
                        encode + " ! filesink location='" + file.string() + "'";
  const int buffers = kSeconds * 10;
  for (const char* source : {"wave=sine freq=220 volume=0.2", "wave=sine freq=277 volume=0.15",
                             "wave=sine freq=330 volume=0.15", "wave=pink-noise volume=0.1"})
    command += std::string(" audiotestsrc ") + source + " num-buffers=" +
               std::to_string(buffers) + " samplesperbuffer=4410 ! m.";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot make %s\n", file.c_str());
  return file;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::map<std::string, double> cpuPerSong;

// The baseline: the same decoder chain into a sink that drops the floats.
bool DecodeOnly(int fd) {
  GstElement* pipeline = gst_parse_launch(
      "fdsrc name=src ! decodebin ! audioconvert ! audio/x-raw,format=F32LE,layout=interleaved !"
      " fakesink sync=false",
      nullptr);
  GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
  g_object_set(src, "fd", fd, nullptr);
  gst_object_unref(src);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
  if (message) gst_message_unref(message);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  return ok;
}

void Run(benchmark::State& state, bool measure) {
  const std::string format = kFormats[state.range(0)];
  const fs::path song = Song(format);
  double cpu = 0;
  for (auto _ : state) {
    const int fd = open(song.c_str(), O_RDONLY | O_CLOEXEC);
    const double before = ProcessCpuSeconds();
    const bool ok = measure ? lumora::server::MeasureLoudness(fd, song).has_value()
                            : (lseek(fd, 0, SEEK_SET) == 0 && DecodeOnly(fd));
    cpu += ProcessCpuSeconds() - before;
    close(fd);
    if (!ok) state.SkipWithError("the song did not decode");
  }
  const double perSong = cpu / static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = perSong * 1e3;
  state.counters["x_realtime"] = kSeconds / perSong;
  cpuPerSong[std::string(measure ? "measure/" : "decode/") + format] = perSong;
}

void BM_Measure(benchmark::State& state) { Run(state, true); }
void BM_DecodeOnly(benchmark::State& state) { Run(state, false); }

BENCHMARK(BM_DecodeOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Measure)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  benchmark::Initialize(&argc, argv);
  lumora::bench::RunTimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* format : kFormats) {
    const double measure = cpuPerSong["measure/" + std::string(format)];
    const double decode = cpuPerSong["decode/" + std::string(format)];
    if (measure > 0 && decode > 0)
      std::printf(
          "%s, %d s: measured in %.0f ms of CPU = %.0fx real time (aim 100x); decoding alone"
          " %.0f ms; measure / decode = %.2f\n",
          format, kSeconds, measure * 1e3, kSeconds / measure, decode * 1e3, measure / decode);
  }
  benchmark::Shutdown();
  fs::remove_all(Song("flac").parent_path());
  return 0;
}
