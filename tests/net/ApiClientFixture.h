#pragma once
// One lumora-server per test program, a client over the shared apiJson and Session, a view that
// records what the routines show, and the request targets the server logged.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/ApiClient.h"
#include "support/ServerProcess.h"
#include "support/ServerSuite.h"
#include "support/WaitFor.h"

namespace lumora::test {

inline constexpr const char* kDemoPasswordMd5 = "98a6619f9bc9cdd67e27e884d758da4b";

class RecordingView : public ApiView {
 public:
  void setLikeResult(const std::string& text) override { events.push_back("like " + text); }
  void setCoverPicture(const std::string& bytes) override {
    cover = bytes;
    events.push_back("cover " + std::to_string(bytes.size()));
  }
  void setSongNameCaption(const std::string& text) override { events.push_back("name " + text); }
  void setArtistCaption(const std::string& text) override {
    artistCaption = text;
    ++artistCaptions;
  }
  void showMessage(const std::string& text) override { events.push_back("message " + text); }
  void pumpedWait(int ms) override { events.push_back("wait " + std::to_string(ms)); }
  void processPendingEvents() override { ++pumps; }

  std::vector<std::string> events;  // everything but the per-song progress
  std::string cover;
  std::string artistCaption;
  int artistCaptions = 0;
  int pumps = 0;
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
  ApiClient client{apiJson, session, view, server_->baseUrl()};
};

}  // namespace lumora::test
