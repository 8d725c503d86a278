#include "desktop/DesktopWiring.h"

#include <QDBusConnection>
#include <QFrame>

#include "playback/PlaybackController.h"

namespace lumora {

namespace {

std::vector<QWidget*> overlays(const MainWindowControls& c) {
  return {c.square.frame, c.settings.panel, c.face.likeBox, c.sleep.box};
}

}  // namespace

DesktopWiring::DesktopWiring(QWidget& window, const MainWindowControls& controls,
                             AudioPlayer& player, PlaybackController& playback,
                             QAction& notificationSwitch, std::string coverFolder,
                             std::string apiBaseAddress, MprisHooks hooks)
    : QObject(&window),
      transport_(player, playback),
      gestures_(&window, controls.face, overlays(controls), transport_),
      // A child of the wiring, so that tests reach it as the window's.
      mpris_(playback, transport_, std::move(hooks), std::move(coverFolder),
             std::move(apiBaseAddress), this),
      notifications_(QDBusConnection::sessionBus()),
      notice_(window, notificationSwitch, notifications_, [this] { return mpris_.coverFile(); }) {
  // Without a session bus (a bare X session, a test machine) the player runs on unseen.
  mpris_.publish(QDBusConnection::sessionBus());
  playback.addObserver(notice_);
}

}  // namespace lumora
