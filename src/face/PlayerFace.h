#pragma once
// The face's controls as FacePresenter writes them: each write goes to one typed control.
#include <QString>
#include <functional>
#include <string>

#include "face/FacePresenter.h"
#include "face/MainWindowControls.h"

namespace lumora {

class PlayerFace : public FaceView {
 public:
  using MessageShower = std::function<void(const std::string& text)>;

  // `window` carries the title; `squareFrame` is 外形框1, hidden when a playlist is chosen.
  PlayerFace(QWidget* window, const FaceControls& face, QWidget* squareFrame,
             MessageShower showMessage);

  void setSongNameCaption(const std::string& text) override;
  void setArtistCaption(const std::string& text) override;
  void setWindowTitle(const std::string& text) override;
  void setCoverPicture(const std::string& bytes) override;
  void setPlayButtonVisible(bool visible) override;
  void setPauseButtonVisible(bool visible) override;
  void setProgressWidth(int pixels) override;
  // No control shows the times; they become the tooltip of the progress bar and the cover.
  void setPlayTimes(const std::string& elapsed, const std::string& total) override;
  void setLikeInfoVisible(bool visible) override;
  void setLikeResult(const std::string& text) override;
  void hidePlaylistSquare() override;
  void setFmButtonSelected(bool selected) override;
  void showMessage(const std::string& text) override;

  // While held, 歌手名称 shows what the holder says; what playback writes meanwhile is kept, and
  // the latest of it is shown on release.
  void holdArtistCaption(const std::string& text);
  void releaseArtistCaption();

 private:
  QWidget* window_;
  FaceControls face_;
  QWidget* squareFrame_;
  MessageShower showMessage_;
  bool artistHeld_ = false;
  QString artistBehind_;
};

}  // namespace lumora
