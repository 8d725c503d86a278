// The music API over real loopback HTTP against the demo catalogue.
#include <httplib.h>

#include <algorithm>
#include <set>

#include "ServerTestUtil.h"
#include "catalogue/Catalogue.h"

namespace lumora::test {

namespace {

constexpr const char* kBigSong = "9007199254740993";
constexpr const char* kBigPlaylist = "9007199254740995";

using Api = ServerTest;

TEST_F(Api, HotPlaylistsPageByPlayCountInEveryCategory) {
  ASSERT_EQ(Get("/top/playlist?limit=8&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8"), 200);
  EXPECT_EQ(Code(), 200);
  auto list = doc_["playlists"].get_array().value();
  ASSERT_EQ(list.size(), 8u);
  std::int64_t total = doc_["total"].get_int64().value();
  EXPECT_GE(total, 10);
  EXPECT_TRUE(doc_["more"].get_bool().value());
  std::int64_t last = INT64_MAX;
  for (auto p : list) {
    EXPECT_TRUE(p["id"].is_uint64() || p["id"].is_int64());
    EXPECT_FALSE(std::string_view(p["name"].get_string().value()).empty());
    EXPECT_NE(std::string_view(p["coverImgUrl"].get_string().value()).find("/cover/"),
              std::string_view::npos);
    std::int64_t count = p["playCount"].get_int64().value();
    EXPECT_LE(count, last);
    last = count;
  }
  // Past the end: empty, no more.
  ASSERT_EQ(Get("/top/playlist?limit=8&offset=" + std::to_string(total) +
                "&order=hot&cat=%E5%85%A8%E9%83%A8"),
            200);
  EXPECT_EQ(doc_["playlists"].get_array().value().size(), 0u);
  EXPECT_FALSE(doc_["more"].get_bool().value());

  // Every category answers; the playlists it lists carry its tag; at least five have some.
  int nonEmpty = 0;
  for (const std::string& cat : server::CategoryNames()) {
    ASSERT_EQ(Get("/top/playlist?limit=50&offset=0&order=hot&cat=" + UrlEncode(cat, 1)), 200)
        << cat;
    auto found = doc_["playlists"].get_array().value();
    if (found.size() > 0 && cat != "全部") ++nonEmpty;
    if (cat == "全部") continue;
    for (auto p : found) {
      bool tagged = false;
      simdjson::dom::array tags = p["tags"].get_array().value();
      for (auto t : tags) tagged |= t.get_string().value() == cat;
      EXPECT_TRUE(tagged) << cat << " lists " << p["name"].get_string().value();
    }
  }
  EXPECT_GE(nonEmpty, 5);
  ASSERT_EQ(Get("/top/playlist?limit=8&offset=0&order=hot&cat=KTV"), 200);
  EXPECT_GT(doc_["playlists"].get_array().value().size(), 0u);
  ASSERT_EQ(Get("/top/playlist?limit=8&offset=0&order=hot&cat=70%E5%90%8E&extra=ignored"), 200);
  EXPECT_GT(doc_["playlists"].get_array().value().size(), 0u);
}

TEST_F(Api, SearchMatchesPlaylistNamesIgnoringCase) {
  ASSERT_EQ(Get("/search?keywords=bIG%20iD&limit=8&offset=0&type=1000"), 200);
  auto found = doc_["result"]["playlists"].get_array().value();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(doc_["result"]["playlistCount"].get_int64().value(), 1);
  EXPECT_NE(body_.find(std::string("\"id\":") + kBigPlaylist), std::string::npos);

  ASSERT_EQ(Get("/search?keywords=" + UrlEncode("精选", 1) + "&limit=8&offset=0&type=1000"), 200);
  ASSERT_EQ(doc_["result"]["playlists"].get_array().value().size(), 1u);
  EXPECT_EQ(doc_["result"]["playlists"].at(0)["name"].get_string().value(), "华语流行精选");

  // "a b/c_d" as the player sends it: nothing matches, still a well-formed answer.
  ASSERT_EQ(Get("/search?keywords=a%20b%2Fc%5Fd&limit=8&offset=0&type=1000"), 200);
  EXPECT_EQ(doc_["result"]["playlists"].get_array().value().size(), 0u);

  // Paging: " " matches every name with a space; two pages do not overlap.
  ASSERT_EQ(Get("/search?keywords=%20&limit=2&offset=0&type=1000"), 200);
  std::string first(doc_["result"]["playlists"].at(0)["name"].get_string().value());
  std::int64_t count = doc_["result"]["playlistCount"].get_int64().value();
  EXPECT_GT(count, 2);
  ASSERT_EQ(Get("/search?keywords=%20&limit=2&offset=2&type=1000"), 200);
  EXPECT_NE(std::string(doc_["result"]["playlists"].at(0)["name"].get_string().value()), first);
}

TEST_F(Api, PlaylistDetailKeepsHugeIdsExactAndListsTracks) {
  ASSERT_EQ(Get(std::string("/playlist/detail?id=") + kBigPlaylist), 200);
  EXPECT_EQ(Code(), 200);
  EXPECT_NE(body_.find(std::string("\"id\":") + kBigPlaylist + ","), std::string::npos);
  EXPECT_NE(body_.find(std::string("{\"id\":") + kBigSong + "}"), std::string::npos);
  EXPECT_EQ(doc_["playlist"]["id"].get_uint64().value(), 9007199254740995ull);
  auto tracks = doc_["playlist"]["trackIds"].get_array().value();
  EXPECT_EQ(static_cast<std::int64_t>(tracks.size()),
            doc_["playlist"]["trackCount"].get_int64().value());
  EXPECT_FALSE(std::string_view(doc_["playlist"]["name"].get_string().value()).empty());
  EXPECT_FALSE(std::string_view(doc_["playlist"]["coverImgUrl"].get_string().value()).empty());

  // The 2 000-track playlist, then the details of all its tracks in one request.
  ASSERT_EQ(Get("/playlist/detail?id=3000011"), 200);
  std::string ids;
  std::vector<std::uint64_t> wanted;
  simdjson::dom::array trackIds = doc_["playlist"]["trackIds"].get_array().value();
  for (auto t : trackIds) {
    wanted.push_back(t["id"].get_uint64().value());
    ids += (ids.empty() ? "" : ",") + std::to_string(wanted.back());
  }
  ASSERT_EQ(wanted.size(), 2000u);
  ASSERT_EQ(Get("/song/detail?ids=" + ids), 200);
  auto songs = doc_["songs"].get_array().value();
  ASSERT_EQ(songs.size(), 2000u);
  std::size_t i = 0;
  for (auto s : songs) EXPECT_EQ(s["id"].get_uint64().value(), wanted[i++]);

  EXPECT_EQ(Get("/playlist/detail?id=123"), 404);
  EXPECT_EQ(Code(), 404);
  EXPECT_TRUE(doc_["msg"].is_string());
}

TEST_F(Api, SongDetailInTheOrderAsked) {
  ASSERT_EQ(Get(std::string("/song/detail?ids=1000002,999,") + kBigSong + ",1000001"), 200);
  auto songs = doc_["songs"].get_array().value();
  ASSERT_EQ(songs.size(), 3u);
  EXPECT_EQ(songs.at(0)["id"].get_uint64().value(), 1000002u);
  EXPECT_EQ(songs.at(1)["id"].get_uint64().value(), 9007199254740993ull);
  EXPECT_EQ(songs.at(2)["id"].get_uint64().value(), 1000001u);
  EXPECT_NE(body_.find(std::string("\"id\":") + kBigSong + ","), std::string::npos);
  auto s = songs.at(2);
  EXPECT_EQ(s["name"].get_string().value(), "晨光序曲");
  EXPECT_EQ(s["ar"].at(0)["name"].get_string().value(), "林夕雨");
  EXPECT_TRUE(s["ar"].at(0)["id"].is_int64());
  EXPECT_FALSE(std::string_view(s["al"]["name"].get_string().value()).empty());
  EXPECT_NE(std::string_view(s["al"]["picUrl"].get_string().value()).find("/cover/album/"),
            std::string_view::npos);
  EXPECT_GT(s["dt"].get_int64().value(), 0);
  // A song with two artists.
  ASSERT_EQ(Get("/song/detail?ids=1000005"), 200);
  EXPECT_EQ(doc_["songs"].at(0)["ar"].get_array().value().size(), 2u);

  ASSERT_EQ(Get("/song/detail?ids="), 200);
  EXPECT_EQ(doc_["songs"].get_array().value().size(), 0u);
}

TEST_F(Api, DemoCatalogueHasMusicLengthsAndShortSongs) {
  std::string ids;
  for (int i = 1; i <= 30; ++i) ids += (ids.empty() ? "" : ",") + std::to_string(1000000 + i);
  ids += std::string(",") + kBigSong;
  ASSERT_EQ(Get("/song/detail?ids=" + ids), 200);
  auto songs = doc_["songs"].get_array().value();
  EXPECT_EQ(songs.size(), 30u);  // 1000008 is the song that carries the huge id
  std::set<std::int64_t> lengths;
  for (auto s : songs) {
    std::int64_t dt = s["dt"].get_int64().value();
    EXPECT_GE(dt, 20000);
    EXPECT_LE(dt, 95000);
    lengths.insert(dt);
  }
  EXPECT_GT(lengths.size(), 20u);
  ASSERT_EQ(Get("/playlist/detail?id=3000013"), 200);
  std::vector<std::string> shortIds;
  simdjson::dom::array shortTracks = doc_["playlist"]["trackIds"].get_array().value();
  for (auto t : shortTracks) shortIds.push_back(std::to_string(t["id"].get_uint64().value()));
  ASSERT_EQ(shortIds.size(), 3u);
  for (const std::string& id : shortIds) {
    ASSERT_EQ(Get("/song/detail?ids=" + id), 200);
    std::int64_t dt = doc_["songs"].at(0)["dt"].get_int64().value();
    EXPECT_GE(dt, 2000) << id;
    EXPECT_LE(dt, 3100) << id;
  }
}

TEST_F(Api, SongUrlWithholdsMembersOnlySongsFromNonMembers) {
  ASSERT_EQ(Get("/song/url?id=1000001&br=320000&timestamp=1700000000000"), 200);
  EXPECT_EQ(Code(), 200);
  auto item = doc_["data"].at(0);
  std::string url(item["url"].get_string().value());
  EXPECT_EQ(url, server_->baseUrl() + "/audio/1000001.mp3");
  EXPECT_EQ(item["type"].get_string().value(), "mp3");
  EXPECT_GT(item["size"].get_int64().value(), 10000);
  EXPECT_GT(item["br"].get_int64().value(), 0);

  const std::string plain = LoginCookie("13800000001");
  const std::string vip = LoginCookie("13800000011");
  const std::string pack = LoginCookie("13800000010");
  struct Case {
    std::string cookie;
    bool playable;
  } cases[] = {
      {"", false}, {plain, false}, {vip, true}, {pack, true}, {"lumora_session=nope", false}};
  for (const Case& c : cases) {
    std::string target = "/song/url?" +
                         (c.cookie.empty() ? "" : "cookie=" + UrlEncode(c.cookie, 1) + "&") +
                         "id=1000004&br=320000&timestamp=1";
    ASSERT_EQ(Get(target), 200);
    EXPECT_EQ(doc_["data"].at(0)["url"].is_null(), !c.playable) << c.cookie;
  }
  // The same session in a Cookie header.
  httplib::Client client("127.0.0.1", server_->port());
  auto res = client.Get("/song/url?id=1000004&br=320000&timestamp=1", {{"Cookie", vip}});
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find("/audio/1000004.mp3"), std::string::npos);

  ASSERT_EQ(Get("/song/url?id=42&br=320000&timestamp=1"), 200);
  EXPECT_TRUE(doc_["data"].at(0)["url"].is_null());
}

TEST_F(Api, LyricSitsBetweenTheMarkersThePlayerCuts) {
  const std::string open = ",\"lyric\":\"", close = "\"},\"klyric\":";
  ASSERT_EQ(Get("/lyric?id=1000001"), 200);
  std::string raw = Between(body_, open, close);
  ASSERT_FALSE(raw.empty()) << body_;
  // Escapes untouched: line breaks as backslash-n, the quoted line as backslash-quote.
  EXPECT_EQ(raw.find('\n'), std::string::npos);
  EXPECT_NE(raw.find("\\n[00:"), std::string::npos);
  EXPECT_NE(raw.find("\\\"stay\\\""), std::string::npos);
  std::string parsed(doc_["lrc"]["lyric"].get_string().value());
  EXPECT_EQ(parsed.rfind("[00:00.00]", 0), 0u);
  EXPECT_NE(parsed.find("\"stay\""), std::string::npos);
  EXPECT_TRUE(doc_["klyric"].is_object());
  EXPECT_TRUE(doc_["tlyric"]["lyric"].is_string());
  EXPECT_EQ(Code(), 200);

  ASSERT_EQ(Get("/lyric?id=1000006"), 200);
  EXPECT_TRUE(doc_["nolyric"].get_bool().value());
  EXPECT_EQ(Between(body_, open, close), "");

  ASSERT_EQ(Get("/lyric?id=1000010"), 200);
  std::string untimed = Between(body_, open, close);
  EXPECT_FALSE(untimed.empty());
  EXPECT_EQ(untimed.find('['), std::string::npos);

  ASSERT_EQ(Get(std::string("/lyric?id=") + kBigSong), 200);
  EXPECT_NE(Between(body_, open, close).find("[00:"), std::string::npos);
}

TEST_F(Api, PersonalFmNeedsALogin) {
  ASSERT_EQ(Get("/personal_fm?timestamp=1"), 200);
  EXPECT_EQ(Code(), 301);
  EXPECT_EQ(doc_["msg"].get_string().value(), "需要登录");
  const std::string cookie = LoginCookie("13800000001");
  ASSERT_EQ(Get("/personal_fm?cookie=" + UrlEncode(cookie, 1) + "&timestamp=1"), 200);
  EXPECT_EQ(Code(), 200);
  auto data = doc_["data"].get_array().value();
  ASSERT_EQ(data.size(), 3u);
  for (auto s : data) {
    EXPECT_TRUE(s["id"].is_uint64() || s["id"].is_int64());
    EXPECT_FALSE(std::string_view(s["name"].get_string().value()).empty());
    EXPECT_GE(s["artists"].get_array().value().size(), 1u);
    EXPECT_FALSE(std::string_view(s["artists"].at(0)["name"].get_string().value()).empty());
    EXPECT_FALSE(std::string_view(s["album"]["type"].get_string().value()).empty());
    EXPECT_TRUE(s["album"]["name"].is_string());
    EXPECT_NE(s["id"].get_uint64().value(), 1000004u);  // members only; this account is plain
  }
}

TEST_F(Api, LoginAnswersByAccountAndPassword) {
  const std::string good = "98a6619f9bc9cdd67e27e884d758da4b";
  const std::string bad = "00000000000000000000000000000000";
  struct Case {
    std::string target;
    int code;
    int vipType;
  } cases[] = {
      {"/login/cellphone?phone=13800000001&md5_password=" + good, 200, 0},
      {"/login/cellphone?phone=13800000011&md5_password=" + good, 200, 11},
      {"/login?email=pack@lumora.test&md5_password=" + good, 200, 10},
      {"/login?email=VIP@Lumora.test&md5_password=" + good, 200, 11},
      {"/login/cellphone?phone=13900000000&md5_password=" + good, 501, 0},
      {"/login?email=nobody@lumora.test&md5_password=" + good, 501, 0},
      {"/login/cellphone?phone=13800000001&md5_password=" + bad, 502, 0},
      {"/login?email=plain@lumora.test&md5_password=" + bad, 502, 0},
      // The prompt text itself, unencoded, as a phone number.
      {"/login/cellphone?phone=请输入手机号&md5_password=" + good, 400, 0},
      {"/login?email=not-an-address&md5_password=" + good, 400, 0},
      // Encoded by the player: "&" and "=" are part of the address, which no host name holds.
      {"/login?email=plain%40lumora.test%26x%3D1&md5_password=" + good, 400, 0},
      {"/login?email=plain@-lumora.test&md5_password=" + good, 400, 0},
      {"/login?email=plain@lumora..test&md5_password=" + good, 400, 0},
      {"/login?email=a%2Bb%40lumora.test&md5_password=" + good, 501, 0},
      {"/login/cellphone?phone=13800000001&md5_password=xyz", 400, 0},
      {"/login/cellphone?md5_password=" + good, 400, 0},
  };
  for (const Case& c : cases) {
    Post(c.target + "&timestamp=1700000000000");
    ASSERT_EQ(Code(), c.code) << c.target << " -> " << body_;
    if (c.code != 200) {
      EXPECT_TRUE(doc_["cookie"].error()) << c.target;
      continue;
    }
    std::string cookie(doc_["cookie"].get_string().value());
    EXPECT_EQ(cookie.rfind("lumora_session=", 0), 0u);
    // It must survive being sent unencoded in a query.
    EXPECT_EQ(cookie.find_first_of(" &;#%+"), std::string::npos);
    EXPECT_EQ(doc_["account"]["vipType"].get_int64().value(), c.vipType);
    EXPECT_GT(doc_["account"]["id"].get_uint64().value(), 0u);
    EXPECT_FALSE(std::string_view(doc_["profile"]["nickname"].get_string().value()).empty());
    EXPECT_NE(std::string_view(doc_["profile"]["avatarUrl"].get_string().value()).find("/avatar/"),
              std::string_view::npos);
  }
}

TEST_F(Api, LogoutEndsTheSession) {
  const std::string cookie = LoginCookie("13800000011");
  const std::string fm = "/personal_fm?cookie=" + UrlEncode(cookie, 1) + "&timestamp=1";
  ASSERT_EQ(Get(fm), 200);
  EXPECT_EQ(Code(), 200);
  ASSERT_EQ(Post("/logout"), 200);  // no cookie: nothing ends, still 200
  EXPECT_EQ(Code(), 200);
  ASSERT_EQ(Get(fm), 200);
  EXPECT_EQ(Code(), 200);
  ASSERT_EQ(Post("/logout?cookie=" + UrlEncode(cookie, 1)), 200);
  ASSERT_EQ(Get(fm), 200);
  EXPECT_EQ(Code(), 301);
}

TEST_F(Api, LikesNeedASessionAndAKnownSong) {
  const std::string cookie = LoginCookie("13800000001");
  ASSERT_EQ(Post("/like?id=1000003&cookie=lumora_session=0000&timestamp=1"), 200);
  EXPECT_EQ(Code(), 301);
  Post("/like?id=12345&cookie=" + cookie + "&timestamp=1");
  EXPECT_EQ(Code(), 460);
  // The player sends the cookie unencoded here.
  ASSERT_EQ(Post("/like?id=1000003&cookie=" + cookie + "&timestamp=1"), 200);
  EXPECT_EQ(Code(), 200);
  ASSERT_EQ(Post(std::string("/like?id=") + kBigSong + "&cookie=" + cookie + "&timestamp=1"), 200);

  ASSERT_EQ(Get("/user/playlist?cookie=" + UrlEncode(cookie, 1) + "&uid=1001&limit=30&offset=0"),
            200);
  EXPECT_EQ(Code(), 200);
  auto lists = doc_["playlist"].get_array().value();
  ASSERT_GE(lists.size(), 2u);
  std::uint64_t liked = lists.at(0)["id"].get_uint64().value();
  for (auto p : lists) EXPECT_TRUE(p["name"].is_string());
  ASSERT_EQ(Get("/playlist/detail?id=" + std::to_string(liked)), 200);
  EXPECT_NE(body_.find("{\"id\":1000003}"), std::string::npos);
  EXPECT_NE(body_.find(std::string("{\"id\":") + kBigSong + "}"), std::string::npos);

  EXPECT_EQ(Get("/user/playlist?limit=30&offset=0"), 400);
  EXPECT_EQ(Get("/user/playlist?uid=4242&limit=30&offset=0"), 404);
}

TEST_F(Api, BadParametersGetJsonErrorsAndNoCrash) {
  const char* targets[] = {
      "/top/playlist?limit=abc&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8",
      "/top/playlist?limit=8&offset=-1",
      "/top/playlist?limit=8&offset=0&cat=%E4%B8%8D%E5%AD%98%E5%9C%A8",
      "/top/playlist?limit=8&offset=0&cat=%FF%FE",
      "/search?limit=8&offset=0&type=1000",
      "/search?keywords=a&type=77",
      "/playlist/detail",
      "/playlist/detail?id=12ab",
      "/playlist/detail?id=99999999999999999999999",
      "/song/detail",
      "/song/detail?ids=1,x,3",
      "/song/url?br=320000",
      "/song/url?id=1000001&br=fast",
      "/lyric?id=",
      "/lyric?id=%",
      "/like?cookie=x",
      "/nowhere",
  };
  for (const char* t : targets) {
    int status = Get(t);
    EXPECT_NE(status, 200) << t;
    EXPECT_NE(Code(), 200) << t;
    EXPECT_TRUE(doc_["msg"].is_string()) << t;
  }
  ASSERT_EQ(Get("/song/url?id=1000001&br=320000&timestamp=1&unknown=%zz"), 200);
  EXPECT_TRUE(server_->running());
}

TEST_F(Api, SongPageReadsTheFragment) {
  auto reply = server_->get("/");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_NE(reply->body.find("location.hash"), std::string::npos);
  EXPECT_NE(reply->body.find("/song/detail?ids="), std::string::npos);
  EXPECT_NE(reply->body.find("#\\/song\\?"), std::string::npos);
}

TEST_F(Api, LogsOneLinePerRequest) {
  Get("/lyric?id=1000002");
  Get("/playlist/detail?id=1");
  auto lyric = server_->requestsTo("/lyric?id=1000002");
  ASSERT_EQ(lyric.size(), 1u);
  EXPECT_EQ(lyric[0].rfind("GET /lyric?id=1000002 200 ", 0), 0u) << lyric[0];
  EXPECT_EQ(lyric[0].substr(lyric[0].size() - 2), "ms");
  auto missing = server_->requestsTo("/playlist/detail?id=1 ");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_NE(missing[0].find(" 404 "), std::string::npos);
}

}  // namespace
}  // namespace lumora::test
