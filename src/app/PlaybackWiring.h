#pragma once
// Playback on the main window: the play modes over the real player, the face and the desktop
// lyrics as their observers, and every button, menu item, list and timer that drives them.
#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "app/ApiMusicService.h"
#include "app/WorkerJobs.h"
#include "face/FacePresenter.h"
#include "face/MainWindowControls.h"
#include "face/PlayerFace.h"
#include "lyrics/DesktopLyricsFollower.h"
#include "net/ApiClient.h"
#include "playback/PlaybackController.h"
#include "playback/PlayerAudioOutput.h"
#include "square/SquarePlaylists.h"

namespace lumora {

class SquareWidgets;
class PumpedWaits;
struct ProgramObjects;

class PlaybackWiring : public QObject {
  Q_OBJECT
 public:
  // `objects` holds the player, the desktop lyrics window, the base address and, for tests, a
  // replacement output and service; the service reads the login's cookie from `session`. The
  // play modes' pumped waits are pauses of `waits`, and the API requests wait through it.
  PlaybackWiring(QWidget* window, const MainWindowControls& controls, ProgramObjects& objects,
                 const Session& session, SquareWidgets& square, PumpedWaits& waits,
                 PlayerFace::MessageShower showMessage);
  ~PlaybackWiring() override;

  PlaybackController& controller() { return controller_; }
  DesktopLyricsFollower& lyricsFollower() { return desktopLyrics_; }
  PlayerFace& face() { return face_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void connectButtonsAndMenu();
  void connectSquare(SquareWidgets& square);
  void connectLyricsSwitch();
  void onLyricsMenuToggled(bool checked);
  void onLyricsButtonClicked(bool checked);

  FaceControls faceControls_;
  MenuControls menu_;
  ProgramObjects& objects_;
  PlayerAudioOutput playerOutput_;
  PlayerFace face_;
  FacePresenter presenter_;
  DesktopLyricsFollower desktopLyrics_;
  ApiClient apiClient_;
  ApiMusicService apiService_;
  SquarePlaylists squarePlaylists_;
  // Playback's own tickers, not controls of the form: the next try while the server is away,
  // and the end of the like box.
  QTimer* retryTimer_;
  QTimer* likeBoxTimer_;
  // Where songs open and likes are sent; stopped before the controller goes.
  WorkerJobs* jobs_;
  PlaybackController controller_;
};

}  // namespace lumora
