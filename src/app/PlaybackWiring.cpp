#include "app/PlaybackWiring.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <memory>

#include "app/ProgramObjects.h"
#include "app/PumpedWaits.h"
#include "lyrics/LyricLineCache.h"
#include "square/SquareWidgets.h"
#include "widgets/PictureButton.h"

namespace lumora {

namespace {

// A playback ticker on one of the window's timers.
class TimerTicker : public Ticker {
 public:
  explicit TimerTicker(QTimer* timer) : timer_(timer) {}
  void start(int ms) override {
    if (timer_) timer_->start(ms);
  }
  void stop() override {
    if (timer_) timer_->stop();
  }

 private:
  QPointer<QTimer> timer_;
};

PlaybackHooks windowHooks(PumpedWaits& waits, const FaceControls& face, QTimer* retryTimer,
                          QTimer* likeBoxTimer, BackgroundRunner& background,
                          const PlaybackPeriods& periods) {
  PlaybackHooks hooks;
  // The cache is shared by the hook's copies; it reads each song's lyric once.
  hooks.findLyricLine = [cache = std::make_shared<LyricLineCache>()](const std::string& lyric,
                                                                     const std::string& key) {
    return cache->FindLine(lyric, key);
  };
  hooks.pumpedWait = [&waits](int ms) { waits.pause(ms); };
  hooks.processPendingEvents = [] { QCoreApplication::processEvents(); };
  hooks.openUrl = [](const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
  };
  hooks.progressTicker = std::make_shared<TimerTicker>(face.progressTimer);
  hooks.autoPlayTicker = std::make_shared<TimerTicker>(face.autoPlayTimer);
  hooks.retryTicker = std::make_shared<TimerTicker>(retryTimer);
  hooks.likeBoxTicker = std::make_shared<TimerTicker>(likeBoxTimer);
  hooks.background = &background;
  hooks.periods = periods;
  // tickCount and random: the controller's own steady clock and generator.
  return hooks;
}

}  // namespace

PlaybackWiring::PlaybackWiring(QWidget* window, const MainWindowControls& controls,
                               ProgramObjects& objects, const Session& session,
                               SquareWidgets& square, PumpedWaits& waits,
                               PlayerFace::MessageShower showMessage)
    : QObject(window),
      faceControls_(controls.face),
      menu_(controls.menu),
      objects_(objects),
      playerOutput_(objects.player),
      face_(window, controls.face, controls.square.frame, std::move(showMessage)),
      presenter_(face_,
                 [this, &square] {
                   return apiClient_.LastReply() == ApiReply::Refused ||
                          apiService_.SongAddressRefused() || square.square().refused();
                 }),
      desktopLyrics_(objects.desktopLyrics,
                     [this]() -> const std::string& { return controller_.state().now.lyricText; }),
      apiClient_(objects.apiJson, session, objects.options.ApiBaseAddress, waits),
      apiService_(apiClient_, session, objects.options.ApiBaseAddress),
      squarePlaylists_(square),
      retryTimer_(new QTimer(this)),
      likeBoxTimer_(new QTimer(this)),
      jobs_(new WorkerJobs(this)),
      controller_(
          objects.audioOutput ? *objects.audioOutput : playerOutput_,
          objects.musicService ? *objects.musicService : apiService_, squarePlaylists_,
          objects.options.ApiBaseAddress,
          windowHooks(waits, controls.face, retryTimer_, likeBoxTimer_,
                      objects.background ? *objects.background : *jobs_, objects.playbackPeriods)) {
  controller_.addObserver(presenter_);
  controller_.addObserver(desktopLyrics_);
  // Told on a media thread; the player and the controller hear of it on this one, if the
  // controller is still there.
  // One call queued at a time, however much is posted meanwhile.
  auto queued = std::make_shared<std::atomic<bool>>(false);
  objects.player.setPostNotifier([wiring = QPointer<PlaybackWiring>(this), queued] {
    if (queued->exchange(true)) return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [wiring, queued] {
          *queued = false;
          if (!wiring) return;
          wiring->objects_.player.handlePosted();
          wiring->controller_.streamPosted();
        },
        Qt::QueuedConnection);
  });
  connectButtonsAndMenu();
  connectSquare(square);
  connectLyricsSwitch();
}

// Nothing of an opening or a like may come back to a controller that is gone.
PlaybackWiring::~PlaybackWiring() { jobs_->stopAll(); }

void PlaybackWiring::connectButtonsAndMenu() {
  PlaybackController* c = &controller_;
  auto onClick = [this, c](QAbstractButton* button, void (PlaybackController::*routine)()) {
    connect(button, &QAbstractButton::clicked, this, [c, routine] { (c->*routine)(); });
  };
  onClick(faceControls_.nextButton, &PlaybackController::playNext);
  onClick(faceControls_.previousButton, &PlaybackController::playPrevious);
  onClick(faceControls_.playButton, &PlaybackController::resumeOrStart);
  onClick(faceControls_.pauseButton, &PlaybackController::pausePlayback);
  connect(faceControls_.fmButton, &QAbstractButton::clicked, this,
          [c](bool checked) { c->onFmButtonClicked(checked); });

  auto onItem = [this, c](QAction* item, void (PlaybackController::*routine)()) {
    connect(item, &QAction::triggered, this, [c, routine] { (c->*routine)(); });
  };
  onItem(menu_.next, &PlaybackController::playNext);
  onItem(menu_.previous, &PlaybackController::playPrevious);
  onItem(menu_.playPause, &PlaybackController::togglePlayPause);
  onItem(menu_.like, &PlaybackController::likeCurrentSong);

  connect(faceControls_.progressTimer, &QTimer::timeout, this, [c] { c->progressTick(); });
  connect(faceControls_.autoPlayTimer, &QTimer::timeout, this, [c] { c->autoPlayTick(); });
  connect(retryTimer_, &QTimer::timeout, this, [c] { c->retryTick(); });
  connect(likeBoxTimer_, &QTimer::timeout, this, [c] { c->likeBoxTick(); });

  faceControls_.songName->installEventFilter(this);
}

// A double-click with no row selected chooses nothing: there is no playlist to load.
void PlaybackWiring::connectSquare(SquareWidgets& square) {
  connect(&square, &SquareWidgets::playlistChosen, this, [this](int row) {
    if (row >= 0) controller_.playSelectedPlaylist(row);
  });
}

void PlaybackWiring::connectLyricsSwitch() {
  connect(menu_.lyrics, &QAction::triggered, this, &PlaybackWiring::onLyricsMenuToggled);
  connect(faceControls_.lyricsButton, &QAbstractButton::clicked, this,
          &PlaybackWiring::onLyricsButtonClicked);
}

// Both forms toggle their own check first and then bring the other in line.
void PlaybackWiring::onLyricsMenuToggled(bool checked) {
  faceControls_.lyricsButton->setChecked(checked);
  if (checked)
    objects_.desktopLyrics.Show();
  else
    objects_.desktopLyrics.Hide();
}

void PlaybackWiring::onLyricsButtonClicked(bool checked) {
  menu_.lyrics->setChecked(checked);
  if (checked) {
    objects_.desktopLyrics.Redraw();
    objects_.desktopLyrics.Show();
  } else {
    objects_.desktopLyrics.Hide();
  }
}

bool PlaybackWiring::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    controller_.openSongPage();
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora
