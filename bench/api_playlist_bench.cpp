// Loading the test catalogue's 2 000-track playlist from a lumora-server: the whole LoadPlaylist
// beside the same requests with their answers thrown away, so the difference is the time spent in
// Lumora (converting, parsing and filling the queue) and the baseline the time spent waiting for
// the server. Uses the server at LUMORA_API_BASE when set, else starts one on a free port.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RunTimes.h"
#include "net/ApiClient.h"
#include "support/ServerProcess.h"

namespace {

using namespace lumora;

const char* const kPlaylistId = "3000011";

// Fills the queue as the player does and shows nothing: no 1000 ms wait, no events to run.
class QueueOnly : public PlaylistLoadListener {
 public:
  explicit QueueOnly(std::vector<Song>& queue) : queue_(queue) {}
  void playlistNotFound() override {}
  void playlistFound(const std::string&, const Bytes&) override {}
  void songLoaded(const Song& song, std::size_t, std::size_t) override { queue_.push_back(song); }

 private:
  std::vector<Song>& queue_;
};

std::string& Base() {
  static std::string base;
  return base;
}

// The URLs LoadPlaylist sends, in order, taken from the playlist's own answer.
const std::vector<std::string>& PlaylistUrls() {
  static const std::vector<std::string> urls = [] {
    std::vector<std::string> list = {Base() + "/playlist/detail?id=" + kPlaylistId};
    JsonDocument doc;
    doc.Parse(BodyText(HttpClient::Request(list[0])));
    list.push_back(doc.GetText("playlist.coverImgUrl"));
    const int count = doc.Count("playlist.trackIds");
    std::string ids;
    for (int i = 0; i < count; ++i) {
      ids += (ids.empty() ? "" : ",") +
             doc.GetSubDocument("playlist.trackIds[" + std::to_string(i) + "].id").ToText();
      if ((i + 1) % static_cast<int>(kSongDetailBatch) == 0 || i + 1 == count) {
        list.push_back(Base() + "/song/detail?ids=" + ids);
        ids.clear();
      }
    }
    return list;
  }();
  return urls;
}

void BM_ServerRequests(benchmark::State& state) {
  const std::vector<std::string>& urls = PlaylistUrls();
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    bytes += HttpClient::Request(urls[0]).size();
    bytes += UrlFetch(urls[1]).size();
    for (std::size_t i = 2; i < urls.size(); ++i) bytes += HttpClient::Request(urls[i]).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["requests"] = static_cast<double>(urls.size());
  state.counters["answer_bytes"] = static_cast<double>(bytes);
}

void BM_LoadPlaylist(benchmark::State& state) {
  JsonDocument apiJson;
  Session session;
  ApiClient client(apiJson, session, Base());
  std::vector<Song> queue;
  QueueOnly listener(queue);
  PlaylistLoadResult loadState;
  for (auto _ : state) {
    queue.clear();
    client.LoadPlaylist(kPlaylistId, loadState, listener);
    benchmark::DoNotOptimize(queue.data());
  }
  if (queue.size() != 2000 || loadState.code != "200")
    state.SkipWithError("the playlist did not load whole");
  state.counters["songs"] = static_cast<double>(queue.size());
}

BENCHMARK(BM_ServerRequests)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadPlaylist)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::unique_ptr<lumora::test::ServerProcess> server;
  const char* configured = std::getenv("LUMORA_API_BASE");
  if (configured && *configured) {
    Base() = configured;
  } else {
    server = std::make_unique<lumora::test::ServerProcess>();
    if (!server->start()) {
      std::fprintf(stderr, "lumora-server did not start:\n%s%s\n", server->output().c_str(),
                   server->errors().c_str());
      return 1;
    }
    Base() = server->baseUrl();
  }
  std::printf("server %s, playlist %s: %zu requests\n", Base().c_str(), kPlaylistId,
              PlaylistUrls().size());
  lumora::bench::RunTimesReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto& t = reporter.seconds;
  const char* const load = "BM_LoadPlaylist/real_time";
  const char* const requests = "BM_ServerRequests/real_time";
  if (t.count(load) && t.count(requests) && t[requests] > 0) {
    const double total = t[load], waiting = t[requests];
    std::printf(
        "LoadPlaylist %.2f ms = waiting for the server %.2f ms + in Lumora (parse and fill) "
        "%.2f ms; LoadPlaylist / requests alone = %.2f\n",
        total * 1e3, waiting * 1e3, (total - waiting) * 1e3, total / waiting);
  }
  benchmark::Shutdown();
  return 0;
}
