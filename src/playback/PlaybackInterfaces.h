#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "common/Runners.h"
#include "common/SongGain.h"
#include "playback/AudioTypes.h"
#include "playback/PlaybackState.h"

namespace lumora {

// The audio operations the play modes use.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // Opens a URL stream held at its first sample until played, its song levelled by gain
  // (Levelling.h). Runs on a worker thread: it touches nothing the player's thread uses, and
  // `stop` ends it early. Null when the URL cannot be opened.
  virtual std::unique_ptr<OpenedStream> openStream(const std::string& url,
                                                   const std::optional<SongGain>& gain,
                                                   const StopFlag& stop) = 0;
  // On the player's thread: the opened stream under a handle; 0 for none.
  virtual std::uint32_t adopt(std::unique_ptr<OpenedStream> opened) = 0;
  virtual bool play(std::uint32_t stream, bool restart) = 0;
  virtual bool pause(std::uint32_t stream) = 0;
  virtual bool stop(std::uint32_t stream) = 0;
  virtual ChannelState isActive(std::uint32_t stream) = 0;
  // In bytes; negative when unknown.
  virtual std::int64_t getPosition(std::uint32_t stream) = 0;
  virtual std::int64_t getLength(std::uint32_t stream) = 0;
  virtual double bytesToSeconds(std::uint32_t stream, std::int64_t bytes) = 0;
  // Silent at once, gone soon after.
  virtual bool freeStream(std::uint32_t stream) = 0;
  // The song that follows the stream's end in the same pipeline, from its last sample, levelled
  // by its own gain from its first. False when the stream cannot take one.
  virtual bool offerNext(std::uint32_t stream, const std::string& url,
                         const std::optional<SongGain>& gain) = 0;
  // True when the stream holds no song to follow any more; false when it took the offered one
  // already and will play it.
  virtual bool withdrawNext(std::uint32_t stream) = 0;
  // True once after the song the stream took has begun to sound.
  virtual bool takeNextStarted(std::uint32_t stream) = 0;
};

// How a playlist load goes, reported by the service while it runs.
class PlaylistLoadProgress {
 public:
  virtual ~PlaylistLoadProgress() = default;
  virtual void playlistNotFound() = 0;
  // Before the songs are asked for.
  virtual void playlistFound(const std::string& name, const std::string& coverBytes) = 0;
  // After each song put into the queue; total counts every track of the playlist.
  virtual void songsLoaded(std::size_t loaded, std::size_t total) = 0;
};

// How the service met its last request.
enum class ServiceReply { Answered, Unreachable, NeedsLogin };

// The requests of one song's opening or of one like, run on a worker thread alone: made on the
// window's thread with what they need from it (the login's cookie as it is then), so that
// nothing they touch is shared. A set stop flag ends a transfer under way at once.
class SongRequests {
 public:
  virtual ~SongRequests() = default;
  virtual std::string GetSongUrl(const std::string& songId, const std::string& bitRate,
                                 const StopFlag& stop) = 0;
  virtual std::string GetLyric(const std::string& songId, const StopFlag& stop) = 0;
  // Picture bytes, empty when there is none.
  virtual std::string GetCoverImage(const std::string& songId, const StopFlag& stop) = 0;
  // The text that tells how the like went; empty when there is nothing to tell.
  virtual std::string LikeSong(const std::string& songId, const StopFlag& stop) = 0;
  // Of the last song URL request.
  virtual ServiceReply LastReply() const = 0;
  // The song's loudness, when the last song URL answer told it.
  virtual std::optional<SongGain> LastSongGain() const { return std::nullopt; }
};

// The music API routines playback needs. Failures give empty results, never throw.
class MusicService {
 public:
  virtual ~MusicService() = default;
  virtual std::unique_ptr<SongRequests> songRequests() = 0;
  // Appends one batch behind what is left.
  virtual void FetchPersonalFm(PlayQueue& fmQueue) = 0;
  // Replaces the queue with the playlist's tracks and reports the code, cover and name.
  virtual void LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                            PlaylistLoadState& loadState, PlaylistLoadProgress& progress) = 0;
  // Of the last personal FM or playlist request.
  virtual ServiceReply LastReply() const { return ServiceReply::Answered; }
};

// The playlists a first play may draw from: the rows of the playlist square, from 0.
class PlaylistSource {
 public:
  virtual ~PlaylistSource() = default;
  virtual int playlistCount() const = 0;
  // Empty for a row that is not there.
  virtual std::string playlistIdAt(int row) const = 0;
  // False while the rows are empty because their load met no server.
  virtual bool answered() const = 0;
  // Asks the server for the rows again.
  virtual void reload() = 0;
};

// The pseudo-random generator of the song draws; tests script it.
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void seed(std::uint32_t value) = 0;
  virtual std::int32_t next() = 0;
};

class DefaultRandom : public RandomSource {
 public:
  void seed(std::uint32_t value) override { engine_.seed(value); }
  std::int32_t next() override { return static_cast<std::int32_t>(engine_() >> 1); }

 private:
  std::mt19937 engine_{std::random_device{}()};
};

// a + (|r| mod (b - a + 1)); a when the range is empty.
int RandomBetween(RandomSource& random, int a, int b);

}  // namespace lumora
