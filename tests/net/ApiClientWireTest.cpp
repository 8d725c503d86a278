// The requests each routine puts on the wire, read back from the server's own request log.
#include <chrono>
#include <functional>
#include <regex>

#include "support/ApiClientFixture.h"

namespace lumora::test {
namespace {

std::int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

struct WireCase {
  const char* name;
  bool loggedIn;
  std::function<void(ApiClient&)> call;
  // Patterns for the requests in order; COOKIE stands for the cookie (whose value the
  // server's log hides), TS for a timestamp.
  std::vector<std::string> expected;
};

void FetchFm(ApiClient& client) { client.FetchPersonalFm(); }

std::function<void(ApiClient&)> Load(std::string playlistId) {
  return [playlistId](ApiClient& client) {
    PlaylistLoadResult result;
    RecordingView view;
    client.LoadPlaylist(playlistId, result, view);
  };
}

void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }

class ApiClientWire : public ApiClientTest, public ::testing::WithParamInterface<WireCase> {};

// Regex text of a literal, then the placeholders put back.
std::string Pattern(const std::string& text) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  std::string pattern = std::regex_replace(text, special, R"(\$&)");
  pattern = std::regex_replace(pattern, std::regex("COOKIE"), "-");
  return std::regex_replace(pattern, std::regex("TS"), "([0-9]+)");
}

TEST_P(ApiClientWire, SendsTheUrlsInParameterOrder) {
  const WireCase& c = GetParam();
  // A cookie with the characters that would break a raw query: ";", "=" and a space.
  if (c.loggedIn) session.cookie = loginCookie() + "; os=pc";
  markLog();
  const std::int64_t before = nowMs();
  c.call(client);
  const std::int64_t after = nowMs();

  const std::vector<std::string> requests = sent();
  ASSERT_EQ(requests.size(), c.expected.size()) << ::testing::PrintToString(requests);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(requests[i], match,
                                 std::regex("^" + Pattern(c.expected[i]) + "$")))
        << requests[i] << "\n expected " << c.expected[i];
    for (std::size_t m = 1; m < match.size(); ++m) {
      EXPECT_EQ(match[m].length(), 13) << requests[i];
      const std::int64_t ts = std::stoll(match[m]);
      EXPECT_GE(ts, before);
      EXPECT_LE(ts, after);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Routines, ApiClientWire,
    ::testing::Values(
        WireCase{"LikeLoggedIn",
                 true,
                 [](ApiClient& a) { a.LikeSong("1000002"); },
                 {"POST /like?id=1000002&cookie=COOKIE&timestamp=TS"}},
        WireCase{"LikeLoggedOut", false, [](ApiClient& a) { a.LikeSong("1000002"); }, {}},
        WireCase{"SongUrlLoggedOut",
                 false,
                 [](ApiClient& a) { a.GetSongUrl("1000002", "320000"); },
                 {"GET /song/url?id=1000002&br=320000&timestamp=TS"}},
        WireCase{"SongUrlLoggedIn",
                 true,
                 [](ApiClient& a) { a.GetSongUrl("1000002", "320000"); },
                 {"GET /song/url?cookie=COOKIE&id=1000002&br=320000&timestamp=TS"}},
        WireCase{"LyricLoggedIn",
                 true,
                 [](ApiClient& a) { a.GetLyric("1000003"); },
                 {"GET /lyric?id=1000003"}},
        WireCase{"LyricLoggedOut",
                 false,
                 [](ApiClient& a) { a.GetLyric("1000003"); },
                 {"GET /lyric?id=1000003"}},
        WireCase{"CoverLoggedIn",
                 true,
                 [](ApiClient& a) { a.GetCoverImage("1000005"); },
                 {"GET /song/detail?ids=1000005", "GET /cover/album/202.jpg"}},
        WireCase{"CoverLoggedOut",
                 false,
                 [](ApiClient& a) { a.GetCoverImage("1000001"); },
                 {"GET /song/detail?ids=1000001", "GET /cover/album/201.jpg"}},
        WireCase{"PersonalFmLoggedOut", false, FetchFm, {"GET /personal_fm?timestamp=TS"}},
        WireCase{
            "PersonalFmLoggedIn", true, FetchFm, {"GET /personal_fm?cookie=COOKIE&timestamp=TS"}},
        // The cookie never goes with a playlist, and a short one is asked for in one request.
        WireCase{"PlaylistLoggedIn",
                 true,
                 Load("3000013"),
                 {"GET /playlist/detail?id=3000013", "GET /cover/playlist/3000013.jpg",
                  "GET /song/detail?ids=1000901,1000902,1000903"}},
        WireCase{
            "PlaylistLoggedOut",
            false,
            Load("9007199254740995"),
            {"GET /playlist/detail?id=9007199254740995", "GET /cover/playlist/9007199254740995.jpg",
             "GET /song/detail?ids=9007199254740993,"
             "1000018,1000021,1000024,1000027,1000030,1000003,1000006,1000009,1000012"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumora::test
