// Parse and read a song-detail answer of 10 000 songs the way the playlist loader does, against
// a bare simdjson DOM parse of the same bytes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <simdjson.h>

#include <cstdio>
#include <map>
#include <string>

#include "RunTimes.h"
#include "json/JsonDocument.h"

namespace {

constexpr int kSongs = 10000;

const std::string& Answer() {
  static const std::string text = [] {
    std::string s = R"({"code":200,"songs":[)";
    for (int i = 0; i < kSongs; ++i) {
      std::string n = std::to_string(i);
      if (i) s += ',';
      s += R"({"id":)" + std::to_string(1900000000000 + i) + R"(,"name":"歌曲 Song \")" + n +
           R"(\" — 长一点的名字","ar":[)";
      for (int a = 0; a < 3; ++a) {
        if (a) s += ',';
        s += R"({"id":)" + std::to_string(12000 + i * 3 + a) + R"(,"name":"Artist 歌手 )" + n +
             "-" + std::to_string(a) + R"(","tns":[],"alias":["别名 )" + n + R"("]})";
      }
      s += R"(],"alia":["电视剧插曲"],"pop":100,"st":0,"rt":null,"fee":8,"v":42,"crbt":null,)"
           R"("cf":"","al":{"id":)" +
           std::to_string(800000 + i) + R"(,"name":"专辑 Album )" + n +
           R"(","picUrl":"http://p1.music.example/abcdefghijklmnopqrstuvwx==/)" +
           std::to_string(109951163000000000LL + i) + R"(.jpg","tns":[],"pic_str":"109951163)" + n +
           R"(","pic":109951163)" + n + R"(},"dt":)" + std::to_string(180000 + i) +
           R"(,"h":{"br":320000,"fid":0,"size":)" + std::to_string(9000000 + i) +
           R"(,"vd":-52438.0},"m":{"br":192000,"fid":0,"size":)" + std::to_string(5400000 + i) +
           R"(,"vd":-49876.0},"l":{"br":128000,"fid":0,"size":)" + std::to_string(3600000 + i) +
           R"(,"vd":-48269.0},"sq":{"br":915654,"fid":0,"size":)" + std::to_string(25000000 + i) +
           R"(,"vd":-52302.0},"a":null,"cd":"01","no":)" + std::to_string(i % 12 + 1) +
           R"(,"rtUrl":null,"ftype":0,"rtUrls":[],"djId":0,"copyright":1,"s_id":0,)"
           R"("mark":17179877376,"originCoverType":1,"originSongSimpleData":null,)"
           R"("tagPicList":null,"resourceState":true,"version":7,"songJumpInfo":null,)"
           R"("entertainmentTags":null,"awardTags":null,"single":0,"noCopyrightRcmd":null,)"
           R"("rtype":0,"rurl":null,"mst":9,"cp":7001,"mv":0,"publishTime":1600000000000,)"
           R"("lyricist":"词 Lyricist )" +
           n + R"(","composer":"曲 Composer )" + n + R"("})";
    }
    s += R"(],"privileges":[]})";
    return s;
  }();
  return text;
}

void BM_BareDomParse(benchmark::State& state) {
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(Answer()).get(root)) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(root);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Answer().size()));
}

// One long-lived document parsed again and again, as the program's answer document is.
void BM_Parse(benchmark::State& state) {
  lumora::JsonDocument doc;
  for (auto _ : state) {
    if (!doc.Parse(Answer())) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Answer().size()));
}

void BM_ParseAndRead(benchmark::State& state) {
  std::size_t sink = 0;
  lumora::JsonDocument doc;
  for (auto _ : state) {
    if (!doc.Parse(Answer())) state.SkipWithError("parse failed");
    int count = doc.Count("songs");
    for (int i = 0; i < count; ++i) {
      std::string song = "songs[" + std::to_string(i) + "]";
      sink += doc.GetText(song + ".name").size();
      sink += doc.GetSubDocument(song + ".id").ToText().size();
      sink += doc.GetText(song + ".al.name").size();
      int artists = doc.Count(song + ".ar");
      for (int a = 0; a < artists; ++a) {
        sink += doc.GetText(song + ".ar[" + std::to_string(a) + "].name").size();
      }
    }
  }
  benchmark::DoNotOptimize(sink);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Answer().size()));
}

// A parsed answer is read in place; the first edit or whole-document write converts it to the
// editable tree. This is that path: Parse, then ToText.
void BM_ParseAndWrite(benchmark::State& state) {
  std::size_t sink = 0;
  lumora::JsonDocument doc;
  for (auto _ : state) {
    if (!doc.Parse(Answer())) state.SkipWithError("parse failed");
    sink += doc.ToText().size();
  }
  benchmark::DoNotOptimize(sink);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Answer().size()));
}

void BM_PathLookup(benchmark::State& state) {
  lumora::JsonDocument doc;
  doc.Parse(Answer());
  std::string path = "songs[" + std::to_string(state.range(0)) + "].ar[2].name";
  std::size_t sink = 0;
  for (auto _ : state) sink += doc.GetText(path).size();
  benchmark::DoNotOptimize(sink);
}

std::size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Heap in use after a 50 MB answer and then this one, against before the large one: the
// buffers sized for the large answer must not stay.
void ReportHeapAfterLargeAnswer() {
  std::string large = R"({"songs":[)";
  while (large.size() < (std::size_t{50} << 20)) large += Answer() + ',';
  large.back() = ']';
  large += '}';
  lumora::JsonDocument doc;
  doc.Parse(Answer());
  std::size_t before = HeapInUse();
  doc.Parse(large);
  std::size_t during = HeapInUse();
  doc.Parse(Answer());
  std::size_t after = HeapInUse();
  std::printf(
      "heap in use: %.1f MiB before a %.0f MB answer, %.1f MiB with it, %.1f MiB after the "
      "next normal answer (%+.1f MiB)\n",
      before / 1048576.0, large.size() / 1e6, during / 1048576.0, after / 1048576.0,
      (static_cast<double>(after) - static_cast<double>(before)) / 1048576.0);
}

BENCHMARK(BM_BareDomParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAndWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathLookup)->Arg(0)->Arg(kSongs - 1)->Unit(benchmark::kNanosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("answer: %d songs, %.1f MB\n", kSongs, Answer().size() / 1e6);
  lumora::bench::RunTimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.seconds;
  auto ratio = [&t](const char* a, const char* b) {
    if (t.count(a) && t.count(b) && t[b] > 0) {
      std::printf("%s / %s = %.2f (%.3f ms / %.3f ms)\n", a, b, t[a] / t[b], t[a] * 1e3,
                  t[b] * 1e3);
    }
  };
  ratio("BM_Parse", "BM_BareDomParse");
  ratio("BM_ParseAndRead", "BM_BareDomParse");
  ratio("BM_ParseAndWrite", "BM_BareDomParse");
  if (t.count("BM_PathLookup/0") && t.count("BM_PathLookup/9999")) {
    std::printf("path lookup at 9999 / at 0 = %.2f (%.1f ns / %.1f ns)\n",
                t["BM_PathLookup/9999"] / t["BM_PathLookup/0"], t["BM_PathLookup/9999"] * 1e9,
                t["BM_PathLookup/0"] * 1e9);
  }
  ReportHeapAfterLargeAnswer();
  benchmark::Shutdown();
  return 0;
}
