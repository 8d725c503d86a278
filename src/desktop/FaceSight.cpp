#include "desktop/FaceSight.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <utility>

#include "desktop/SongNotice.h"

namespace lumora {

FaceSight::FaceSight(QWidget& face, QWidget* lyrics, Listener listener)
    : QObject(&face), face_(face), lyrics_(lyrics), listener_(std::move(listener)) {
  face_.installEventFilter(this);
  if (lyrics_) lyrics_->installEventFilter(this);
  lookSoon();
}

bool FaceSight::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
    case QEvent::Expose:
      lookSoon();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void FaceSight::lookSoon() {
  if (std::exchange(looking_, true)) return;
  QMetaObject::invokeMethod(this, &FaceSight::look, Qt::QueuedConnection);
}

void FaceSight::look() {
  looking_ = false;
  // The face's window exists from its first show on; its exposure is told to it alone.
  QWindow* window = face_.windowHandle();
  if (window && faceWindow_ != window) {
    faceWindow_ = window;
    window->installEventFilter(this);
  }
  QList<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) screens.push_back(screen->geometry());
  const bool shown = face_.isVisible() && !face_.isMinimized();
  const bool seen =
      faceInSight(shown, window && window->isExposed(), face_.frameGeometry(), screens) ||
      (lyrics_ && lyrics_->isVisible());
  if (seen == seen_) return;
  seen_ = seen;
  listener_(seen);
}

}  // namespace lumora
