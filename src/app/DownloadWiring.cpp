#include "app/DownloadWiring.h"

#include <QApplication>
#include <QImage>
#include <QLabel>

#include "app/ProgramObjects.h"
#include "net/HttpClient.h"
#include "playback/PlaybackController.h"
#include "widgets/PictureButton.h"

namespace lumora {
namespace {

// Shown in 歌手名称 while the window waits for the song.
const char* const kDownloadingCaption = "歌曲下载中...";

}  // namespace

void ShownCover::coverChanged(const std::string& bytes) { show(bytes); }

void ShownCover::playlistFound(const std::string&, const std::string& coverBytes) {
  show(coverBytes);
}

// The face's own test: what does not load as a picture is not shown.
void ShownCover::show(const std::string& bytes) {
  QImage picture;
  bool shown = !bytes.empty() && picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                                      static_cast<int>(bytes.size()));
  bytes_ = shown ? bytes : std::string();
}

DownloadWiring::DownloadWiring(QWidget* window, const FaceControls& face, ProgramObjects& objects,
                               PlaybackController& playback, MessageShower showMessage)
    : QObject(window),
      window_(window),
      face_(face),
      objects_(objects),
      playback_(playback),
      showMessage_(std::move(showMessage)) {
  playback_.addObserver(cover_);
  connect(face_.downloadButton, &QAbstractButton::clicked, this, &DownloadWiring::download);
}

void DownloadWiring::download() {
  const std::filesystem::path folder =
      std::filesystem::path(objects_.options.musicDir) / kDownloadFolderName;
  const NowPlaying& now = playback_.state().now;
  SongDownloader downloader(folder, *this, UrlFetch);
  downloader.DownloadCurrentSong({now.currentUrl, now.currentTitle, now.currentName,
                                  now.currentArtists, now.currentAlbum, cover_.bytes()});
}

void DownloadWiring::setDownloadRunning(bool running) {
  if (running) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    captionBefore_ = face_.artistName->text();
    face_.artistName->setText(QString::fromUtf8(kDownloadingCaption));
    // Nothing is painted while the fetch blocks the window, so paint now.
    window_->repaint();
  } else {
    face_.artistName->setText(captionBefore_);
    QApplication::restoreOverrideCursor();
  }
}

void DownloadWiring::showDownloadMessage(const std::string& text, const std::string& title) {
  showMessage_(QString::fromStdString(text), QString::fromStdString(title));
}

}  // namespace lumora
