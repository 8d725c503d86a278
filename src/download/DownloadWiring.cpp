#include "download/DownloadWiring.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <utility>

#include "playback/PlaybackController.h"

namespace lumora {
namespace {

// Shown in 歌手名称 while the song arrives, with the share that has arrived once it is known.
const char* const kDownloadingCaption = "歌曲下载中...";
constexpr int kProgressShownMs = 200;

}  // namespace

// The face's own test: bytes that do not load as a picture are not shown, so not saved either.
std::string PictureOrNothing(const std::string& bytes) {
  QImage picture;
  const bool shown =
      !bytes.empty() && picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                             static_cast<int>(bytes.size()));
  return shown ? bytes : std::string();
}

DownloadWiring::DownloadWiring(QWidget* window, QAbstractButton* downloadButton,
                               ArtistCaptionHold caption, std::string musicDir,
                               PlaybackController& playback, BlockingRunner& runner,
                               MessageShower showMessage)
    : QObject(window),
      caption_(std::move(caption)),
      musicDir_(std::move(musicDir)),
      playback_(playback),
      runner_(runner),
      showMessage_(std::move(showMessage)) {
  connect(downloadButton, &QAbstractButton::clicked, this, &DownloadWiring::download);
  connect(&progressTimer_, &QTimer::timeout, this, &DownloadWiring::showProgress);
}

void DownloadWiring::download() {
  if (running_) return;
  const std::filesystem::path folder = std::filesystem::path(musicDir_) / kDownloadFolderName;
  // One record, read whole at the click: the song the face shows, whatever starts meanwhile.
  const NowPlaying& now = playback_.state().now;
  SongDownloader downloader(folder, *this, [this](const std::string& url) {
    progress_.received = 0;
    progress_.total = -1;
    return UrlFetch(url, runner_, &progress_);
  });
  downloader.DownloadCurrentSong({now.currentUrl, now.currentTitle, now.currentName,
                                  now.currentArtists, now.currentAlbum,
                                  PictureOrNothing(now.cover)});
}

void DownloadWiring::setDownloadRunning(bool running) {
  running_ = running;
  if (running) {
    // Busy, not blocked: the player stays in use meanwhile.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    caption_.hold(kDownloadingCaption);
    progressTimer_.start(kProgressShownMs);
  } else {
    progressTimer_.stop();
    caption_.release();
    QApplication::restoreOverrideCursor();
  }
}

void DownloadWiring::showProgress() {
  const std::int64_t total = progress_.total;
  std::string caption = kDownloadingCaption;
  if (total > 0) caption += " " + std::to_string(progress_.received * 100 / total) + "%";
  caption_.hold(caption);
}

void DownloadWiring::showDownloadMessage(const std::string& text, const std::string& title) {
  showMessage_(QString::fromStdString(text), QString::fromStdString(title));
}

}  // namespace lumora
