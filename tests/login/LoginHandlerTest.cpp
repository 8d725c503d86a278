// The login handler against lumora-server's demo accounts: validation, the answers' codes and
// what each leaves on both windows.
#include <gtest/gtest.h>

#include "LoginFlowSupport.h"
#include "support/RecordingServer.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using Events = std::vector<std::string>;

// The login flow against a server that records what it is sent and answers as it is told.
struct RecordedFlow {
  explicit RecordedFlow(RecordingServer::Handler answer) : recorder(std::move(answer)) {}
  RecordingServer recorder;
  AccountClient client{recorder.url("")};
  Events events;
  JsonDocument apiJson;
  RecordingMainWindow mainWindow{events, apiJson, client.session(), recorder.url("")};
  LoginFlow flow{client, mainWindow};
  RecordingLoginWindow window{events};
};

TEST(LoginValidation, ShowsWhatIsMissingAndSendsNothing) {
  RecordedFlow f([](const RecordingServer::Request&) { return RecordingServer::ok("ok"); });
  const struct {
    const char* account;
    const char* password;
    const char* message;
  } cases[] = {
      {"", "", "请输入账号密码"},
      {"13800000001", "", "请输入密码"},
      {"", "lumora123", "请输入账号"},
  };
  for (const auto& c : cases) {
    f.window.account = c.account;
    f.window.password = c.password;
    f.events.clear();
    f.flow.login(f.window);
    EXPECT_EQ(f.events, Events{std::string("message ") + c.message});
  }
  EXPECT_TRUE(f.recorder.requests().empty());
}

// A login the server turned away before looking at the password is not called wrong: the
// window says when to try again, replacing what an earlier try left there.
TEST(LoginRefusal, SaysWhenToTryAgain) {
  const struct {
    std::vector<std::string> headers;
    const char* message;
  } cases[] = {
      {{"Retry-After: 7"}, "登录太频繁，请7秒后再试"},
      {{"retry-after:16"}, "登录太频繁，请16秒后再试"},
      {{}, "登录太频繁，请稍后再试"},
      {{"Retry-After: Wed, 21 Oct 2015 07:28:00 GMT"}, "登录太频繁，请稍后再试"},
  };
  for (const auto& c : cases) {
    RecordedFlow f([&c](const RecordingServer::Request&) {
      return RecordingServer::Answer{RecordingServer::response(
          429, c.headers, R"({"code":429,"msg":"登录太频繁，请稍后再试"})")};
    });
    f.window.message = kWrongPassword;
    f.window.account = "13800000001";
    f.window.password = kDemoPassword;
    f.events.clear();
    f.flow.login(f.window);
    EXPECT_EQ(f.events, Events{std::string("message ") + c.message});
  }
}

TEST_F(LoginFlowTest, ThePlainAccountLogsInStepByStep) {
  logIn(LoginMode::Phone, "13800000001");
  const Events expected = {"message 登录成功,请关闭窗口",
                           "menu 小鹿听歌",
                           "nickname 小鹿听歌",
                           "avatar",
                           "like shown",
                           "panel shown",
                           "account ",
                           "password "};
  EXPECT_EQ(events, expected);
  EXPECT_FALSE(window.avatar.empty()) << "the avatar picture arrived";
  EXPECT_EQ(session.loginState, kLoggedIn);
  EXPECT_FALSE(session.accountPlaylistIds.empty());
  EXPECT_TRUE(mainWindow.fmQueue.empty()) << "歌单模式: no batch asked for, nothing starts";
}

TEST_F(LoginFlowTest, TheMenuShowsWhatTheMembershipAllows) {
  const struct {
    LoginMode mode;
    const char* account;
    const char* shown;  // menu and nickname label; null leaves both (and the avatar) alone
  } cases[] = {
      {LoginMode::Phone, "13800000011", "【VIP】夜莺"},
      {LoginMode::Email, "vip@lumora.test", "【VIP】夜莺"},
      {LoginMode::Email, "plain@lumora.test", "小鹿听歌"},
      {LoginMode::Phone, "13800000010", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.account);
    logIn(c.mode, c.account);
    Events expected = {"message 登录成功,请关闭窗口"};
    if (c.shown)
      expected.insert(expected.end(), {std::string("menu ") + c.shown,
                                       std::string("nickname ") + c.shown, "avatar"});
    expected.insert(expected.end(), {"like shown", "panel shown", "account ", "password "});
    EXPECT_EQ(events, expected);
    EXPECT_EQ(session.loginState, kLoggedIn);
    EXPECT_FALSE(session.accountPlaylistIds.empty());
  }
}

TEST_F(LoginFlowTest, RefusalsSayWhyAndLeaveTheFormFilled) {
  const struct {
    LoginMode mode;
    const char* account;
    const char* password;
    const char* message;
  } cases[] = {
      {LoginMode::Phone, "13800000001", "lumora124", "密码错误"},
      {LoginMode::Email, "nobody@lumora.test", kDemoPassword, "账号不存在"},
      // The prompts still in the boxes pass the check and go to the server.
      {LoginMode::Phone, kPhonePrompt, kPasswordPrompt, "输入错误"},
      {LoginMode::Email, "plain@lumora.test&x=1", kDemoPassword, "输入错误"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.account);
    logIn(c.mode, c.account, c.password);
    EXPECT_EQ(events, Events{std::string("message ") + c.message});
    EXPECT_EQ(session.loginState, kLoggedOut);
    EXPECT_EQ(window.account, c.account);
    EXPECT_EQ(window.password, c.password);
  }
  EXPECT_FALSE(mainWindow.likeItemVisible);
}

TEST_F(LoginFlowTest, ARefusalAfterALoginShowsTheLoginGone) {
  logIn(LoginMode::Phone, "13800000001");
  ASSERT_FALSE(session.cookie.empty());
  logIn(LoginMode::Phone, "13800000001", "wrong");
  EXPECT_EQ(events, (Events{"message 密码错误", "menu 登录", "panel hidden", "like hidden"}));
  EXPECT_EQ(session.cookie, "");
  EXPECT_EQ(session.loginState, kLoggedOut);
}

TEST_F(LoginFlowTest, OtherAnswersChangeNothing) {
  // Not JSON: the earlier login stands untouched.
  logIn(LoginMode::Phone, "13800000001");
  const std::string cookie = session.cookie;
  ASSERT_TRUE(server_->answerWith("/login/cellphone", "<html>busy</html>", 503));
  logIn(LoginMode::Phone, "13800000011");
  EXPECT_EQ(events, Events{});
  EXPECT_EQ(session.cookie, cookie);
  EXPECT_EQ(session.loginState, kLoggedIn);
}

// A code the player does not know, before any login: no message, nothing shown.
TEST_F(LoginFlowTest, AnUnknownCodeBeforeAnyLoginChangesNothing) {
  ASSERT_TRUE(server_->answerWith("/login/cellphone", R"({"code":-460,"msg":"风险"})"));
  logIn(LoginMode::Phone, "13800000001");
  EXPECT_EQ(events, Events{});
  EXPECT_EQ(session.loginState, "");
}

TEST_F(LoginFlowTest, AnUnknownAnswerThatDropsTheCookieEndsTheShownLogin) {
  logIn(LoginMode::Phone, "13800000001");
  ASSERT_TRUE(server_->answerWith("/login/cellphone", R"({"code":503})"));
  logIn(LoginMode::Phone, "13800000001");
  EXPECT_EQ(events, (Events{"menu 登录", "panel hidden", "like hidden"}));
  EXPECT_EQ(session.loginState, kLoggedOut);
}

TEST_F(LoginFlowTest, InPersonalFmTheQueueStartsOverForTheAccount) {
  mainWindow.mode = "私人FM模式";
  mainWindow.fmQueue.push_back({.id = "1", .name = "left from before", .artists = "", .album = ""});
  logIn(LoginMode::Phone, "13800000011");
  const Events expected = {"message 登录成功,请关闭窗口",
                           "menu 【VIP】夜莺",
                           "nickname 【VIP】夜莺",
                           "avatar",
                           "like shown",
                           "panel shown",
                           "clear fm",
                           "play next",
                           "account ",
                           "password "};
  EXPECT_EQ(events, expected);
  ASSERT_FALSE(mainWindow.fmQueue.empty());
  EXPECT_NE(mainWindow.fmQueue.front().id, "1");
  ASSERT_TRUE(waitFor([] { return !server_->requestsTo("/personal_fm").empty(); },
                      std::chrono::seconds(5)));
  const std::string request = server_->requestsTo("/personal_fm").back();
  // The server's log hides the cookie's value; the account's batch above shows it was valid.
  EXPECT_FALSE(session.cookie.empty());
  EXPECT_EQ(request.rfind("GET /personal_fm?cookie=-&timestamp=", 0), 0u) << request;
}

}  // namespace
}  // namespace lumora::test
