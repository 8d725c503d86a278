#pragma once
// The music API routines behind playback and the like action. Each sends one request through
// HttpClient::Request, reads the answer through BodyText and the shared apiJson, and writes its
// results into the caller's queues and the window (through ApiView). Failures give empty results.
#include <chrono>
#include <string>

#include "common/PlayQueue.h"
#include "net/ApiBaseAddress.h"
#include "net/HttpClient.h"
#include "json/JsonDocument.h"
#include "net/Session.h"

namespace lumora {

// The main-window controls the service routines write to. The window implements it; tests
// record the calls.
class ApiView {
 public:
  virtual ~ApiView() = default;
  virtual void setLikeResult(const std::string& text) = 0;       // caption of 提示1
  virtual void setCoverPicture(const std::string& bytes) = 0;    // picture of Pic
  virtual void setSongNameCaption(const std::string& text) = 0;  // 歌曲名称
  virtual void setArtistCaption(const std::string& text) = 0;    // 歌手名称
  // A message box owned by the main window, OK button, title "信息：".
  virtual void showMessage(const std::string& text) = 0;
  // Waits while window messages keep being dispatched.
  virtual void pumpedWait(int ms) = 0;
  // Lets the pending window messages run once.
  virtual void processPendingEvents() = 0;
};

// Unix time in milliseconds as decimal text (13 digits for any clock after 2001).
std::string MakeTimestamp();
std::string MakeTimestamp(std::chrono::system_clock::time_point now);

inline constexpr const char* kLikeSucceeded = "喜欢歌曲成功";
inline constexpr const char* kLikeFailed = "喜欢歌曲失败";
inline constexpr const char* kPlaylistNotFound = "找不到歌单，ID是否错误！";
// Track ids per song-detail request: a few thousand ids in one query make a request line
// longer than servers accept.
inline constexpr std::size_t kSongDetailBatch = 500;

class ApiClient {
 public:
  // All references outlive the client; the client keeps nothing between calls.
  ApiClient(JsonDocument& apiJson, const Session& session, ApiView& view,
            std::string baseAddress = ApiBaseAddress());

  // Does nothing when logged out; shows the result in 提示1.
  void LikeSong(const std::string& songId);
  // The play URL, empty when the answer has none.
  std::string GetSongUrl(const std::string& songId, const std::string& bitRate);
  // The raw LRC content of the answer, JSON escapes untouched; empty when there is none.
  std::string GetLyric(const std::string& songId);
  // The album picture's bytes; empty when there is none.
  Bytes GetCoverImage(const std::string& songId);
  // Appends one batch behind what is left in the queue.
  void FetchPersonalFm(PlayQueue& fmQueue);
  // Replaces the queue with the playlist's songs, in the server's order.
  void LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                    PlaylistLoadState& loadState);

 private:
  // Sends, converts and parses into apiJson; false when the answer is not JSON.
  bool Fetch(const std::string& pathAndQuery, int method = 0);
  std::string Code() const;
  // "cookie=<encoded>&" when logged in, else empty.
  std::string CookieParameter() const;

  JsonDocument& apiJson_;
  const Session& session_;
  ApiView& view_;
  const std::string baseAddress_;
};

}  // namespace lumora
