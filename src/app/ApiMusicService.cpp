#include "app/ApiMusicService.h"

namespace lumora {

namespace {

// Puts each song read into the queue and passes the progress on.
class QueueFiller : public PlaylistLoadListener {
 public:
  QueueFiller(PlayQueue& queue, PlaylistLoadProgress& progress)
      : queue_(queue), progress_(progress) {}

  void playlistNotFound() override { progress_.playlistNotFound(); }
  void playlistFound(const std::string& name, const Bytes& cover) override {
    progress_.playlistFound(name, cover);
  }
  void songLoaded(const Song& song, std::size_t, std::size_t total) override {
    queue_.append(song);
    progress_.songsLoaded(queue_.names.size(), total);
  }

 private:
  PlayQueue& queue_;
  PlaylistLoadProgress& progress_;
};

}  // namespace

void ApiMusicService::FetchPersonalFm(PlayQueue& fmQueue) {
  for (const Song& song : client_.FetchPersonalFm()) fmQueue.append(song);
}

void ApiMusicService::LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                                   PlaylistLoadState& loadState, PlaylistLoadProgress& progress) {
  playlistQueue.clear();
  PlaylistLoadResult result{loadState.playlistLoadCode, loadState.playlistCoverUrl,
                            loadState.playlistName};
  QueueFiller filler(playlistQueue, progress);
  client_.LoadPlaylist(playlistId, result, filler);
  loadState = {result.code, result.coverUrl, result.name};
}

ServiceReply ApiMusicService::LastReply() const {
  switch (client_.LastReply()) {
    // Playback waits for a server that turns it away as for one that is gone; the face says which.
    case ApiReply::Unreachable:
    case ApiReply::Refused:
      return ServiceReply::Unreachable;
    case ApiReply::NeedsLogin:
      return ServiceReply::NeedsLogin;
    case ApiReply::Answered:
      break;
  }
  return ServiceReply::Answered;
}

}  // namespace lumora
