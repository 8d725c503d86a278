#pragma once
// A desktop notification for each new song while the face is out of sight: hidden to the tray,
// docked away at a screen edge, minimised or covered.
#include <QList>
#include <QRect>
#include <functional>
#include <string>

#include "playback/PlaybackEvents.h"

class QAction;
class QWidget;

namespace lumora {

class Notifications;

// In sight: at least half of the face on the screens and not under the windows `above` it.
bool faceInSight(bool shown, bool exposed, const QRect& frame, const QList<QRect>& screens,
                 const QList<QRect>& above = {});

class SongNotice : public PlaybackObserver {
 public:
  // `coverFile` names the cover file of the song that has just started (empty for none); the
  // switch is the tray menu's.
  SongNotice(QWidget& face, QAction& enabled, Notifications& notifications,
             std::function<std::string()> coverFile);

  void songStarted(const SongStart& start) override;

 private:
  QWidget& face_;
  QAction& enabled_;
  Notifications& notifications_;
  std::function<std::string()> coverFile_;
};

}  // namespace lumora
