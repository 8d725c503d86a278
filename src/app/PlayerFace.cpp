#include "app/PlayerFace.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "app/MainWindowControls.h"
#include "app/PictureButton.h"
#include "lyrics/DesktopLyricsWindow.h"
#include "square/PlaylistSquarePanel.h"

namespace lumora {

namespace {

constexpr int kCoverSide = 155;

template <class T>
T* named(QWidget* window, const char* name) {
  T* control = window->findChild<T*>(QString::fromUtf8(name));
  Q_ASSERT(control);
  return control;
}

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// Interval 0 is how the play modes stop a timer.
void runEvery(QTimer* timer, int ms) {
  if (ms > 0)
    timer->start(ms);
  else
    timer->stop();
}

}  // namespace

PlayerFace::PlayerFace(QWidget* window, DesktopLyricsWindow& desktopLyrics,
                       const PlaylistSquarePanel& square, MessageShower showMessage,
                       Waiter pumpedWait)
    : window_(window),
      desktopLyrics_(desktopLyrics),
      songName_(named<QLabel>(window, "歌曲名称")),
      artistName_(named<QLabel>(window, "歌手名称")),
      likeResult_(named<QLabel>(window, "提示1")),
      pic_(named<QLabel>(window, "Pic")),
      playButton_(named<PictureButton>(window, "图形按钮_播放")),
      pauseButton_(named<PictureButton>(window, "图形按钮_暂停")),
      fmButton_(named<PictureButton>(window, "图形按钮_私人FM")),
      progressTimer_(named<QTimer>(window, "time")),
      autoPlayTimer_(named<QTimer>(window, "时钟_自动播放")),
      progressBar_(named<QFrame>(window, "进度条")),
      likeBox_(named<QFrame>(window, "信息提示框")),
      square_(named<QFrame>(window, "外形框1")),
      squarePanel_(square),
      showMessage_(std::move(showMessage)),
      pumpedWait_(std::move(pumpedWait)) {}

void PlayerFace::setSongNameCaption(const std::string& t) { songName_->setText(text(t)); }

void PlayerFace::setArtistCaption(const std::string& t) { artistName_->setText(text(t)); }

std::string PlayerFace::artistCaption() const { return artistName_->text().toStdString(); }

void PlayerFace::setWindowTitle(const std::string& t) { window_->setWindowTitle(text(t)); }

// Bytes that are no picture (none, an error page) show the designed cover rather than the last
// song's.
void PlayerFace::setCoverPicture(const std::string& bytes) {
  QPixmap picture;
  if (!bytes.empty() && picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                             static_cast<uint>(bytes.size()))) {
    pic_->setPixmap(
        picture.scaled(kCoverSide, kCoverSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return;
  }
  pic_->setPixmap(QPixmap(picturePath("cover")));
}

void PlayerFace::setPlayButtonVisible(bool visible) { playButton_->setVisible(visible); }

void PlayerFace::setPauseButtonVisible(bool visible) { pauseButton_->setVisible(visible); }

void PlayerFace::setProgressTimerInterval(int ms) { runEvery(progressTimer_, ms); }

void PlayerFace::setAutoPlayTimerInterval(int ms) { runEvery(autoPlayTimer_, ms); }

void PlayerFace::setProgressWidth(int pixels) {
  progressBar_->resize(std::max(0, pixels), progressBar_->height());
}

void PlayerFace::setPlayTimes(const std::string& elapsed, const std::string& total) {
  progressBar_->setToolTip(text(elapsed + " / " + total));
}

void PlayerFace::setLikeInfoVisible(bool visible) { likeBox_->setVisible(visible); }

void PlayerFace::hidePlaylistSquare() { square_->hide(); }

void PlayerFace::setFmButtonSelected(bool selected) { fmButton_->setChecked(selected); }

int PlayerFace::squareRowCount() const { return squarePanel_.rowCount(); }

std::string PlayerFace::squarePlaylistId(int row) const { return squarePanel_.playlistIdAt(row); }

void PlayerFace::openUrl(const std::string& url) { QDesktopServices::openUrl(QUrl(text(url))); }

void PlayerFace::setDesktopLyricText(const std::string& t, int highlightPercent) {
  desktopLyrics_.SetText(t, highlightPercent);
}

void PlayerFace::setLikeResult(const std::string& t) { likeResult_->setText(text(t)); }

void PlayerFace::showMessage(const std::string& t) {
  if (showMessage_) showMessage_(t);
}

void PlayerFace::pumpedWait(int ms) {
  if (pumpedWait_) pumpedWait_(ms);
}

void PlayerFace::processPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace lumora
