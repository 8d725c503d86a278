#pragma once
// The tray icon follows what plays: its tooltip names the song and the play state, and the menu it
// pops up leads with the transport.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <string>

#include "face/MainWindowControls.h"
#include "playback/PlaybackEvents.h"

class QSystemTrayIcon;

namespace lumora {

class PlaybackController;

// "title — artists", then the play state on a line of its own; "Lumora" before any song.
std::string trayToolTip(const Song& song, PlayState state);

class TrayWiring : public QObject, public PlaybackObserver {
 public:
  // Made after the window's playback wiring, so it outlives the controller it observes.
  TrayWiring(QSystemTrayIcon& tray, PlaybackController& playback, const MenuControls& menu,
             QObject* parent);

  // The one menu 菜单 serves the face and the tray: from the face it keeps its designed items and
  // order; from the tray play/pause, next and previous come first and the tray's switches join.
  void arrangeMenu(bool fromTray);
  // Whether a song change is announced while the face is out of sight; on by default.
  QAction* notificationSwitch() const { return notificationSwitch_; }
  // The karaoke sweep of the desktop lyrics; off by default.
  QAction* karaokeSwitch() const { return karaokeSwitch_; }
  // Every song at the same loudness (AudioPlayer::setLevelling); on by default.
  QAction* levellingSwitch() const { return levellingSwitch_; }

  void songStarted(const SongStart& start) override;
  void stateChanged(PlayState state) override;

 private:
  void showToolTip();

  // The destroy handler deletes the icon before the controller is gone.
  QPointer<QSystemTrayIcon> tray_;
  MenuControls menu_;
  QAction* notificationSwitch_;
  QAction* karaokeSwitch_;
  QAction* levellingSwitch_;
  Song song_;
  PlayState state_ = PlayState::Stopped;
};

}  // namespace lumora
