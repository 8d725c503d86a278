// Opening the login window logged in and out, the account's playlists after a second login, and
// a like once logged in.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "LoginFlowSupport.h"
#include "json/JsonDocument.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using Events = std::vector<std::string>;

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

  // Logout: the menu, the panel and the like item in that order, then the window closes.
  events.clear();
  flow.logout(packWindow);
  EXPECT_EQ(events, (Events{"menu 登录", "panel hidden", "like hidden", "close"}));
  RecordingLoginWindow afterLogout{events};
  events.clear();
  flow.windowCreated(afterLogout);
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
  // The server's log hides the cookie's value; the liked playlist below shows it was valid.
  EXPECT_EQ(request.rfind("POST /like?id=" + songId + "&cookie=-&timestamp=", 0), 0u) << request;
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
