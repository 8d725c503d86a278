#pragma once
// The main window as a citizen of the desktop: the media-player service on the session bus, the
// notification of each new song, and the face's wheel and progress-bar gestures, over one shared
// transport.
#include <QObject>
#include <functional>

#include "app/FaceGestures.h"
#include "app/SongNotice.h"
#include "desktop/MprisService.h"
#include "desktop/Notifications.h"
#include "desktop/Transport.h"

namespace lumora {

class MainWindow;
struct ProgramObjects;

class DesktopWiring : public QObject {
 public:
  // Made after the window's playback wiring, so it is destroyed after the controller it
  // observes. `raise` brings the face back to the front with the focus.
  DesktopWiring(MainWindow& window, ProgramObjects& objects, std::function<void()> raise);

 private:
  Transport transport_;
  FaceGestures gestures_;
  MprisService mpris_;
  Notifications notifications_;
  // After the media-player service, which writes the new song's cover file first.
  SongNotice notice_;
};

}  // namespace lumora
