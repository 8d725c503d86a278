// What each routine makes of the server's answers, real and crafted.
#include <gmock/gmock.h>

#include <cstdlib>
#include <ctime>

#include "common/Text.h"
#include "net/ApiClient.h"
#include "support/ApiClientFixture.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The loudness /song/url's item tells: only numbers a loudness can be, so that an answer that
// says nothing of it, or nonsense, leaves the song as it is.
TEST(SongGainOf, TakesOnlyFiguresALoudnessCanBe) {
  const struct {
    const char* item;
    std::optional<SongGain> gain;
  } rows[] = {
      {R"({"url":"u","gain":-6.5,"peak":0.98})", SongGain{-6.5, 0.98}},
      {R"({"url":"u","gain":3})", SongGain{3, std::nullopt}},
      {R"({"url":"u"})", std::nullopt},                        // a server that sends none
      {R"({"url":"u","gain":"-6.5"})", std::nullopt},          // text is no figure
      {R"({"url":"u","gain":null,"peak":0.5})", std::nullopt},  // a peak alone levels nothing
      {R"({"url":"u","gain":1e300})", std::nullopt},           // beyond any loudness
      {R"({"url":"u","gain":-2,"peak":0})", SongGain{-2, std::nullopt}},  // no peak at all
      {R"({"url":"u","gain":-2,"peak":"1"})", SongGain{-2, std::nullopt}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.item);
    JsonDocument json;
    ASSERT_TRUE(json.Parse(std::string(R"({"data":[)") + row.item + "]}"));
    EXPECT_EQ(SongGainOf(json, "data[0]"), row.gain);
  }
}

TEST(MakeTimestamp, IsUnixMillisecondsInEveryTimeZone) {
  // 2026-12-08 12:00:00.045 on a clock set to UTC+8.
  const auto noonInBeijing = std::chrono::system_clock::time_point(
      std::chrono::seconds(1796702400) + std::chrono::milliseconds(45));
  EXPECT_EQ(MakeTimestamp(noonInBeijing), "1796702400045");
  EXPECT_EQ(MakeTimestamp(std::chrono::system_clock::time_point(std::chrono::seconds(1796702400) +
                                                                std::chrono::milliseconds(5))),
            "1796702400005");

  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  for (const char* zone : {"America/New_York", "Asia/Shanghai", "UTC"}) {
    setenv("TZ", zone, 1);
    tzset();
    const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const std::string stamp = MakeTimestamp();
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    ASSERT_EQ(stamp.size(), 13u) << zone;
    EXPECT_GE(std::stoll(stamp), before) << zone;
    EXPECT_LE(std::stoll(stamp), after) << zone;
  }
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST_F(ApiClientTest, LikeShowsTheResultOfTheCode) {
  const std::string cookie = loginCookie();
  struct Case {
    std::string cookie, songId;
    std::vector<std::string> events;
  } cases[] = {
      {cookie, "1000002", {std::string("like ") + kLikeSucceeded}},
      {cookie, "42", {std::string("like ") + kLikeFailed}},  // 460: no such song
      {"lumora_session=0123", "1000002", {}},                       // 301: the session is unknown
  };
  for (const Case& c : cases) {
    view.events.clear();
    session.cookie = c.cookie;
    api.like(c.songId);
    EXPECT_EQ(view.events, c.events) << c.songId << " " << c.cookie;
  }
  EXPECT_EQ(sent("/like").size(), 3u);

  // The like landed: the account's liked playlist now holds the song.
  auto liked = server_->get("/playlist/detail?id=7000001001");
  ASSERT_TRUE(liked);
  EXPECT_NE(liked->body.find("{\"id\":1000002}"), std::string::npos) << liked->body;
}

TEST_F(ApiClientTest, LikeWhileLoggedOutSendsNothing) {
  api.like("1000002");
  EXPECT_THAT(view.events, IsEmpty());
  EXPECT_THAT(sent(), IsEmpty());
}

TEST_F(ApiClientTest, SongUrlFollowsTheAccount) {
  const std::string base = server_->baseUrl();
  EXPECT_EQ(client.GetSongUrl("1000002", "320000"), base + "/audio/1000002.mp3");
  EXPECT_EQ(client.GetSongUrl("9007199254740993", "320000"), base + "/audio/9007199254740993.mp3");
  // The members-only song has a null URL for anyone else.
  EXPECT_EQ(client.GetSongUrl("1000004", "320000"), "");
  session.cookie = loginCookie("13800000001");
  EXPECT_EQ(client.GetSongUrl("1000004", "320000"), "");
  session.cookie = loginCookie("13800000011");
  EXPECT_EQ(client.GetSongUrl("1000004", "320000"), base + "/audio/1000004.mp3");
}

TEST_F(ApiClientTest, LyricIsCutOutBetweenTheMarkers) {
  // The demo's first song has a line with quotes and a backslash: the escapes stay.
  const std::string lyric = client.GetLyric("1000001");
  EXPECT_EQ(lyric.rfind("[00:00.00]晨光序曲 - 林夕雨\\n", 0), 0u) << lyric;
  EXPECT_NE(lyric.find(R"(她说 \"别走\" \\ she said \"stay\"\n)"), std::string::npos) << lyric;
  EXPECT_EQ(lyric.find('\n'), std::string::npos);
  EXPECT_EQ(lyric.substr(lyric.size() - 2), "\\n");

  EXPECT_EQ(client.GetLyric("1000006"), "");  // a song without a lyric

  struct Case {
    const char* body;
    const char* lyric;
  } cases[] = {
      {R"({"lrc":{"version":2,"lyric":"[00:01.00]one\n[00:02.50]two\n"},"klyric":{"lyric":""},"code":200})",
       R"([00:01.00]one\n[00:02.50]two\n)"},
      {R"({"lrc":{"version":2,"lyric":"[00:01.00]one\n"},"code":200})", ""},
      // lyric not the last member of its object: the end marker is not there.
      {R"({"lrc":{"version":2,"lyric":"[00:01.00]one\n","v":1},"klyric":{"lyric":""}})", ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(server_->answerWith("/lyric", c.body, 0, 1));
    EXPECT_EQ(client.GetLyric("1000002"), c.lyric) << c.body;
  }
}

TEST_F(ApiClientTest, CoverImageIsTheAlbumPicture) {
  const Bytes picture = client.GetCoverImage("1000001");
  // No such song: no picture URL, so no second request.
  EXPECT_EQ(client.GetCoverImage("42"), "");
  EXPECT_THAT(sent("/cover/"), ElementsAre("GET /cover/album/201.jpg"));

  auto direct = server_->get("/cover/album/201.jpg");
  ASSERT_TRUE(direct);
  EXPECT_EQ(picture, direct->body);
  EXPECT_EQ(picture.substr(0, 2), "\xFF\xD8");
}

TEST_F(ApiClientTest, PersonalFmTakesTheFirstArtistAndTheAlbumType) {
  ASSERT_TRUE(server_->answerWith("/personal_fm", R"({"data":[
    {"id":9007199254740993,"name":"一","artists":[{"name":"A"},{"name":"B"}],"album":{"name":"N1","type":"专辑"}},
    {"id":1000002,"name":"二","artists":[{"name":"C"}],"album":{"name":"N2","type":"EP"}},
    {"id":1000003,"name":"三","artists":[],"album":{}}],"code":200})",
                                  0, 1));
  PlayQueue queue;
  queue.append({"1", "left", "over", "x"});
  api.fetchFm(queue);
  EXPECT_THAT(queue.ids, ElementsAre("1", "9007199254740993", "1000002", "1000003"));
  EXPECT_THAT(queue.names, ElementsAre("left", "一", "二", "三"));
  EXPECT_THAT(queue.artists, ElementsAre("over", "A", "C", ""));
  EXPECT_THAT(queue.albums, ElementsAre("x", "专辑", "EP", ""));
}

TEST_F(ApiClientTest, PersonalFmNeedsAnAccount) {
  PlayQueue queue;
  api.fetchFm(queue);  // 301 and no data
  EXPECT_TRUE(queue.empty());

  session.cookie = loginCookie();
  api.fetchFm(queue);
  api.fetchFm(queue);
  ASSERT_EQ(queue.size(), 6u);
  for (std::size_t i = 1; i <= queue.size(); ++i) {
    const Song song = queue.at(i);
    EXPECT_NE(song.id, "1000004") << "members-only song for a plain account";
    EXPECT_FALSE(song.name.empty());
    EXPECT_FALSE(song.artists.empty());
    EXPECT_EQ(song.artists.find(','), std::string::npos);
    EXPECT_EQ(song.album, "专辑");
  }
}

TEST_F(ApiClientTest, PlaylistJoinsAllArtists) {
  ASSERT_TRUE(server_->answerWith("/song/detail", R"({"songs":[
    {"id":1000002,"name":"二","ar":[{"name":"A"},{"name":"B"}],"al":{"name":"Album 2"}},
    {"id":1000003,"name":"三","ar":[{"name":"C"}],"al":{}},
    {"id":1000004,"name":"四","ar":[],"al":{"name":"Album 4"}}],"code":200})",
                                  0, 1));
  PlayQueue queue;
  queue.append({"1", "stale", "", ""});
  PlaylistLoadState state;
  api.load("3000001", queue, state);
  EXPECT_THAT(queue.ids, ElementsAre("1000002", "1000003", "1000004"));
  EXPECT_THAT(queue.names, ElementsAre("二", "三", "四"));
  EXPECT_THAT(queue.artists, ElementsAre("A,B", "C", ""));
  EXPECT_THAT(queue.albums, ElementsAre("Album 2", "", "Album 4"));
  EXPECT_EQ(state.playlistLoadCode, "200");
  EXPECT_EQ(state.playlistName, "华语流行精选");
  EXPECT_EQ(state.playlistCoverUrl, server_->baseUrl() + "/cover/playlist/3000001.jpg");

  auto cover = server_->get("/cover/playlist/3000001.jpg");
  ASSERT_TRUE(cover);
  EXPECT_EQ(view.cover, cover->body);
  EXPECT_THAT(view.events,
              ElementsAre("cover " + std::to_string(cover->body.size()), "name 华语流行精选"));
  EXPECT_EQ(view.songsReported, 3);
}

TEST_F(ApiClientTest, PlaylistNotFoundShowsTheMessageOnce) {
  PlayQueue queue;
  queue.append({"1", "stale", "", ""});
  PlaylistLoadState state{"200", "old cover", "old name"};
  api.load("1", queue, state);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(state.playlistLoadCode, "404");
  EXPECT_EQ(state.playlistName, "old name");
  EXPECT_THAT(view.events, ElementsAre("not found"));
  EXPECT_THAT(sent(), ElementsAre("GET /playlist/detail?id=1"));
}

TEST_F(ApiClientTest, PlaylistWhoseSongsDoNotParseStaysEmptyWithCode200) {
  ASSERT_TRUE(server_->answerWith("/song/detail", "<html>busy</html>", 0, 1));
  PlayQueue queue;
  queue.append({"1", "stale", "", ""});
  PlaylistLoadState state{"404", "", ""};
  api.load("3000002", queue, state);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(state.playlistLoadCode, "200");
  EXPECT_EQ(view.songsReported, 0);
}

TEST_F(ApiClientTest, EmptyPlaylistAsksWithAnEmptyIdList) {
  // A fresh account's liked-songs playlist has no tracks.
  PlayQueue queue;
  PlaylistLoadState state;
  api.load("7000001010", queue, state);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(state.playlistLoadCode, "200");
  EXPECT_THAT(sent("/song/detail"), ElementsAre("GET /song/detail?ids="));
}

TEST_F(ApiClientTest, HugePlaylistLoadsWholeInBatches) {
  auto detail = server_->get("/playlist/detail?id=3000011");
  ASSERT_TRUE(detail);
  JsonDocument doc;
  ASSERT_TRUE(doc.Parse(detail->body));
  std::vector<std::string> order;
  for (int i = 0; i < doc.Count("playlist.trackIds"); ++i)
    order.push_back(doc.GetText("playlist.trackIds[" + std::to_string(i) + "].id"));
  ASSERT_EQ(order.size(), 2000u);

  PlayQueue queue;
  PlaylistLoadState state;
  api.load("3000011", queue, state);
  EXPECT_EQ(state.playlistLoadCode, "200");
  ASSERT_EQ(queue.size(), 2000u);
  EXPECT_EQ(queue.ids, order);
  EXPECT_EQ(queue.at(1), (Song{"5000001", "晨光序曲 (1)", "林夕雨", "晨光 Morning Light"}));
  EXPECT_EQ(queue.at(2000).name, "Glass Garden (67)");
  EXPECT_EQ(view.progress, "共2000首/已加载：2000首");
  EXPECT_EQ(view.songsReported, 2000);

  const std::vector<std::string> batches = sent("/song/detail");
  ASSERT_EQ(batches.size(), 4u);
  std::vector<std::string> asked;
  for (const std::string& line : batches) {
    const std::vector<std::string> ids =
        splitText(line.substr(std::string("GET /song/detail?ids=").size()), ",");
    EXPECT_EQ(ids.size(), kSongDetailBatch);
    asked.insert(asked.end(), ids.begin(), ids.end());
  }
  EXPECT_EQ(asked, order);
}

TEST_F(ApiClientTest, ProgressCountsAgainstAllTracks) {
  // The first batch answers with one song only; the caption still counts every track id.
  ASSERT_TRUE(server_->answerWith(
      "/song/detail", R"({"songs":[{"id":5000001,"name":"x","ar":[],"al":{}}],"code":200})", 0, 1));
  PlayQueue queue;
  PlaylistLoadState state;
  api.load("3000011", queue, state);
  EXPECT_EQ(queue.size(), 1501u);
  EXPECT_EQ(view.progress, "共2000首/已加载：1501首");
}

TEST_F(ApiClientTest, HugeIdsStayExactFromAnswerToQuery) {
  PlayQueue queue;
  PlaylistLoadState state;
  api.load("9007199254740995", queue, state);
  ASSERT_FALSE(queue.empty());
  const Song first = queue.at(1);
  EXPECT_EQ(first.id, "9007199254740993");
  EXPECT_EQ(first.name, "Slow Orbit");
  EXPECT_EQ(state.playlistName, "超大编号 Big Id");
  // The id goes on to the song's URL, lyric and cover unchanged.
  EXPECT_EQ(client.GetSongUrl(first.id, "320000"),
            server_->baseUrl() + "/audio/9007199254740993.mp3");
  EXPECT_NE(client.GetLyric(first.id).find("Slow Orbit"), std::string::npos);
  EXPECT_FALSE(client.GetCoverImage(first.id).empty());
  EXPECT_THAT(sent("/song/url"),
              ElementsAre(::testing::StartsWith("GET /song/url?id=9007199254740993&br=320000&")));
}

}  // namespace
}  // namespace lumora::test
