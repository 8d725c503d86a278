#pragma once
// The play modes' MusicService over the music API client.
#include "net/ApiClient.h"
#include "playback/PlaybackInterfaces.h"

namespace lumora {

class ApiMusicService : public MusicService {
 public:
  explicit ApiMusicService(ApiClient& client) : client_(client) {}

  std::string GetSongUrl(const std::string& songId, const std::string& bitRate) override {
    return client_.GetSongUrl(songId, bitRate);
  }
  std::string GetLyric(const std::string& songId) override { return client_.GetLyric(songId); }
  std::string GetCoverImage(const std::string& songId) override {
    return client_.GetCoverImage(songId);
  }
  void FetchPersonalFm(PlayQueue& fmQueue) override;
  void LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                    PlaylistLoadState& loadState, PlaylistLoadProgress& progress) override;
  std::string LikeSong(const std::string& songId) override { return client_.LikeSong(songId); }
  ServiceReply LastReply() const override;

 private:
  ApiClient& client_;
};

}  // namespace lumora
