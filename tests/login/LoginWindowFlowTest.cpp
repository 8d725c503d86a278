// The login window's other handlers: opening, the mode switches, focus, the account's
// playlists, logout, and a like once logged in.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "LoginFlowSupport.h"
#include "json/JsonDocument.h"
#include "net/UrlEncode.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using Events = std::vector<std::string>;

TEST_F(LoginFlowTest, TheLikeItemIsHiddenUntilALogin) { EXPECT_FALSE(mainWindow.likeItemVisible); }

TEST_F(LoginFlowTest, OpeningShowsThePanelOnlyWhenLoggedIn) {
  flow.windowCreated(window);
  EXPECT_EQ(events, (Events{"digits only", "panel hidden"})) << "never logged in";

  logIn(LoginMode::Phone, "13800000011");
  RecordingLoginWindow reopened{events};
  events.clear();
  flow.windowCreated(reopened);
  EXPECT_EQ(events, (Events{"digits only", "panel shown", "nickname 【VIP】夜莺", "avatar"}));
  EXPECT_FALSE(reopened.avatar.empty());

  logIn(LoginMode::Phone, "13800000010");
  RecordingLoginWindow packWindow{events};
  events.clear();
  flow.windowCreated(packWindow);
  EXPECT_EQ(events, (Events{"digits only", "panel shown"})) << "vipType 10 shows no nickname";

  logIn(LoginMode::Phone, "13800000001", "wrong");
  RecordingLoginWindow refused{events};
  events.clear();
  flow.windowCreated(refused);
  EXPECT_EQ(events, (Events{"digits only", "panel hidden"}));
}

TEST_F(LoginFlowTest, SwitchingModesPutsThePromptBack) {
  window.account = "13800000001";
  flow.selectMode(window, LoginMode::Email);
  EXPECT_EQ(events, (Events{"check email", "caption 邮箱：", "account 请输入邮箱", "focus caption",
                            "any input"}));
  window.account = "someone@lumora.test";
  events.clear();
  flow.selectMode(window, LoginMode::Phone);
  EXPECT_EQ(events, (Events{"check phone", "caption 手机号：", "account 请输入手机号",
                            "focus caption", "digits only"}));
  EXPECT_EQ(window.account, kPhonePrompt);
}

TEST_F(LoginFlowTest, EveryFocusEmptiesTheBox) {
  window.account = "138";
  window.password = "secret";
  flow.accountFocused(window);
  flow.passwordFocused(window);
  window.password = "typed again";
  flow.passwordFocused(window);
  EXPECT_EQ(events, (Events{"account ", "password ", "masked", "password ", "masked"}));
  EXPECT_EQ(window.password, "");
}

TEST_F(LoginFlowTest, LogoutEndsTheLoginAndClosesTheWindow) {
  logIn(LoginMode::Email, "plain@lumora.test");
  const std::string cookie = session.cookie;
  events.clear();
  flow.logout(window);
  EXPECT_EQ(events, (Events{"menu 登录", "panel hidden", "like hidden", "close"}));
  EXPECT_EQ(session.cookie, "");
  EXPECT_EQ(session.loginState, kLoggedOut);
  ASSERT_TRUE(
      waitFor([] { return !server_->requestsTo("/logout").empty(); }, std::chrono::seconds(5)));
  EXPECT_EQ(server_->requestsTo("/logout").back().rfind("POST /logout ", 0), 0u);

  RecordingLoginWindow reopened{events};
  events.clear();
  flow.windowCreated(reopened);
  EXPECT_EQ(events, (Events{"digits only", "panel hidden"}));
}

TEST_F(LoginFlowTest, LoggingInTwiceListsThePlaylistsOnce) {
  logIn(LoginMode::Phone, "13800000001");
  flow.logout(window);
  logIn(LoginMode::Phone, "13800000001");
  events.clear();
  flow.showAccountPlaylists(window);
  EXPECT_EQ(events, (Events{"square " + std::to_string(mainWindow.shownIds.size()), "close"}));
  ASSERT_FALSE(mainWindow.shownIds.empty());
  EXPECT_EQ(mainWindow.shownNames.size(), mainWindow.shownIds.size());
  const std::set<std::string> distinct(mainWindow.shownIds.begin(), mainWindow.shownIds.end());
  EXPECT_EQ(distinct.size(), mainWindow.shownIds.size());
}

TEST_F(LoginFlowTest, ALikeAfterLoginIsRecordedForTheAccount) {
  mainWindow.mode = "私人FM模式";
  logIn(LoginMode::Phone, "13800000001");
  ASSERT_FALSE(mainWindow.fmQueue.empty());
  const std::string songId = mainWindow.fmQueue.front().id;
  EXPECT_EQ(mainWindow.api.LikeSong(songId), "喜欢歌曲成功");

  ASSERT_TRUE(
      waitFor([] { return !server_->requestsTo("/like").empty(); }, std::chrono::seconds(5)));
  const std::string request = server_->requestsTo("/like").back();
  EXPECT_EQ(
      request.rfind(
          "POST /like?id=" + songId + "&cookie=" + UrlEncode(session.cookie, 1) + "&timestamp=", 0),
      0u)
      << request;
  // The account's liked-songs playlist now holds the song.
  const auto liked = server_->get("/playlist/detail?id=" + std::to_string(7000000000ull + 1001));
  ASSERT_TRUE(liked && liked->status == 200);
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(liked->body));
  std::vector<std::string> ids;
  for (int i = 0; i < doc.Count("playlist.trackIds"); ++i)
    ids.push_back(doc.GetSubDocument("playlist.trackIds[" + std::to_string(i) + "].id").ToText());
  EXPECT_NE(std::find(ids.begin(), ids.end(), songId), ids.end());
}

}  // namespace
}  // namespace lumora::test
