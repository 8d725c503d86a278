#pragma once
// One lumora-server per test process, and the request targets it logged.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ServerProcess.h"
#include "support/ServerSuite.h"

namespace lumora::test {

class SquareServerTest : public ServerSuite {
 protected:
  void SetUp() override {
    ServerSuite::SetUp();
    if (HasFatalFailure()) return;
    seen_ = server_->requestLog().size();
  }

  // Targets ("/top/playlist?limit=8&...") of the square's requests since the test began.
  std::vector<std::string> newSquareTargets() const {
    std::vector<std::string> targets;
    const std::vector<std::string> log = server_->requestLog();
    for (std::size_t i = seen_; i < log.size(); ++i) {
      const std::string& line = log[i];
      const std::size_t a = line.find(' ');
      const std::size_t b = line.find(' ', a + 1);
      std::string target = line.substr(a + 1, b - a - 1);
      if (target.rfind("/top/playlist", 0) == 0 || target.rfind("/search", 0) == 0)
        targets.push_back(target);
    }
    return targets;
  }

  std::size_t seen_ = 0;
};

// An answer of n playlists named "歌单 <i>" with ids 7000 + i.
inline std::string playlistsAnswer(int n, const std::string& arrayName = "playlists") {
  std::string items;
  for (int i = 0; i < n; ++i)
    items += (i ? "," : "") + std::string("{\"name\":\"歌单 ") + std::to_string(i) +
             "\",\"id\":" + std::to_string(7000 + i) + "}";
  return arrayName == "playlists" ? "{\"code\":200,\"playlists\":[" + items + "]}"
                                  : "{\"code\":200,\"result\":{\"playlists\":[" + items + "]}}";
}

}  // namespace lumora::test
