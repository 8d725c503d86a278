// The account routines against lumora-server's demo accounts, and their requests as they reach
// the wire.
#include <gtest/gtest.h>

#include <regex>

#include "net/AccountClient.h"
#include "net/ApiClient.h"
#include "net/UrlEncode.h"
#include "support/RecordingServer.h"
#include "support/ServerSuite.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

constexpr const char* kPassword = "lumora123";
constexpr const char* kPasswordMd5 = "98a6619f9bc9cdd67e27e884d758da4b";

TEST(PasswordDigest, IsTheMd5OfTheGbkBytesInLowerCaseHex) {
  const struct {
    const char* password;
    const char* digest;
  } cases[] = {
      {kPassword, kPasswordMd5},
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      // GBK C3 DC C2 EB, not the UTF-8 bytes (whose digest is a8105204...).
      {"密码", "d2293e30f0c964c5f6242486aa8a483c"},
      // A character GBK lacks goes in as "?", as the settings text does.
      {"密码🎵", "0f22217a264908b539ac7cb817bc8f32"},
  };
  for (const auto& c : cases) EXPECT_EQ(PasswordDigest(c.password), c.digest) << c.password;
}

TEST(LoginTarget, EncodesTheAccountAndKeepsTheParameterOrder) {
  const struct {
    LoginMode mode;
    const char* account;
    const char* target;
  } cases[] = {
      {LoginMode::Phone, "13800000001",
       "/login/cellphone?phone=13800000001&md5_password=D&timestamp=T"},
      {LoginMode::Email, "a+b@example.org",
       "/login?email=a%2Bb%40example.org&md5_password=D&timestamp=T"},
      {LoginMode::Email, "x&md5_password=0#y %z",
       "/login?email=x%26md5_password%3D0%23y%20%25z&md5_password=D&timestamp=T"},
      {LoginMode::None, "13800000001", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LoginTarget(c.mode, c.account, "D", "T"), c.target);
}

// The raw request lines, against a server that records them.
class AccountWire : public ::testing::Test {
 protected:
  std::string requestLine(std::size_t i) const {
    const auto requests = recorder.requests();
    if (i >= requests.size()) return {};
    return requests[i].raw.substr(0, requests[i].raw.find("\r\n"));
  }

  RecordingServer recorder{[](const RecordingServer::Request&) {
    return RecordingServer::ok(
        R"({"code":200,"cookie":"lumora_session=a b;c","account":{"id":1001,"vipType":0},)"
        R"("profile":{"nickname":"n","avatarUrl":"u"},"playlist":[]})");
  }};
  AccountClient client{recorder.url("")};
};

TEST_F(AccountWire, SendsEachRequestLineByteForByte) {
  const std::regex timestamp("[0-9]{13}");
  ASSERT_EQ(client.Login(LoginMode::Phone, "13800000001", kPassword), "200");
  ASSERT_EQ(client.Login(LoginMode::Email, "a+b@example.org", kPassword), "200");
  client.LoadAccountPlaylists("1001");
  client.Logout();
  EXPECT_EQ(client.Login(LoginMode::None, "13800000001", kPassword), "");

  const auto requests = recorder.requests();
  ASSERT_EQ(requests.size(), 4u);
  std::smatch ts;
  const std::string phone = requestLine(0);
  ASSERT_TRUE(std::regex_search(phone, ts, timestamp)) << phone;
  EXPECT_EQ(phone, "POST /login/cellphone?phone=13800000001&md5_password=" +
                       std::string(kPasswordMd5) + "&timestamp=" + ts.str() + " HTTP/1.1");
  const std::string email = requestLine(1);
  ASSERT_TRUE(std::regex_search(email, ts, timestamp)) << email;
  EXPECT_EQ(email, "POST /login?email=a%2Bb%40example.org&md5_password=" +
                       std::string(kPasswordMd5) + "&timestamp=" + ts.str() + " HTTP/1.1");
  EXPECT_EQ(requestLine(2), "GET /user/playlist?cookie=" + UrlEncode("lumora_session=a b;c", 1) +
                                "&uid=1001&limit=30&offset=0 HTTP/1.1");
  EXPECT_EQ(requestLine(3),
            "POST /logout?cookie=" + UrlEncode("lumora_session=a b;c", 1) + " HTTP/1.1");
  for (const auto& request : requests) {
    EXPECT_TRUE(request.body.empty()) << request.target;
    for (const std::string& line : requestHeaderLines(request.raw))
      EXPECT_NE(line.rfind("Cookie:", 0), 0u) << request.target << ": " << line;
    EXPECT_EQ(request.raw.find(kPassword), std::string::npos);
  }
}

class AccountClientTest : public ServerSuite {
 protected:
  AccountClient client{server_->baseUrl()};
  const Session& session = client.session();
};

TEST_F(AccountClientTest, LogsInTheDemoAccountsAndReadsTheSession) {
  const struct {
    LoginMode mode;
    const char* account;
    const char* password;
    const char* code;
    const char* accountId;
    const char* nickname;
    const char* vipType;
  } cases[] = {
      {LoginMode::Phone, "13800000001", kPassword, "200", "1001", "小鹿听歌", "0"},
      {LoginMode::Phone, "13800000011", kPassword, "200", "1011", "夜莺", "11"},
      {LoginMode::Email, "pack@lumora.test", kPassword, "200", "1010", "Music Pack 用户", "10"},
      {LoginMode::Phone, "13800000001", "lumora124", "502", "", "", ""},
      {LoginMode::Email, "nobody@lumora.test", kPassword, "501", "", "", ""},
      // The prompt still in the box goes out as the account.
      {LoginMode::Phone, "请输入手机号", kPassword, "400", "", "", ""},
      {LoginMode::Email, "plain@lumora.test&x=1", kPassword, "400", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.account);
    AccountClient client{server_->baseUrl(), InPlaceRunner(), {.cookie = "lumora_session=earlier"}};
    const Session& session = client.session();
    EXPECT_EQ(client.Login(c.mode, c.account, c.password), c.code);
    EXPECT_EQ(session.accountId, c.accountId);
    EXPECT_EQ(session.nickname, c.nickname);
    EXPECT_EQ(session.vipType, c.vipType);
    if (std::string(c.code) == "200") {
      EXPECT_EQ(session.cookie.rfind("lumora_session=", 0), 0u);
      EXPECT_NE(session.cookie, "lumora_session=earlier");
      EXPECT_EQ(session.avatarUrl, server_->baseUrl() + "/avatar/" + c.accountId + ".jpg");
    } else {
      // A refusal carries no cookie, so it ends the earlier login.
      EXPECT_EQ(session.cookie, "");
      EXPECT_EQ(session.avatarUrl, "");
    }
    EXPECT_EQ(session.loginState, "") << "the login handler owns the state";
  }
  EXPECT_EQ(server_->output().find(kPassword), std::string::npos);
}

TEST_F(AccountClientTest, AnAnswerThatDoesNotParseChangesNothing) {
  AccountClient client{server_->baseUrl(),
                       InPlaceRunner(),
                       {.cookie = "lumora_session=kept",
                        .accountId = "1001",
                        .nickname = "n",
                        .vipType = "0",
                        .accountPlaylistNames = {"a"},
                        .accountPlaylistIds = {"1"}}};
  const Session& session = client.session();
  for (const char* path : {"/login/cellphone", "/user/playlist"})
    ASSERT_TRUE(server_->answerWith(path, "<html>busy</html>", 503));
  EXPECT_EQ(client.Login(LoginMode::Phone, "13800000001", kPassword), "");
  client.LoadAccountPlaylists("1001");
  EXPECT_EQ(session.cookie, "lumora_session=kept");
  EXPECT_EQ(session.nickname, "n");
  EXPECT_EQ(session.accountPlaylistNames, std::vector<std::string>{"a"});
}

TEST_F(AccountClientTest, PlaylistsReplaceTheListsOnEachLoad) {
  client.LoadAccountPlaylists("1001");
  EXPECT_TRUE(session.accountPlaylistIds.empty()) << "logged out: nothing is asked";

  ASSERT_EQ(client.Login(LoginMode::Phone, "13800000001", kPassword), "200");
  client.LoadAccountPlaylists(session.accountId);
  const auto names = session.accountPlaylistNames;
  const auto ids = session.accountPlaylistIds;
  ASSERT_FALSE(ids.empty());
  EXPECT_LE(ids.size(), 30u);
  EXPECT_EQ(names.size(), ids.size());
  // The account's own liked-songs playlist comes first.
  EXPECT_EQ(ids.front(), std::to_string(7000000000ull + 1001));
  client.LoadAccountPlaylists(session.accountId);
  EXPECT_EQ(session.accountPlaylistIds, ids);
  EXPECT_EQ(session.accountPlaylistNames, names);

  // An error answer has no list: the account's lists stay.
  ASSERT_TRUE(server_->answerWith("/user/playlist", R"({"code":301,"msg":"需要登录"})"));
  client.LoadAccountPlaylists(session.accountId);
  EXPECT_EQ(session.accountPlaylistIds, ids);
}

TEST_F(AccountClientTest, LogoutForgetsTheCookieAndKeepsTheProfile) {
  ASSERT_EQ(client.Login(LoginMode::Email, "vip@lumora.test", kPassword), "200");
  client.LoadAccountPlaylists(session.accountId);
  const Session before = session;
  // Whoever kept a copy of the cookie gets nothing for it once the account logged out.
  JsonDocument keptJson;
  ApiClient kept{keptJson, before, server_->baseUrl()};
  ASSERT_FALSE(kept.FetchPersonalFm().empty());
  ASSERT_EQ(kept.LikeSong("1000005"), kLikeSucceeded);
  client.Logout();
  EXPECT_TRUE(kept.FetchPersonalFm().empty());
  EXPECT_EQ(kept.LastReply(), ApiReply::NeedsLogin);
  EXPECT_NE(kept.LikeSong("1000006"), kLikeSucceeded);
  EXPECT_EQ(session.cookie, "");
  EXPECT_EQ(session.loginState, kLoggedOut);
  EXPECT_EQ(session.accountId, before.accountId);
  EXPECT_EQ(session.nickname, before.nickname);
  EXPECT_EQ(session.avatarUrl, before.avatarUrl);
  EXPECT_EQ(session.vipType, before.vipType);
  EXPECT_EQ(session.accountPlaylistIds, before.accountPlaylistIds);
  // The server logs a request once its answer is out.
  ASSERT_TRUE(
      waitFor([] { return !server_->requestsTo("/logout").empty(); }, std::chrono::seconds(5)));
  EXPECT_EQ(server_->requestsTo("/logout").back().rfind("POST /logout?cookie=", 0), 0u);
}

}  // namespace
}  // namespace lumora::test
