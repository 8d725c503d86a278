#pragma once
// Playback on the main window: the play modes over the real player and the face, and every
// button, menu item, list and timer that drives them, bound in one place.
#include <QObject>

#include "app/PlayerFace.h"
#include "net/ApiClient.h"
#include "playback/ApiMusicService.h"
#include "playback/PlaybackController.h"
#include "playback/PlayerAudioOutput.h"

class QAction;

namespace lumora {

class PictureButton;
class PlaylistSquarePanel;
struct ProgramObjects;

class PlaybackWiring : public QObject {
  Q_OBJECT
 public:
  // `window` holds the controls by their designed names; `objects` the player, the desktop
  // lyrics window, the base address and, for tests, a replacement output and service.
  PlaybackWiring(QWidget* window, ProgramObjects& objects, PlaylistSquarePanel& square,
                 PlayerFace::MessageShower showMessage);
  ~PlaybackWiring() override;

  PlaybackController& controller() { return controller_; }
  PlayerFace& face() { return face_; }

  // Shutdown: once the device is released no tick may start another song.
  void stopTimers();

  // A local event loop, so the window keeps painting and answering clicks meanwhile.
  void pumpedWait(int ms);
  // True while a pumped wait runs: a routine of the play modes is still on the stack.
  bool waiting() const { return waitDepth_ > 0; }

 signals:
  // The outermost pumped wait has returned.
  void waitsFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void connectButtonsAndMenu();
  void connectSquare(PlaylistSquarePanel& square);
  void connectLyricsSwitch();
  void onLyricsMenuToggled(bool checked);
  void onLyricsButtonClicked(bool checked);

  QWidget* window_;
  ProgramObjects& objects_;
  PlayerAudioOutput playerOutput_;
  PlayerFace face_;
  ApiClient apiClient_;
  ApiMusicService apiService_;
  PlaybackController controller_;
  QAction* lyricsItem_ = nullptr;
  PictureButton* lyricsButton_ = nullptr;
  int waitDepth_ = 0;
};

}  // namespace lumora
