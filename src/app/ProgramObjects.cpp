#include "app/ProgramObjects.h"

#include <QSystemTrayIcon>
#include <utility>

namespace lumora {

ProgramObjects::ProgramObjects(Options options) : options(std::move(options)) {
  audio.init = [this] { return player.init(this->options.audioDevice); };
  audio.free = [this] { return player.free(); };
  trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
}

}  // namespace lumora
