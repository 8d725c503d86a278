#pragma once
// How the player face shows playback: captions, the cover, the play and pause buttons and the
// progress bar, all turned from playback's events. It starts and stops nothing.
#include <functional>
#include <string>

#include "face/FaceSize.h"
#include "playback/PlaybackEvents.h"

namespace lumora {

inline constexpr const char* kPlaylistNotFound = "找不到歌单，ID是否错误！";
inline constexpr const char* kServerUnreachable = "连不上服务器，稍后自动重试";
inline constexpr const char* kServerRefused = "音乐服务器拒绝了请求";
inline constexpr const char* kFmNeedsLogin = "私人FM需登录：右键→登录";
inline constexpr const char* kNoPlaylists = "没有可播放的歌单";

// The controls of the face the presenter writes to. The window implements it; tests record it.
class FaceView {
 public:
  virtual ~FaceView() = default;
  virtual void setSongNameCaption(const std::string& text) = 0;  // 歌曲名称
  virtual void setArtistCaption(const std::string& text) = 0;    // 歌手名称
  virtual void setWindowTitle(const std::string& text) = 0;
  virtual void setCoverPicture(const std::string& bytes) = 0;  // Pic
  virtual void setPlayButtonVisible(bool visible) = 0;         // 图形按钮_播放
  virtual void setPauseButtonVisible(bool visible) = 0;        // 图形按钮_暂停
  virtual void setProgressWidth(int pixels) = 0;               // 进度条
  virtual void setPlayTimes(const std::string& elapsed, const std::string& total) = 0;
  virtual void setLikeInfoVisible(bool visible) = 0;        // 信息提示框
  virtual void setLikeResult(const std::string& text) = 0;  // 提示1
  virtual void hidePlaylistSquare() = 0;                    // 外形框1
  virtual void setFmButtonSelected(bool selected) = 0;      // 图形按钮_私人FM
  // A message box owned by the main window, OK button, title "信息：".
  virtual void showMessage(const std::string& text) = 0;
};

// The width of the progress bar for a position in a stream of the given length (both in
// bytes); a length below the face width, or unknown, has no meaningful scale.
int ProgressWidth(std::int64_t position, std::int64_t length);

class FacePresenter : public PlaybackObserver {
 public:
  // `serverRefused` tells whether a server that did not answer was there but turned the player
  // away (it does not answer to the name in the player's address).
  explicit FacePresenter(FaceView& view, std::function<bool()> serverRefused = {})
      : view_(view), serverRefused_(std::move(serverRefused)) {}

  void stateChanged(PlayState state) override;
  void songStarted(const SongStart& start) override;
  void coverChanged(const std::string& bytes) override;
  void titleChanged(const std::string& title) override;
  void positionChanged(const PlaybackPosition& at) override;
  void lyricLineChanged(const std::string& line) override;
  void playlistChosen() override;
  void playlistLoadStarted() override;
  void playlistNotFound() override;
  void playlistFound(const std::string& name, const std::string& coverBytes) override;
  void playlistLoadProgress(std::size_t loaded, std::size_t total) override;
  void playlistLoaded(std::size_t songCount) override;
  void fmBatchFetched(std::size_t queued) override;
  void likeBoxShown(bool shown) override;
  void likeResult(const std::string& text) override;
  void failed(const PlaybackFailure& failure) override;

 private:
  void showButtons(PlayState state);

  FaceView& view_;
  std::function<bool()> serverRefused_;
  PlayState state_ = PlayState::Stopped;
  // A failure's reason stays on the artist line, over the lyric, until something new starts.
  bool noticeShown_ = false;
};

}  // namespace lumora
