// Network failures leave every routine with its empty result, never a crash or a stale value.
#include "support/ApiClientFixture.h"

namespace lumora::test {
namespace {

// What every routine gives back when the answers are unusable; the queues start filled and
// the load code starts "old" so that a routine that touches them shows.
struct Outcome {
  std::string songUrl = "unset", lyric = "unset", cover = "unset";
  PlayQueue fm, playlist;
  PlaylistLoadState load{"old", "", ""};
};

Outcome RunAll(ApiDriver api) {
  ApiClient& client = api.client;
  Outcome o;
  o.fm.append({"1", "kept", "", ""});
  o.playlist.append({"2", "dropped", "", ""});
  api.like("1000002");
  o.songUrl = client.GetSongUrl("1000002", "320000");
  o.lyric = client.GetLyric("1000002");
  o.cover = client.GetCoverImage("1000002");
  api.fetchFm(o.fm);
  api.load("3000001", o.playlist, o.load);
  return o;
}

void ExpectEmptyResults(const Outcome& o, const RecordingView& view) {
  EXPECT_EQ(o.songUrl, "");
  EXPECT_EQ(o.lyric, "");
  EXPECT_EQ(o.cover, "");
  ASSERT_EQ(o.fm.size(), 1u);
  EXPECT_EQ(o.fm.names[0], "kept");
  EXPECT_TRUE(o.playlist.empty());
  EXPECT_EQ(o.load.playlistLoadCode, "old");
  EXPECT_TRUE(view.events.empty()) << ::testing::PrintToString(view.events);
}

TEST(ApiClientFailure, ServerDown) {
  // A port that was just listening and is closed now.
  ServerProcess gone;
  ASSERT_TRUE(gone.start());
  const std::string base = gone.baseUrl();
  gone.stop();

  JsonDocument apiJson;
  Session session{.cookie = "lumora_session=0123"};
  RecordingView view;
  ApiClient client(apiJson, session, base);
  ExpectEmptyResults(RunAll({client, view}), view);
}

TEST_F(ApiClientTest, GarbageAnswers) {
  session.cookie = loginCookie();
  for (const char* path :
       {"/like", "/song/url", "/lyric", "/song/detail", "/personal_fm", "/playlist/detail"})
    ASSERT_TRUE(server_->answerWith(path, "<html><body>502 Bad Gateway</body></html>"));
  ExpectEmptyResults(RunAll(api), view);
}

TEST_F(ApiClientTest, ErrorStatusesWithJsonBodies) {
  session.cookie = loginCookie();
  for (const char* path :
       {"/like", "/song/url", "/lyric", "/song/detail", "/personal_fm", "/playlist/detail"})
    ASSERT_TRUE(server_->failWith(path, 500));
  ExpectEmptyResults(RunAll(api), view);
}

TEST_F(ApiClientTest, ShortDelaysStillAnswer) {
  ASSERT_TRUE(server_->addDelay("/song/url", 300, 1));
  EXPECT_EQ(client.GetSongUrl("1000002", "320000"), server_->baseUrl() + "/audio/1000002.mp3");
}

TEST_F(ApiClientTest, AnswerDelayedPastTheTimeOut) {
  // A client that gives up after 1 s without a byte (the program's is 15 s); the server would
  // answer after 4.
  ApiClient impatient(apiJson, session, server_->baseUrl(), InPlaceRunner(), 1);
  ASSERT_TRUE(server_->addDelay("/song/url", 4000, 1));
  EXPECT_EQ(impatient.GetSongUrl("1000002", "320000"), "");
  EXPECT_EQ(impatient.LastReply(), ApiReply::Unreachable);
  // The next request is answered as usual.
  EXPECT_EQ(impatient.GetSongUrl("1000002", "320000"), server_->baseUrl() + "/audio/1000002.mp3");
}

TEST_F(ApiClientTest, PlaylistKeepsTheBatchesBeforeOneThatFails) {
  // The newest fault wins while it lasts: two batches pass (a 1 ms delay), the third gets
  // garbage, and the load ends there.
  ASSERT_TRUE(server_->answerWith("/song/detail", "not json"));
  ASSERT_TRUE(server_->addDelay("/song/detail", 1, 2));
  PlayQueue queue;
  PlaylistLoadState state;
  api.load("3000011", queue, state);
  EXPECT_EQ(state.playlistLoadCode, "200");
  EXPECT_EQ(queue.size(), 2 * kSongDetailBatch);
  EXPECT_EQ(queue.at(1).id, "5000001");
  EXPECT_EQ(sent("/song/detail").size(), 3u);
}

}  // namespace
}  // namespace lumora::test
