#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "common/PlayQueue.h"

namespace lumora {

// The audio operations the play modes use. isActive: 0 stopped, 1 playing, 2 stalled, 3 paused.
class AudioOutput {
 public:
  virtual ~AudioOutput() = default;
  // 0 when the URL cannot be opened.
  virtual std::uint32_t createStream(const std::string& url) = 0;
  virtual bool play(std::uint32_t stream, bool restart) = 0;
  virtual bool pause(std::uint32_t stream) = 0;
  virtual bool stop(std::uint32_t stream) = 0;
  virtual int isActive(std::uint32_t stream) = 0;
  // In bytes; negative when unknown.
  virtual std::int64_t getPosition(std::uint32_t stream) = 0;
  virtual std::int64_t getLength(std::uint32_t stream) = 0;
  virtual double bytesToSeconds(std::uint32_t stream, std::int64_t bytes) = 0;
  virtual bool freeStream(std::uint32_t stream) = 0;
};

// The music API routines playback needs. Failures give empty results, never throw.
class MusicService {
 public:
  virtual ~MusicService() = default;
  virtual std::string GetSongUrl(const std::string& songId, const std::string& bitRate) = 0;
  virtual std::string GetLyric(const std::string& songId) = 0;
  // Picture bytes, empty when there is none.
  virtual std::string GetCoverImage(const std::string& songId) = 0;
  // Appends one batch behind what is left.
  virtual void FetchPersonalFm(PlayQueue& fmQueue) = 0;
  // Replaces the queue with the playlist's tracks and reports the code, cover and name.
  virtual void LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                            PlaylistLoadState& loadState) = 0;
  virtual void LikeSong(const std::string& songId) = 0;
};

// The main-window controls the play modes write to (and the one caption they read back).
class PlayerView {
 public:
  virtual ~PlayerView() = default;
  virtual void setSongNameCaption(const std::string& text) = 0;  // 歌曲名称
  virtual void setArtistCaption(const std::string& text) = 0;    // 歌手名称
  virtual std::string artistCaption() const = 0;
  virtual void setWindowTitle(const std::string& text) = 0;
  virtual void setCoverPicture(const std::string& bytes) = 0;  // Pic
  virtual void setPlayButtonVisible(bool visible) = 0;         // 图形按钮_播放
  virtual void setPauseButtonVisible(bool visible) = 0;        // 图形按钮_暂停
  virtual void setProgressTimerInterval(int ms) = 0;           // time; 0 stops it
  virtual void setAutoPlayTimerInterval(int ms) = 0;           // 时钟_自动播放
  virtual void setProgressWidth(int pixels) = 0;               // 进度条
  virtual void setPlayTimes(const std::string& elapsed, const std::string& total) = 0;
  virtual void setLikeInfoVisible(bool visible) = 0;        // 信息提示框
  virtual void hidePlaylistSquare() = 0;                    // 外形框1
  virtual void setFmButtonSelected(bool selected) = 0;      // 图形按钮_私人FM
  virtual int squareRowCount() const = 0;                   // rows of 超级列表框1
  virtual std::string squarePlaylistId(int row) const = 0;  // column 1 of a row, rows from 0
  virtual void openUrl(const std::string& url) = 0;
  virtual void setDesktopLyricText(const std::string& text, int highlightPercent) = 0;
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
