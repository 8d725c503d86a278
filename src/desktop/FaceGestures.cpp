#include "desktop/FaceGestures.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "desktop/Transport.h"
#include "face/FacePresenter.h"
#include "face/FaceSize.h"

namespace lumora {

namespace {

constexpr int kStepsPerFullVolume = 100 / kVolumeStepPercent;
constexpr int kAnglePerNotch = 120;
// The bar is two pixels high; a few more on each side make it something a hand can hit.
constexpr int kProgressRowMargin = 3;

}  // namespace

double SteppedVolume(double volume, int notches) {
  const long step = std::lround(std::clamp(volume, 0.0, 1.0) * kStepsPerFullVolume) + notches;
  return static_cast<double>(std::clamp<long>(step, 0, kStepsPerFullVolume)) / kStepsPerFullVolume;
}

QString VolumeText(double volume) {
  return QStringLiteral("音量 %1%").arg(std::lround(volume * 100));
}

FaceGestures::FaceGestures(QWidget* window, const FaceControls& face,
                           std::vector<QWidget*> overlays, Transport& transport)
    : window_(window), face_(face), overlays_(std::move(overlays)), transport_(transport) {
  window_->installEventFilter(this);
}

// The face's own pictures and captions pass the mouse on to the window; a box or panel laid
// over the face keeps it.
bool FaceGestures::onFace(QPoint windowPos) const {
  for (QWidget* w = window_->childAt(windowPos); w && w != window_; w = w->parentWidget())
    if (std::find(overlays_.begin(), overlays_.end(), w) != overlays_.end()) return false;
  return true;
}

bool FaceGestures::onProgressRow(QPoint windowPos) const {
  const QRect bar = face_.progressBar->geometry();
  return windowPos.x() >= 0 && windowPos.x() < kFaceWidth &&
         windowPos.y() >= bar.top() - kProgressRowMargin &&
         windowPos.y() <= bar.bottom() + kProgressRowMargin && onFace(windowPos);
}

void FaceGestures::turnWheel(int angleDelta, QPoint globalPos) {
  pendingAngle_ += angleDelta;
  const int notches = pendingAngle_ / kAnglePerNotch;
  if (notches == 0) return;
  pendingAngle_ -= notches * kAnglePerNotch;
  const double volume = SteppedVolume(transport_.volume(), notches);
  if (!transport_.setVolume(volume)) return;
  QToolTip::showText(globalPos, VolumeText(volume), window_, {}, kVolumeShownMs);
}

bool FaceGestures::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_) return false;
  if (event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!onFace(wheel->position().toPoint())) return false;
    turnWheel(wheel->angleDelta().y(), wheel->globalPosition().toPoint());
    return true;
  }
  // The bar is as wide as the part played; its whole row shows the bar's times.
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString times = face_.progressBar->toolTip();
    if (times.isEmpty() || !onProgressRow(help->pos())) return false;
    QToolTip::showText(help->globalPos(), times, window_);
    return true;
  }
  if (event->type() == QEvent::MouseButtonPress) {
    auto* press = static_cast<QMouseEvent*>(event);
    const QPoint at = press->position().toPoint();
    if (press->button() != Qt::LeftButton || !onProgressRow(at)) return false;
    // Without a song there is nothing to seek in, and the press moves the window as before.
    if (!transport_.canSeek()) return false;
    transport_.seekTo(transport_.length() * at.x() / kFaceWidth);
    return true;
  }
  return false;
}

}  // namespace lumora
