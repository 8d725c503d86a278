#pragma once
// The play modes' and the service routines' view of the player face: each write goes to the
// control of that name.
#include <functional>
#include <string>

#include "net/ApiClient.h"
#include "playback/PlaybackInterfaces.h"

class QFrame;
class QLabel;
class QTimer;
class QWidget;

namespace lumora {

class DesktopLyricsWindow;
class PictureButton;
class PlaylistSquarePanel;

class PlayerFace : public PlayerView, public ApiView {
 public:
  // `window` is the main window, which holds every control by its designed name; the square
  // reads its own rows.
  using MessageShower = std::function<void(const std::string& text)>;
  using Waiter = std::function<void(int ms)>;

  PlayerFace(QWidget* window, DesktopLyricsWindow& desktopLyrics, const PlaylistSquarePanel& square,
             MessageShower showMessage, Waiter pumpedWait);

  void setSongNameCaption(const std::string& text) override;
  void setArtistCaption(const std::string& text) override;
  std::string artistCaption() const override;
  void setWindowTitle(const std::string& text) override;
  void setCoverPicture(const std::string& bytes) override;
  void setPlayButtonVisible(bool visible) override;
  void setPauseButtonVisible(bool visible) override;
  void setProgressTimerInterval(int ms) override;
  void setAutoPlayTimerInterval(int ms) override;
  void setProgressWidth(int pixels) override;
  // No control shows the times; they become the progress bar's tooltip.
  void setPlayTimes(const std::string& elapsed, const std::string& total) override;
  void setLikeInfoVisible(bool visible) override;
  void hidePlaylistSquare() override;
  void setFmButtonSelected(bool selected) override;
  int squareRowCount() const override;
  std::string squarePlaylistId(int row) const override;
  void openUrl(const std::string& url) override;
  void setDesktopLyricText(const std::string& text, int highlightPercent) override;

  void setLikeResult(const std::string& text) override;  // 提示1
  void showMessage(const std::string& text) override;
  void pumpedWait(int ms) override;
  void processPendingEvents() override;

 private:
  QWidget* window_;
  DesktopLyricsWindow& desktopLyrics_;
  QLabel* songName_;
  QLabel* artistName_;
  QLabel* likeResult_;
  QLabel* pic_;
  PictureButton* playButton_;
  PictureButton* pauseButton_;
  PictureButton* fmButton_;
  QTimer* progressTimer_;
  QTimer* autoPlayTimer_;
  QFrame* progressBar_;
  QFrame* likeBox_;
  QFrame* square_;
  const PlaylistSquarePanel& squarePanel_;
  MessageShower showMessage_;
  Waiter pumpedWait_;
};

}  // namespace lumora
