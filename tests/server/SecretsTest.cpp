// What the server keeps and logs of passwords and sessions, and how it treats guessers.
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ServerTestUtil.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

constexpr const char* kMd5 = "98a6619f9bc9cdd67e27e884d758da4b";
const std::string kLogin = std::string("/login/cellphone?phone=13800000001&md5_password=");

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The database and its journals, as bytes.
std::string StoredBytes(const fs::path& data) {
  std::string all;
  for (const char* tail : {"", "-wal", "-shm"})
    all += Slurp(data / ("lumora-server.db" + std::string(tail)));
  return all;
}

bool RunSql(const fs::path& db, const std::string& sql) {
  sqlite3* handle = nullptr;
  bool ok = sqlite3_open(db.c_str(), &handle) == SQLITE_OK &&
            sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(handle);
  return ok;
}

// The digits after an answer's first "code":
std::string CodeOf(const std::string& body) {
  std::size_t at = body.find("\"code\":");
  if (at == std::string::npos) return body;
  at += 7;
  return body.substr(at, body.find_first_not_of("0123456789-", at) - at);
}

// The personal FM's code for a cookie: 200 for a live session, 301 for none.
std::string FmCode(const ServerProcess& server, const std::string& cookie) {
  auto fm = server.get("/personal_fm?cookie=" + UrlEncode(cookie, 1) + "&timestamp=1");
  return fm ? CodeOf(fm->body) : "no answer";
}

std::string LoginCookie(const ServerProcess& server) {
  auto login = server.post(kLogin + kMd5 + "&timestamp=1");
  return login ? Between(login->body, "\"cookie\":\"", "\"") : "";
}

TEST(ServerSecrets, NothingStoredOrLoggedWorksAsACredential) {
  TempDir data;
  ServerProcess server(ServerProcess::Options{data.path() / "private", {}, {}});
  ASSERT_TRUE(server.start()) << server.errors();
  const std::string cookie = LoginCookie(server);
  ASSERT_EQ(cookie.rfind("lumora_session=", 0), 0u) << cookie;
  const std::string token = cookie.substr(cookie.find('=') + 1);
  EXPECT_EQ(FmCode(server, cookie), "200");
  server.stop();

  struct stat dir {
  }, db{};
  ASSERT_EQ(stat((data.path() / "private").c_str(), &dir), 0);
  ASSERT_EQ(stat((data.path() / "private/lumora-server.db").c_str(), &db), 0);
  EXPECT_EQ(dir.st_mode & 0777, 0700u);
  EXPECT_EQ(db.st_mode & 0777, 0600u);
  const std::string stored = StoredBytes(data.path() / "private");
  const std::string log = server.output();
  const struct {
    const char* where;
    const std::string& text;
    std::string secret;
  } places[] = {{"database", stored, kMd5},
                {"database", stored, token},
                {"log", log, kMd5},
                {"log", log, token}};
  for (const auto& p : places)
    EXPECT_EQ(p.text.find(p.secret), std::string::npos) << p.where << " holds " << p.secret;
  EXPECT_NE(log.find("md5_password=-&timestamp=1 200"), std::string::npos) << log;
  EXPECT_NE(log.find("/personal_fm?cookie=-&timestamp=1 200"), std::string::npos) << log;
}

TEST(ServerSecrets, AnOlderDatabaseIsConvertedWhenOpened) {
  TempDir data;
  const fs::path db = data.path() / "lumora-server.db";
  ASSERT_TRUE(
      RunSql(db,
             "CREATE TABLE accounts(uid INTEGER PRIMARY KEY, phone TEXT UNIQUE, email TEXT"
             " UNIQUE, md5_password TEXT NOT NULL, nickname TEXT NOT NULL, vip_type INTEGER"
             " NOT NULL DEFAULT 0);"
             "CREATE TABLE sessions(token TEXT PRIMARY KEY, uid INTEGER NOT NULL, created"
             " INTEGER NOT NULL);"
             "CREATE TABLE likes(uid INTEGER NOT NULL, song_id TEXT NOT NULL, created"
             " INTEGER NOT NULL, PRIMARY KEY(uid, song_id));"
             "INSERT INTO accounts VALUES(1001, '13800000001', 'plain@lumora.test',"
             " '" +
                 std::string(kMd5) +
                 "', 'old', 0);"
                 "INSERT INTO sessions VALUES('0123456789abcdef0123', 1001, strftime('%s'));"));
  chmod(db.c_str(), 0644);
  ServerProcess server(ServerProcess::Options{data.path(), {}, {}});
  ASSERT_TRUE(server.start()) << server.errors();
  const struct {
    std::string target;
    std::string code;
  } cases[] = {
      {kLogin + kMd5 + "&timestamp=1", "200"},
      {kLogin + "00000000000000000000000000000000&timestamp=1", "502"},
      {"/login/cellphone?phone=13800000009&md5_password=" + std::string(kMd5), "501"},
  };
  for (const auto& c : cases) {
    auto reply = server.post(c.target);
    ASSERT_TRUE(reply);
    EXPECT_EQ(CodeOf(reply->body), c.code) << c.target << " -> " << reply->body;
  }
  EXPECT_EQ(FmCode(server, "lumora_session=0123456789abcdef0123"), "200");
  server.stop();
  struct stat st {};
  ASSERT_EQ(stat(db.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string stored = StoredBytes(data.path());
  EXPECT_EQ(stored.find(kMd5), std::string::npos);
  EXPECT_EQ(stored.find("0123456789abcdef0123"), std::string::npos);
}

TEST(ServerSecrets, SessionsEndByNumberAndByDisuse) {
  TempDir data;
  std::vector<std::string> cookies;
  {
    ServerProcess server(ServerProcess::Options{data.path(), {}, {}});
    ASSERT_TRUE(server.start()) << server.errors();
    for (int i = 0; i < 9; ++i) cookies.push_back(LoginCookie(server));
    EXPECT_EQ(FmCode(server, cookies.front()), "301");  // the ninth login ended the first
    EXPECT_EQ(FmCode(server, cookies[1]), "200");
    EXPECT_EQ(FmCode(server, cookies.back()), "200");
    server.stop();
  }
  // A month without use, as if it had passed.
  ASSERT_TRUE(RunSql(data.path() / "lumora-server.db",
                     "UPDATE sessions SET last_used = last_used - 31 * 86400 WHERE rowid ="
                     " (SELECT min(rowid) FROM sessions)"));
  ServerProcess again(ServerProcess::Options{data.path(), {}, {}});
  ASSERT_TRUE(again.start()) << again.errors();
  EXPECT_EQ(FmCode(again, cookies[1]), "301");
  EXPECT_EQ(FmCode(again, cookies.back()), "200");
}

TEST(ServerSecrets, AGuesserIsSlowedButAnsweredAsBefore) {
  ServerProcess server;
  ASSERT_TRUE(server.start()) << server.errors();
  const std::string wrong = kLogin + "00000000000000000000000000000000&timestamp=1";
  for (int i = 0; i < 11; ++i) ASSERT_EQ(CodeOf(server.post(wrong)->body), "502");
  ASSERT_NE(LoginCookie(server), "");  // the right password still logs in, later
  // The server's own log says how long each login was held: the free ones not at all.
  std::vector<long> ms;
  for (const std::string& line : server.requestsTo("/login/cellphone"))
    ms.push_back(std::stol(line.substr(line.rfind(' ') + 1)));
  ASSERT_EQ(ms.size(), 12u);
  EXPECT_LT(ms[0], 500);
  EXPECT_GE(ms[10], 500);
  EXPECT_GE(ms[11], 1000);
}

}  // namespace
}  // namespace lumora::test
