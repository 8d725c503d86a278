#include "app/DownloadWiring.h"

#include <QApplication>
#include <QImage>

#include "app/ProgramObjects.h"
#include "face/PlayerFace.h"
#include "playback/PlaybackController.h"
#include "widgets/PictureButton.h"

namespace lumora {
namespace {

// Shown in 歌手名称 while the song arrives, with the share that has arrived once it is known.
const char* const kDownloadingCaption = "歌曲下载中...";
constexpr int kProgressShownMs = 200;

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

DownloadWiring::DownloadWiring(QWidget* window, const FaceControls& face, PlayerFace& shownFace,
                               ProgramObjects& objects, PlaybackController& playback,
                               MessageShower showMessage)
    : QObject(window),
      face_(face),
      shownFace_(shownFace),
      objects_(objects),
      playback_(playback),
      showMessage_(std::move(showMessage)) {
  playback_.addObserver(cover_);
  connect(face_.downloadButton, &QAbstractButton::clicked, this, &DownloadWiring::download);
  connect(&progressTimer_, &QTimer::timeout, this, &DownloadWiring::showProgress);
}

void DownloadWiring::download() {
  if (running_) return;
  const std::filesystem::path folder =
      std::filesystem::path(objects_.options.musicDir) / kDownloadFolderName;
  const NowPlaying& now = playback_.state().now;
  SongDownloader downloader(folder, *this, [this](const std::string& url) {
    progress_.received = 0;
    progress_.total = -1;
    return UrlFetch(url, &progress_);
  });
  downloader.DownloadCurrentSong({now.currentUrl, now.currentTitle, now.currentName,
                                  now.currentArtists, now.currentAlbum, cover_.bytes()});
}

void DownloadWiring::setDownloadRunning(bool running) {
  running_ = running;
  if (running) {
    // Busy, not blocked: the player stays in use meanwhile.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    shownFace_.holdArtistCaption(kDownloadingCaption);
    progressTimer_.start(kProgressShownMs);
  } else {
    progressTimer_.stop();
    shownFace_.releaseArtistCaption();
    QApplication::restoreOverrideCursor();
  }
}

void DownloadWiring::showProgress() {
  const std::int64_t total = progress_.total;
  std::string caption = kDownloadingCaption;
  if (total > 0) caption += " " + std::to_string(progress_.received * 100 / total) + "%";
  shownFace_.holdArtistCaption(caption);
}

void DownloadWiring::showDownloadMessage(const std::string& text, const std::string& title) {
  showMessage_(QString::fromStdString(text), QString::fromStdString(title));
}

}  // namespace lumora
