#include "desktop/SongNotice.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "desktop/Notifications.h"

namespace lumora {

bool faceInSight(bool shown, bool exposed, const QRect& frame, const QList<QRect>& screens) {
  if (!shown || !exposed) return false;
  long long seen = 0;
  for (const QRect& screen : screens) {
    const QRect common = screen.intersected(frame);
    if (!common.isEmpty()) seen += 1LL * common.width() * common.height();
  }
  return 2 * seen >= 1LL * frame.width() * frame.height();
}

SongNotice::SongNotice(QWidget& face, QAction& enabled, Notifications& notifications,
                       std::function<std::string()> coverFile)
    : face_(face),
      enabled_(enabled),
      notifications_(notifications),
      coverFile_(std::move(coverFile)) {}

void SongNotice::songStarted(const SongStart& start) {
  if (!enabled_.isChecked()) return;
  QList<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) screens.push_back(screen->geometry());
  const QWindow* window = face_.windowHandle();
  const bool shown = face_.isVisible() && !face_.isMinimized();
  if (faceInSight(shown, window && window->isExposed(), face_.frameGeometry(), screens)) return;
  QString body = QString::fromStdString(start.song.artists);
  if (!start.song.album.empty()) body += "\n" + QString::fromStdString(start.song.album);
  notifications_.show(QString::fromStdString(start.song.name), body,
                      QString::fromStdString(coverFile_()));
}

}  // namespace lumora
