#include "desktop/TrayWiring.h"

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

namespace {

QAction* traySwitch(const char* caption, bool on, QObject* owner) {
  auto* item = new QAction(QString::fromUtf8(caption), owner);
  item->setObjectName(item->text());
  item->setCheckable(true);
  item->setChecked(on);
  return item;
}

}  // namespace

TrayWiring::TrayWiring(QSystemTrayIcon& tray, PlaybackController& playback,
                       const MenuControls& menu, QObject* parent)
    : QObject(parent),
      tray_(&tray),
      menu_(menu),
      notificationSwitch_(traySwitch("新歌通知", true, this)),
      karaokeSwitch_(traySwitch("卡拉OK歌词", false, this)),
      levellingSwitch_(traySwitch("响度均衡", true, this)) {
  playback.addObserver(*this);
}

void TrayWiring::arrangeMenu(bool fromTray) {
  // Moving an action the menu already holds takes it out of its old place.
  QMenu* menu = menu_.menu;
  if (fromTray) {
    menu->insertActions(menu_.login, {menu_.playPause, menu_.next, menu_.previous});
    menu->insertActions(menu_.about, {notificationSwitch_, karaokeSwitch_, levellingSwitch_});
  } else {
    menu->insertActions(menu_.lyrics, {menu_.playPause, menu_.previous, menu_.next});
    menu->removeAction(notificationSwitch_);
    menu->removeAction(karaokeSwitch_);
    menu->removeAction(levellingSwitch_);
  }
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
