#pragma once
// One lumora-server per test program, a client over the shared apiJson and Session, a recording
// of what the routines report, and the request targets the server logged.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/ApiClient.h"
#include "playback/PlaybackState.h"
#include "support/ServerProcess.h"
#include "support/ServerSuite.h"
#include "support/WaitFor.h"

namespace lumora::test {

inline constexpr const char* kDemoPasswordMd5 = "98a6619f9bc9cdd67e27e884d758da4b";

// What the routines report: like results, the playlist found or not, and the progress.
class RecordingView : public PlaylistLoadListener {
 public:
  void playlistNotFound() override { events.push_back("not found"); }
  void playlistFound(const std::string& name, const Bytes& bytes) override {
    cover = bytes;
    events.push_back("cover " + std::to_string(bytes.size()));
    events.push_back("name " + name);
  }
  void songLoaded(const Song& song, std::size_t loaded, std::size_t total) override {
    if (queue) queue->append(song);
    progress = "共" + std::to_string(total) + "首/已加载：" + std::to_string(loaded) + "首";
    ++songsReported;
  }

  std::vector<std::string> events;  // everything but the per-song progress
  std::string cover;
  std::string progress;
  int songsReported = 0;
  PlayQueue* queue = nullptr;
};

// The routines driven the way playback uses them: results into queues, the like result and the
// load's reports into the recording.
struct ApiDriver {
  void like(const std::string& songId) {
    const std::string result = client.LikeSong(songId);
    if (!result.empty()) view.events.push_back("like " + result);
  }
  void fetchFm(PlayQueue& queue) {
    for (const Song& song : client.FetchPersonalFm()) queue.append(song);
  }
  void load(const std::string& id, PlayQueue& queue, PlaylistLoadState& state) {
    queue.clear();
    view.queue = &queue;
    PlaylistLoadResult result{state.playlistLoadCode, state.playlistCoverUrl, state.playlistName};
    client.LoadPlaylist(id, result, view);
    view.queue = nullptr;
    state = {result.code, result.coverUrl, result.name};
  }

  ApiClient& client;
  RecordingView& view;
};

class ApiClientTest : public ServerSuite {
 protected:
  void SetUp() override {
    ServerSuite::SetUp();
    if (HasFatalFailure()) return;
    markLog();
  }

  // Requests before this point are left out of sent().
  void markLog() {
    settle();
    mark_ = server_->requestLog().size();
  }

  // Logs a demo account in straight at the server and returns the cookie it hands out.
  std::string loginCookie(const std::string& phone = "13800000001") {
    auto reply = server_->post("/login/cellphone?phone=" + phone +
                               "&md5_password=" + kDemoPasswordMd5 + "&timestamp=1");
    EXPECT_TRUE(reply && reply->status == 200);
    JsonDocument doc;
    EXPECT_TRUE(reply && doc.Parse(reply->body));
    return doc.GetText("cookie");
  }

  // Waits until the server has logged everything sent so far: a marker request is the last.
  void settle() {
    const std::string marker = "/settle/" + std::to_string(++markers_);
    server_->get(marker);
    waitFor([&] { return !server_->requestsTo(marker + " ").empty(); }, std::chrono::seconds(5));
  }

  // "METHOD target" of the requests since the test began whose target starts with prefix,
  // markers and fault controls left out.
  std::vector<std::string> sent(const std::string& prefix = "/") {
    settle();
    std::vector<std::string> log = server_->requestLog();
    std::vector<std::string> targets;
    for (std::size_t i = mark_; i < log.size(); ++i) {
      const std::string& line = log[i];
      const std::size_t start = line.find(' ') + 1;
      const std::string target = line.substr(start, line.find(' ', start) - start);
      if (target.rfind(prefix, 0) != 0 || target.rfind("/__control/", 0) == 0 ||
          target.rfind("/settle/", 0) == 0)
        continue;
      targets.push_back(line.substr(0, start) + target);
    }
    return targets;
  }

  static inline int markers_ = 0;
  std::size_t mark_ = 0;
  JsonDocument apiJson;
  Session session;
  RecordingView view;
  ApiClient client{apiJson, session, server_->baseUrl()};
  ApiDriver api{client, view};
};

}  // namespace lumora::test
