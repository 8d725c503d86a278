// The play modes' service over the real client: queues filled, progress passed on.
#include <gmock/gmock.h>

#include "app/ApiMusicService.h"
#include "support/ApiClientFixture.h"

namespace lumora::test {
namespace {

using ::testing::ElementsAre;

struct RecordingProgress : PlaylistLoadProgress {
  void playlistNotFound() override { events.push_back("not found"); }
  void playlistFound(const std::string& name, const std::string&) override {
    events.push_back("found " + name);
  }
  void songsLoaded(std::size_t loaded, std::size_t total) override {
    events.push_back(std::to_string(loaded) + "/" + std::to_string(total));
  }
  std::vector<std::string> events;
};

TEST_F(ApiClientTest, MusicServiceForwardsToTheClient) {
  ApiMusicService service(client, session, server_->baseUrl());
  MusicService& music = service;
  session.cookie = loginCookie();
  PlayQueue queue;
  queue.append({"1", "stale", "", ""});
  PlaylistLoadState state;
  RecordingProgress progress;
  music.LoadPlaylist("3000013", queue, state, progress);
  EXPECT_THAT(queue.ids, ElementsAre("1000901", "1000902", "1000903"));
  EXPECT_EQ(state.playlistLoadCode, "200");
  EXPECT_THAT(progress.events, ElementsAre("found " + state.playlistName, "1/3", "2/3", "3/3"));
  PlayQueue fm;
  fm.append({"2", "kept", "", ""});
  music.FetchPersonalFm(fm);
  EXPECT_EQ(fm.size(), 4u);
  EXPECT_EQ(fm.names[0], "kept");

  // An opening's requests, with the login's cookie as it was when they were made.
  const std::unique_ptr<SongRequests> requests = music.songRequests();
  session.cookie.clear();
  const StopFlag go{false};
  EXPECT_EQ(requests->GetSongUrl("1000901", "320000", go),
            server_->baseUrl() + "/audio/1000901.mp3");
  EXPECT_EQ(requests->LastReply(), ServiceReply::Answered);
  EXPECT_EQ(requests->GetLyric("1000902", go).rfind("[00:00.00]", 0), 0u);
  EXPECT_EQ(requests->GetCoverImage("1000903", go).substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(requests->LikeSong("1000901", go), kLikeSucceeded);
  // Stopped, a request ends at once, unanswered.
  const StopFlag stopped{true};
  EXPECT_EQ(requests->GetSongUrl("1000901", "320000", stopped), "");
  EXPECT_EQ(requests->LastReply(), ServiceReply::Unreachable);

  // An unknown playlist empties the queue and says so; the old load's fields stay.
  progress.events.clear();
  music.LoadPlaylist("1", queue, state, progress);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(state.playlistLoadCode, "404");
  EXPECT_THAT(progress.events, ElementsAre("not found"));
}

}  // namespace
}  // namespace lumora::test
