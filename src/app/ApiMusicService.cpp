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

ServiceReply ToServiceReply(ApiReply reply) {
  switch (reply) {
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

// Each request has a client of its own over this object's document, stopped by the caller's
// flag; nothing here is shared with the window's thread.
class ApiSongRequests final : public SongRequests {
 public:
  ApiSongRequests(std::string cookie, std::string baseAddress,
                  std::shared_ptr<std::atomic<bool>> addressRefused)
      : baseAddress_(std::move(baseAddress)), addressRefused_(std::move(addressRefused)) {
    session_.cookie = std::move(cookie);
  }

  std::string GetSongUrl(const std::string& songId, const std::string& bitRate,
                         const StopFlag& stop) override {
    FlaggedRunner runner(stop);
    ApiClient client(json_, session_, baseAddress_, runner);
    std::string url = client.GetSongUrl(songId, bitRate, &gain_);
    reply_ = ToServiceReply(client.LastReply());
    if (!stop) addressRefused_->store(client.LastReply() == ApiReply::Refused);
    return url;
  }
  std::string GetLyric(const std::string& songId, const StopFlag& stop) override {
    FlaggedRunner runner(stop);
    return ApiClient(json_, session_, baseAddress_, runner).GetLyric(songId);
  }
  std::string GetCoverImage(const std::string& songId, const StopFlag& stop) override {
    FlaggedRunner runner(stop);
    return ApiClient(json_, session_, baseAddress_, runner).GetCoverImage(songId);
  }
  std::string LikeSong(const std::string& songId, const StopFlag& stop) override {
    FlaggedRunner runner(stop);
    return ApiClient(json_, session_, baseAddress_, runner).LikeSong(songId);
  }
  ServiceReply LastReply() const override { return reply_; }
  std::optional<SongGain> LastSongGain() const override { return gain_; }

 private:
  Session session_;
  const std::string baseAddress_;
  std::shared_ptr<std::atomic<bool>> addressRefused_;
  JsonDocument json_;
  ServiceReply reply_ = ServiceReply::Answered;
  std::optional<SongGain> gain_;
};

}  // namespace

std::unique_ptr<SongRequests> ApiMusicService::songRequests() {
  return std::make_unique<ApiSongRequests>(session_.cookie, baseAddress_, addressRefused_);
}

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

ServiceReply ApiMusicService::LastReply() const { return ToServiceReply(client_.LastReply()); }

}  // namespace lumora
