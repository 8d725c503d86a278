// Tagging a 10 MB song, with and without an old tag to replace, against copying the same file in
// the same folder: the tag writer's work beyond one copy is building the tag and the flush.
// Files live in the folder given by LUMORA_BENCH_DIR (default: the system's temporary folder).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "RunTimes.h"
#include "download/Id3Writer.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kAudioBytes = 10 << 20;

fs::path Folder() {
  static const fs::path folder = [] {
    const char* dir = std::getenv("LUMORA_BENCH_DIR");
    fs::path base = dir && *dir ? fs::path(dir) : fs::temp_directory_path();
    fs::path f = base / ("id3_bench." + std::to_string(std::random_device{}()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

lumora::TagRecord Record() {
  lumora::TagRecord r;
  r.title = "晴天";
  r.artist = "周杰伦";
  r.album = "叶惠美";
  r.picture = std::string(60000, '\x5A');  // a cover of typical size
  return r;
}

// The two source songs: plain audio, and the same audio behind an old tag of 30 kB.
const fs::path& Source(bool withOldTag) {
  static const fs::path plain = Folder() / "plain.mp3";
  static const fs::path tagged = Folder() / "tagged.mp3";
  static const bool made = [] {
    std::mt19937 random(42);
    std::string audio(kAudioBytes, '\0');
    for (char& c : audio) c = static_cast<char>(random());
    audio[0] = '\xFF';  // not "ID3"
    WriteBytes(plain, audio);
    lumora::TagRecord old = Record();
    old.comment = std::string(30000, 'c');
    WriteBytes(tagged, lumora::BuildTag(lumora::BuildFrames(old)) + audio);
    return true;
  }();
  (void)made;
  return withOldTag ? tagged : plain;
}

void BM_CopyFile(benchmark::State& state) {
  const fs::path& source = Source(state.range(0) != 0);
  const fs::path target = Folder() / "copy.mp3";
  for (auto _ : state) {
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(source)));
}

// The same copy made durable, as the tag writer makes its file before renaming it into place.
void BM_CopyFileFlushed(benchmark::State& state) {
  const fs::path& source = Source(state.range(0) != 0);
  const fs::path target = Folder() / "copy.mp3";
  for (auto _ : state) {
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) state.SkipWithError("fsync failed");
    if (fd >= 0) close(fd);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(source)));
}

// Each round tags a fresh copy of the source; the copy is not timed.
void BM_WriteTag(benchmark::State& state) {
  const fs::path& source = Source(state.range(0) != 0);
  const fs::path target = Folder() / "tag.mp3";
  const lumora::TagRecord record = Record();
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    state.ResumeTiming();
    if (!lumora::WriteTag(target, record)) state.SkipWithError("WriteTag failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(source)));
}

BENCHMARK(BM_CopyFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyFileFlushed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteTag)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("song: %zu MB in %s\n", kAudioBytes >> 20, Folder().c_str());
  lumora::bench::RunTimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.seconds;
  for (const char* arg : {"0", "1"}) {
    std::string tag = std::string("BM_WriteTag/") + arg + "/real_time";
    for (const char* baseline : {"BM_CopyFile/", "BM_CopyFileFlushed/"}) {
      std::string copy = baseline + std::string(arg) + "/real_time";
      if (t.count(tag) && t.count(copy) && t[copy] > 0) {
        std::printf("WriteTag %s old tag / %s = %.2f (%.2f ms / %.2f ms)\n",
                    *arg == '1' ? "with" : "without", copy.c_str(), t[tag] / t[copy], t[tag] * 1e3,
                    t[copy] * 1e3);
      }
    }
  }
  benchmark::Shutdown();
  fs::remove_all(Folder());
  return 0;
}
