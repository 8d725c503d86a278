#include "app/TrayWiring.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "playback/PlaybackController.h"

namespace lumora {

std::string trayToolTip(const Song& song, PlayState state) {
  if (song.name.empty()) return "Lumora";
  std::string text = song.name;
  if (!song.artists.empty()) text += " — " + song.artists;
  if (state == PlayState::Playing) text += "\n播放中";
  if (state == PlayState::Paused) text += "\n已暂停";
  return text;
}

void arrangeMenu(const MenuControls& menu, bool fromTray) {
  // Moving an action the menu already holds takes it out of its old place.
  if (fromTray) {
    menu.menu->insertActions(menu.login, {menu.playPause, menu.next, menu.previous});
  } else {
    menu.menu->insertActions(menu.lyrics, {menu.playPause, menu.previous, menu.next});
  }
}

TrayWiring::TrayWiring(QSystemTrayIcon& tray, PlaybackController& playback, QObject* parent)
    : QObject(parent), tray_(&tray) {
  playback.addObserver(*this);
}

void TrayWiring::songStarted(const SongStart& start) {
  song_ = start.song;
  showToolTip();
}

void TrayWiring::stateChanged(PlayState state) {
  state_ = state;
  showToolTip();
}

void TrayWiring::showToolTip() {
  if (tray_) tray_->setToolTip(QString::fromStdString(trayToolTip(song_, state_)));
}

}  // namespace lumora
