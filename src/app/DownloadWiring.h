#pragma once
// The download button: saves the playing song with the cover the face shows. The window blocks
// while the song is fetched, so the busy cursor and caption are painted before that starts.
#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "app/MainWindowControls.h"
#include "download/SongDownloader.h"
#include "playback/PlaybackEvents.h"

namespace lumora {

class PlaybackController;
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

  // The folder is the one `objects` names, else chosen at each click.
  DownloadWiring(QWidget* window, const FaceControls& face, ProgramObjects& objects,
                 PlaybackController& playback, MessageShower showMessage);

  void setDownloadRunning(bool running) override;
  void showDownloadMessage(const std::string& text, const std::string& title) override;

 private:
  void download();

  QWidget* window_;
  FaceControls face_;
  ProgramObjects& objects_;
  PlaybackController& playback_;
  MessageShower showMessage_;
  ShownCover cover_;
  QString captionBefore_;
};

}  // namespace lumora
