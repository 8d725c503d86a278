#include "desktop/SongNotice.h"

#include <QAction>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "behaviour/WindowsAbove.h"
#include "desktop/Notifications.h"

namespace lumora {

bool faceInSight(bool shown, bool exposed, const QRect& frame, const QList<QRect>& screens,
                 const QList<QRect>& above) {
  if (!shown || !exposed) return false;
  QRegion seen;
  for (const QRect& screen : screens) seen += screen.intersected(frame);
  for (const QRect& window : above) seen -= window;
  long long area = 0;
  for (const QRect& part : seen) area += 1LL * part.width() * part.height();
  return 2 * area >= 1LL * frame.width() * frame.height();
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
  // Covered is asked only now: the window system tells of no window moving over the face.
  if (faceInSight(shown, window && window->isExposed(), face_.frameGeometry(), screens,
                  shown ? otherWindowsAbove(face_) : QList<QRect>{}))
    return;
  QString body = QString::fromStdString(start.song.artists);
  if (!start.song.album.empty()) body += "\n" + QString::fromStdString(start.song.album);
  notifications_.show(QString::fromStdString(start.song.name), body,
                      QString::fromStdString(coverFile_()));
}

}  // namespace lumora
