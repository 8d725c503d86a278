#pragma once
// The play modes' MusicService over the music API client.
#include <atomic>
#include <memory>
#include <string>

#include "net/ApiClient.h"
#include "net/Session.h"
#include "playback/PlaybackInterfaces.h"

namespace lumora {

class ApiMusicService : public MusicService {
 public:
  // `client` fills the queues, waiting as the window does; the requests of an opening or a like
  // are made afresh for a worker, with the cookie of `session` as it is then.
  ApiMusicService(ApiClient& client, const Session& session, std::string baseAddress)
      : client_(client), session_(session), baseAddress_(std::move(baseAddress)) {}

  std::unique_ptr<SongRequests> songRequests() override;
  void FetchPersonalFm(PlayQueue& fmQueue) override;
  void LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                    PlaylistLoadState& loadState, PlaylistLoadProgress& progress) override;
  ServiceReply LastReply() const override;
  // The last song address asked for was refused (the server does not answer to our name), which
  // playback waits out like a lost server but the face tells apart.
  bool SongAddressRefused() const { return addressRefused_->load(); }

 private:
  ApiClient& client_;
  const Session& session_;
  const std::string baseAddress_;
  std::shared_ptr<std::atomic<bool>> addressRefused_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace lumora
