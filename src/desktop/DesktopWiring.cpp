#include "app/DesktopWiring.h"

#include <QDBusConnection>
#include <QFrame>

#include "app/MainWindow.h"
#include "app/ProgramObjects.h"
#include "app/TrayWiring.h"

namespace lumora {

namespace {

std::vector<QWidget*> overlays(const MainWindowControls& c) {
  return {c.list.panel, c.settings.panel, c.face.likeBox, c.sleep.box};
}

MprisHooks windowHooks(MainWindow& window, std::function<void()> raise) {
  MprisHooks hooks;
  hooks.quit = [&window] { window.destroyMainWindow(); };
  hooks.raise = std::move(raise);
  return hooks;
}

}  // namespace

DesktopWiring::DesktopWiring(MainWindow& window, ProgramObjects& objects,
                             std::function<void()> raise)
    : QObject(&window),
      transport_(objects.player, window.playback()),
      gestures_(&window, window.controls().face, overlays(window.controls()), transport_),
      mpris_(window.playback(), transport_, windowHooks(window, std::move(raise)),
             objects.options.cacheHome + "/lumora", objects.options.apiBaseAddress),
      notifications_(QDBusConnection::sessionBus()),
      notice_(window, *window.trayWiring()->notificationSwitch(), notifications_,
              [this] { return mpris_.coverFile(); }) {
  // Without a session bus (a bare X session, a test machine) the player runs on unseen.
  mpris_.publish(QDBusConnection::sessionBus());
  window.playback().addObserver(notice_);
}

}  // namespace lumora
