#pragma once
// The download button: saves the playing song with the cover the face shows. The window lives on
// while the song is fetched; the face says so, with how much has arrived.
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "download/SongDownloader.h"
#include "face/MainWindowControls.h"
#include "net/HttpClient.h"
#include "playback/PlaybackEvents.h"

namespace lumora {

class PlaybackController;
class PlayerFace;
struct ProgramObjects;

// The bytes of the picture Pic shows, the song's cover or the playlist's; empty while the
// designed cover stands in for bytes that are no picture.
class ShownCover : public PlaybackObserver {
 public:
  void coverChanged(const std::string& bytes) override;
  void playlistFound(const std::string& name, const std::string& coverBytes) override;
  const std::string& bytes() const { return bytes_; }

 private:
  void show(const std::string& bytes);
  std::string bytes_;
};

class DownloadWiring : public QObject, public DownloadView {
  Q_OBJECT
 public:
  using MessageShower = std::function<void(const QString& text, const QString& title)>;

  // The folder is the one `objects` names, else chosen at each click. `shownFace` carries the
  // caption that says the download runs.
  DownloadWiring(QWidget* window, const FaceControls& face, PlayerFace& shownFace,
                 ProgramObjects& objects, PlaybackController& playback, MessageShower showMessage);

  void setDownloadRunning(bool running) override;
  void showDownloadMessage(const std::string& text, const std::string& title) override;

 private:
  void download();
  void showProgress();

  FaceControls face_;
  PlayerFace& shownFace_;
  ProgramObjects& objects_;
  PlaybackController& playback_;
  MessageShower showMessage_;
  ShownCover cover_;
  // Set while a download runs: a second click then is the same wish again.
  bool running_ = false;
  TransferProgress progress_;
  QTimer progressTimer_;
};

}  // namespace lumora
