#include "app/PlaybackWiring.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include "app/PictureButton.h"
#include "app/ProgramObjects.h"
#include "lyrics/FindLyricLine.h"
#include "square/PlaylistSquarePanel.h"

namespace lumora {

namespace {

template <class T>
T* named(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromUtf8(name));
  Q_ASSERT(child);
  return child;
}

PlaybackHooks windowHooks(PlaybackWiring* wiring) {
  PlaybackHooks hooks;
  hooks.findLyricLine = [](const std::string& lyric, const std::string& key) {
    return FindLyricLine(lyric, key);
  };
  hooks.pumpedWait = [wiring](int ms) { wiring->pumpedWait(ms); };
  // tickCount and random: the controller's own steady clock and generator.
  return hooks;
}

}  // namespace

PlaybackWiring::PlaybackWiring(QWidget* window, ProgramObjects& objects,
                               PlaylistSquarePanel& square, PlayerFace::MessageShower showMessage)
    : QObject(window),
      window_(window),
      objects_(objects),
      playerOutput_(objects.player),
      face_(window, objects.desktopLyrics, square, std::move(showMessage),
            [this](int ms) { pumpedWait(ms); }),
      apiClient_(objects.apiJson, objects.session, face_, objects.apiBaseAddress),
      apiService_(apiClient_),
      controller_(objects.audioOutput ? *objects.audioOutput : playerOutput_,
                  objects.musicService ? *objects.musicService : apiService_, face_,
                  objects.apiBaseAddress, windowHooks(this)) {
  connectButtonsAndMenu();
  connectSquare(square);
  connectLyricsSwitch();
}

PlaybackWiring::~PlaybackWiring() = default;

void PlaybackWiring::pumpedWait(int ms) {
  ++waitDepth_;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  if (--waitDepth_ == 0) emit waitsFinished();
}

void PlaybackWiring::stopTimers() {
  named<QTimer>(window_, "time")->stop();
  named<QTimer>(window_, "时钟_自动播放")->stop();
}

void PlaybackWiring::connectButtonsAndMenu() {
  PlaybackController* c = &controller_;
  auto onClick = [this, c](const char* button, void (PlaybackController::*routine)()) {
    connect(named<PictureButton>(window_, button), &QAbstractButton::clicked, this,
            [c, routine] { (c->*routine)(); });
  };
  onClick("图形按钮_下一曲", &PlaybackController::playNext);
  onClick("图形按钮_上一曲", &PlaybackController::playPrevious);
  onClick("图形按钮_播放", &PlaybackController::resumeOrStart);
  onClick("图形按钮_暂停", &PlaybackController::pausePlayback);
  connect(named<PictureButton>(window_, "图形按钮_私人FM"), &QAbstractButton::clicked, this,
          [c](bool checked) { c->onFmButtonClicked(checked); });

  const QMenu* menu = named<QMenu>(window_, "菜单");
  auto onItem = [this, c, menu](const char* caption, void (PlaybackController::*routine)()) {
    connect(named<QAction>(menu, caption), &QAction::triggered, this,
            [c, routine] { (c->*routine)(); });
  };
  onItem("下一曲(&Ctrl+ Right)", &PlaybackController::playNext);
  onItem("上一曲(&Ctrl+ Left)", &PlaybackController::playPrevious);
  onItem("播放/暂停(&Ctrl+ P)", &PlaybackController::togglePlayPause);
  onItem("喜欢当前歌曲", &PlaybackController::likeCurrentSong);

  connect(named<QTimer>(window_, "time"), &QTimer::timeout, this, [c] { c->progressTick(); });
  connect(named<QTimer>(window_, "时钟_自动播放"), &QTimer::timeout, this,
          [c] { c->autoPlayTick(); });

  named<QLabel>(window_, "歌曲名称")->installEventFilter(this);
}

// A double-click with no row selected chooses nothing: there is no playlist to load.
void PlaybackWiring::connectSquare(PlaylistSquarePanel& square) {
  connect(&square, &PlaylistSquarePanel::playlistChosen, this, [this](int row) {
    if (row >= 0) controller_.playSelectedPlaylist(row);
  });
}

void PlaybackWiring::connectLyricsSwitch() {
  lyricsItem_ = named<QAction>(named<QMenu>(window_, "菜单"), "歌词显示(&Ctrl+ D)");
  lyricsButton_ = named<PictureButton>(window_, "图形按钮_歌词");
  connect(lyricsItem_, &QAction::triggered, this, &PlaybackWiring::onLyricsMenuToggled);
  connect(lyricsButton_, &QAbstractButton::clicked, this, &PlaybackWiring::onLyricsButtonClicked);
}

// Both forms toggle their own check first and then bring the other in line.
void PlaybackWiring::onLyricsMenuToggled(bool checked) {
  lyricsButton_->setChecked(checked);
  if (checked)
    objects_.desktopLyrics.Show();
  else
    objects_.desktopLyrics.Hide();
}

void PlaybackWiring::onLyricsButtonClicked(bool checked) {
  lyricsItem_->setChecked(checked);
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
