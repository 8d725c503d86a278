#pragma once
// The music API routines behind playback and the like action. Each sends one request through
// HttpClient::Request, reads the answer through BodyText and the shared apiJson, and returns what
// it found; a playlist load reports its progress as it goes. Failures give empty results.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/Song.h"
#include "common/SongGain.h"
#include "json/JsonDocument.h"
#include "net/HttpClient.h"
#include "net/Session.h"

namespace lumora {

// What a playlist load reports while it runs. The caller shows it; nothing here knows how.
class PlaylistLoadListener {
 public:
  virtual ~PlaylistLoadListener() = default;
  virtual void playlistNotFound() = 0;
  // The playlist's name and cover picture, before its songs are asked for.
  virtual void playlistFound(const std::string& name, const Bytes& cover) = 0;
  // Each song as it is read; loaded counts the songs so far, total every track of the list.
  virtual void songLoaded(const Song& song, std::size_t loaded, std::size_t total) = 0;
};

// What the last playlist load found. The code is "200" once every batch was asked for and
// "404" for an unknown playlist; any other outcome leaves the fields as they were.
struct PlaylistLoadResult {
  std::string code;
  std::string coverUrl;
  std::string name;
};

// Unix time in milliseconds as decimal text (13 digits for any clock after 2001).
std::string MakeTimestamp();
std::string MakeTimestamp(std::chrono::system_clock::time_point now);

inline constexpr const char* kLikeSucceeded = "喜欢歌曲成功";
inline constexpr const char* kLikeFailed = "喜欢歌曲失败";
// Track ids per song-detail request: a few thousand ids in one query make a request line
// longer than servers accept.
inline constexpr std::size_t kSongDetailBatch = 500;

// How the server met the last request that expected a JSON answer.
enum class ApiReply {
  Answered,
  // No usable answer: no connection, a time-out, a broken exchange, a server error (5xx) or an
  // answer that is not JSON.
  Unreachable,
  // The answer's code 301: the routine needs a logged-in account.
  NeedsLogin,
  // The server does not answer to the name in the base address (421): it is up, but turned the
  // request away.
  Refused,
};

// The loudness an answer's item tells ("data[0]" of /song/url: its gain and peak); nullopt when
// it tells none, or nothing a loudness can be.
std::optional<SongGain> SongGainOf(const JsonDocument& json, const std::string& item);

class ApiClient {
 public:
  // All references outlive the client; the client keeps nothing between calls. Its requests
  // wait through `runner`. timeout is the requests' stall limit in seconds (HttpClient's
  // meaning: 0 is the usual 15); tests shorten it.
  ApiClient(JsonDocument& apiJson, const Session& session, std::string baseAddress,
            BlockingRunner& runner = InPlaceRunner(), int timeout = 0);

  // The result text for 提示1; empty when logged out or when the answer tells nothing.
  std::string LikeSong(const std::string& songId);
  // The play URL, empty when the answer has none; gain, when given, is the song's loudness where
  // the answer tells it, else nullopt.
  std::string GetSongUrl(const std::string& songId, const std::string& bitRate,
                         std::optional<SongGain>* gain = nullptr);
  // The raw LRC content of the answer, JSON escapes untouched; empty when there is none.
  std::string GetLyric(const std::string& songId);
  // The album picture's bytes; empty when there is none.
  Bytes GetCoverImage(const std::string& songId);
  // One batch of songs picked for the account, in the server's order.
  std::vector<Song> FetchPersonalFm();
  // Every song of the playlist, in the server's order, handed to the listener one by one.
  void LoadPlaylist(const std::string& playlistId, PlaylistLoadResult& result,
                    PlaylistLoadListener& listener);

  // Of the last request of the routines above (the lyric and the cover pictures aside).
  ApiReply LastReply() const { return lastReply_; }

 private:
  // Sends, converts and parses into apiJson; false when the answer is not JSON.
  bool Fetch(const std::string& pathAndQuery, int method = HttpClient::kGet);
  std::string Code() const;
  // "cookie=<encoded>&" when logged in, else empty.
  std::string CookieParameter() const;

  JsonDocument& apiJson_;
  const Session& session_;
  const std::string baseAddress_;
  BlockingRunner& runner_;
  const int timeout_;
  ApiReply lastReply_ = ApiReply::Answered;
};

}  // namespace lumora
