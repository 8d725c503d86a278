#pragma once
// Shared bits of the server tests: one server per test process and JSON reading.
#include <gtest/gtest.h>
#include <simdjson.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "net/UrlEncode.h"
#include "support/ServerProcess.h"
#include "support/ServerSuite.h"

namespace lumora::test {

// The raw bytes between two markers, as the player cuts its lyric out of the answer.
inline std::string Between(const std::string& text, const std::string& open,
                           const std::string& close) {
  std::size_t a = text.find(open);
  if (a == std::string::npos) return "";
  a += open.size();
  std::size_t b = text.find(close, a);
  return b == std::string::npos ? "" : text.substr(a, b - a);
}

// The "code" of an answer's JSON, as text; the start of the answer when it has none.
inline std::string CodeOf(const std::string& answer) {
  std::size_t at = answer.find("\"code\":");
  if (at == std::string::npos) return answer.substr(0, 40);
  at += 7;
  return answer.substr(at, answer.find_first_not_of("0123456789-", at) - at);
}

// The number a counting query finds in a stopped server's database; -1 when it cannot be read.
inline int CountStored(const std::filesystem::path& dataDir, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* count = nullptr;
  int n = -1;
  if (sqlite3_open((dataDir / "lumora-server.db").c_str(), &db) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql, -1, &count, nullptr) == SQLITE_OK &&
      sqlite3_step(count) == SQLITE_ROW)
    n = sqlite3_column_int(count, 0);
  sqlite3_finalize(count);
  sqlite3_close(db);
  return n;
}

class ServerTest : public ServerSuite {
 protected:
  // The server itself is under test here, so it must also stop cleanly.
  static void TearDownTestSuite() {
    if (server_) {
      EXPECT_EQ(server_->stop(), 0);
    }
    ServerSuite::TearDownTestSuite();
  }

  // GET (or POST) a target; parses the JSON body into doc_ and returns the HTTP status.
  int Get(const std::string& target) { return Fetch(target, false); }
  int Post(const std::string& target) { return Fetch(target, true); }
  int Fetch(const std::string& target, bool post) {
    auto reply = post ? server_->post(target) : server_->get(target);
    if (!reply) {
      ADD_FAILURE() << "no answer to " << target;
      return 0;
    }
    body_ = reply->body;
    auto result = parser_.parse(body_);
    if (result.error()) {
      ADD_FAILURE() << target << " answered non-JSON: " << body_.substr(0, 200);
      doc_ = empty_.parse(std::string("{}")).value();
    } else {
      doc_ = result.value();
    }
    return reply->status;
  }
  std::int64_t Code() {
    std::int64_t code = -1;
    return doc_["code"].get(code) ? -1 : code;
  }

  // Logs in one of the demo accounts and returns its cookie text.
  std::string LoginCookie(const std::string& phone) {
    EXPECT_EQ(Post("/login/cellphone?phone=" + phone +
                   "&md5_password=98a6619f9bc9cdd67e27e884d758da4b&timestamp=1"),
              200);
    std::string_view cookie;
    EXPECT_FALSE(doc_["cookie"].get(cookie));
    return std::string(cookie);
  }

  simdjson::dom::parser parser_, empty_;
  simdjson::dom::element doc_;
  std::string body_;
};

}  // namespace lumora::test
