#include "face/PlayerFace.h"

#include <QCursor>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QToolTip>
#include <algorithm>

#include "face/FacePictures.h"
#include "widgets/PictureButton.h"

namespace lumora {

namespace {

constexpr int kCoverSide = 155;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

PlayerFace::PlayerFace(QWidget* window, const FaceControls& face, QWidget* squareFrame,
                       MessageShower showMessage)
    : window_(window),
      face_(face),
      squareFrame_(squareFrame),
      showMessage_(std::move(showMessage)) {}

void PlayerFace::setSongNameCaption(const std::string& t) { face_.songName->setText(text(t)); }

void PlayerFace::setArtistCaption(const std::string& t) {
  if (artistHeld_)
    artistBehind_ = text(t);
  else
    face_.artistName->setText(text(t));
}

void PlayerFace::holdArtistCaption(const std::string& t) {
  if (!artistHeld_) artistBehind_ = face_.artistName->text();
  artistHeld_ = true;
  face_.artistName->setText(text(t));
}

void PlayerFace::releaseArtistCaption() {
  if (!artistHeld_) return;
  artistHeld_ = false;
  face_.artistName->setText(artistBehind_);
}

void PlayerFace::setWindowTitle(const std::string& t) { window_->setWindowTitle(text(t)); }

// Bytes that are no picture (none, an error page) show the designed cover rather than the last
// song's.
void PlayerFace::setCoverPicture(const std::string& bytes) {
  QPixmap picture;
  if (!bytes.empty() && picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                             static_cast<uint>(bytes.size()))) {
    face_.pic->setPixmap(
        picture.scaled(kCoverSide, kCoverSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return;
  }
  face_.pic->setPixmap(designedCover(*face_.pic));
}

void PlayerFace::setPlayButtonVisible(bool visible) { face_.playButton->setVisible(visible); }

void PlayerFace::setPauseButtonVisible(bool visible) { face_.pauseButton->setVisible(visible); }

void PlayerFace::setProgressWidth(int pixels) {
  face_.progressBar->resize(std::max(0, pixels), face_.progressBar->height());
}

// Asked every tick, changed once a second; each change is an event through the application.
void PlayerFace::setPlayTimes(const std::string& elapsed, const std::string& total) {
  const QString tip = text(elapsed + " / " + total);
  const QString before = face_.progressBar->toolTip();
  if (before == tip) return;
  face_.progressBar->setToolTip(tip);
  face_.pic->setToolTip(tip);
  // A tip showing the times goes on with them; the pointer stands where it was brought up.
  if (!QToolTip::isVisible() || QToolTip::text() != before) return;
  const QPoint pointer = QCursor::pos();
  QWidget* owner =
      face_.pic->rect().contains(face_.pic->mapFromGlobal(pointer)) ? face_.pic : window_;
  QToolTip::showText(pointer, tip, owner);
}

void PlayerFace::setLikeInfoVisible(bool visible) { face_.likeBox->setVisible(visible); }

void PlayerFace::setLikeResult(const std::string& t) { face_.likeResult->setText(text(t)); }

void PlayerFace::hidePlaylistSquare() { squareFrame_->hide(); }

void PlayerFace::setFmButtonSelected(bool selected) { face_.fmButton->setChecked(selected); }

void PlayerFace::showMessage(const std::string& t) {
  if (showMessage_) showMessage_(t);
}

}  // namespace lumora
