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
  ApiMusicService service(client);
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
  EXPECT_EQ(music.GetSongUrl("1000901", "320000"), server_->baseUrl() + "/audio/1000901.mp3");
  EXPECT_EQ(music.GetLyric("1000902").rfind("[00:00.00]", 0), 0u);
  EXPECT_EQ(music.GetCoverImage("1000903").substr(0, 2), "\xFF\xD8");
  PlayQueue fm;
  fm.append({"2", "kept", "", ""});
  music.FetchPersonalFm(fm);
  EXPECT_EQ(fm.size(), 4u);
  EXPECT_EQ(fm.names[0], "kept");
  EXPECT_EQ(music.LikeSong("1000901"), kLikeSucceeded);

  // An unknown playlist empties the queue and says so; the old load's fields stay.
  progress.events.clear();
  music.LoadPlaylist("1", queue, state, progress);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(state.playlistLoadCode, "404");
  EXPECT_THAT(progress.events, ElementsAre("not found"));
}

}  // namespace
}  // namespace lumora::test
