#include "app/ProgramObjects.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <utility>

namespace lumora {

ProgramObjects::ProgramObjects(Options options)
    : options(std::move(options)), programPath(QApplication::applicationFilePath().toStdString()) {
  audio.init = [this] { return player.init(this->options.audioDevice); };
  audio.free = [this] { return player.free(); };
  trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;
}

}  // namespace lumora
