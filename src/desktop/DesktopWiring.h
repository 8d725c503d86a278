#pragma once
// The main window as a citizen of the desktop: the media-player service on the session bus, the
// notification of each new song, and the face's wheel and progress-bar gestures, over one shared
// transport.
#include <QObject>
#include <string>

#include "desktop/FaceGestures.h"
#include "desktop/MprisService.h"
#include "desktop/Notifications.h"
#include "desktop/SongNotice.h"
#include "desktop/Transport.h"
#include "face/MainWindowControls.h"

class QAction;

namespace lumora {

class AudioPlayer;
class PlaybackController;

class DesktopWiring : public QObject {
 public:
  // Made after the window's playback wiring, so it is destroyed after the controller it
  // observes. Covers go under `coverFolder`; `notificationSwitch` is the tray menu's 新歌通知.
  DesktopWiring(QWidget& window, const MainWindowControls& controls, AudioPlayer& player,
                PlaybackController& playback, QAction& notificationSwitch, std::string coverFolder,
                std::string apiBaseAddress, MprisHooks hooks);

 private:
  Transport transport_;
  FaceGestures gestures_;
  MprisService mpris_;
  Notifications notifications_;
  // After the media-player service, which writes the new song's cover file first.
  SongNotice notice_;
};

}  // namespace lumora
