#pragma once
// The download button: saves the playing song, whole, with its cover. The window lives on
// while the song is fetched; the face says so, with how much has arrived.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "download/SongDownloader.h"
#include "net/HttpClient.h"

class QAbstractButton;

namespace lumora {

class PlaybackController;

// The face's 歌手名称 while a download runs: held with a caption of its own, then given back.
struct ArtistCaptionHold {
  std::function<void(const std::string& caption)> hold;
  std::function<void()> release;
};

// The cover bytes when they load as a picture, else empty: the face then shows its designed
// cover, and the tag gets no picture.
std::string PictureOrNothing(const std::string& bytes);

class DownloadWiring : public QObject, public DownloadView {
  Q_OBJECT
 public:
  using MessageShower = std::function<void(const QString& text, const QString& title)>;

  // Songs go to 下载音乐 in `musicDir`; `caption` says the download runs. The fetch waits
  // through `runner`.
  DownloadWiring(QWidget* window, QAbstractButton* downloadButton, ArtistCaptionHold caption,
                 std::string musicDir, PlaybackController& playback, BlockingRunner& runner,
                 MessageShower showMessage);

  void setDownloadRunning(bool running) override;
  void showDownloadMessage(const std::string& text, const std::string& title) override;

 private:
  void download();
  void showProgress();

  ArtistCaptionHold caption_;
  const std::string musicDir_;
  PlaybackController& playback_;
  BlockingRunner& runner_;
  MessageShower showMessage_;
  // Set while a download runs: a second click then is the same wish again.
  bool running_ = false;
  TransferProgress progress_;
  QTimer progressTimer_;
};

}  // namespace lumora
