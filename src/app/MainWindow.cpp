#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QTimer>
#include <QWindow>

#include "app/PlaybackWiring.h"
#include "app/PumpedWaits.h"
#include "behaviour/ClickThroughSwitch.h"
#include "behaviour/EdgeDockingTimer.h"
#include "behaviour/HideToTray.h"
#include "behaviour/ShortcutPoll.h"
#include "behaviour/SleepCountdown.h"
#include "common/Trace.h"
#include "desktop/AppIcon.h"
#include "desktop/DesktopWiring.h"
#include "desktop/FaceSight.h"
#include "desktop/PlayerMemoryWiring.h"
#include "desktop/TrayWiring.h"
#include "desktop/WindowPlatform.h"
#include "download/DownloadWiring.h"
#include "face/FacePictures.h"
#include "face/FaceSize.h"
#include "login/LoginWiring.h"
#include "settingspanel/SettingsWiring.h"
#include "square/SquareWidgets.h"
#include "widgets/PictureButton.h"
#include "widgets/WindowShape.h"

namespace lumora {

MainWindow::MainWindow(ProgramObjects& objects, MessageBoxPresenter presenter, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      objects_(objects),
      presenter_(presenter ? std::move(presenter) : MessageBoxPresenter(showMessageBox)),
      waits_(new PumpedWaits(this)),
      account_(objects.options.ApiBaseAddress, *waits_) {
  // The player outlives the window: it goes back to waiting in place when the window goes.
  objects_.player.setRunner(*waits_);
  background_ = std::make_unique<SvgPicture>(picturePath("background"));
  setObjectName(QStringLiteral("MainWindow"));
  controls_ = buildMainWindowControls(this);
  square_ = new SquareWidgets(controls_.square, controls_.settings.panel, objects_.apiJson,
                              objects_.options.ApiBaseAddress, *waits_, this);
  connectControls();
  settings_ = new SettingsWiring(
      controls_.settings, objects_.desktopLyrics,
      {objects_.options.configHome, objects_.programPath, objects_.options.lastingApiBase()},
      [this](const QString& text) { showMessage(text); }, this);
  playback_ = new PlaybackWiring(
      this, controls_, objects_, account_.session(), *square_, *waits_,
      [this](const std::string& text) { showMessage(QString::fromStdString(text)); });
  auto* clickThrough =
      new ClickThroughSwitch(this, controls_.menu.clickThrough, controls_.settings.opacity,
                             {kFaceHeight, kFaceHeightAboveButtons});
  hideToTray_ = new HideToTray(
      this, controls_.menu.hideToTray, *clickThrough,
      {[this] { return tray_.data(); }, [this] { return objects_.trayAvailable(); }});
  sleep_ = new SleepCountdown(
      controls_.sleep, controls_.menu.menu, controls_.menu.sleep, [this] { destroyMainWindow(); },
      this);
  docking_ =
      new EdgeDockingTimer(this, controls_.settings.edgeHide, controls_.settings.edgeHideLabel,
                           controls_.timers.dock, QSize(kFaceWidth, kFaceHeight));
  shortcuts_ = new ShortcutPoll(controls_.timers.hotkeys, controls_.menu.lyrics, *hideToTray_,
                                *clickThrough, playback(), this);
  connect(waits_, &PumpedWaits::waitsFinished, this, [this] {
    if (deleteWhenWaitsEnd_) deleteLater();
  });
  PlayerFace& face = playback_->face();
  new DownloadWiring(
      this, controls_.face.downloadButton,
      {[&face](const std::string& caption) { face.holdArtistCaption(caption); },
       [&face] { face.releaseArtistCaption(); }},
      objects_.options.musicDir, playback(), *waits_,
      [this](const QString& text, const QString& title) { showMessage(text, title); });
  new LoginWiring(this, controls_.menu.login, account_, *this);
  onMainWindowCreated();
  new DesktopWiring(*this, controls_, objects_.player, playback(),
                    *trayWiring_->notificationSwitch(), objects_.options.cacheHome + "/lumora",
                    objects_.options.ApiBaseAddress,
                    {[this] { destroyMainWindow(); }, [this] { hideToTray_->bringBack(); }});
  new FaceSight(*this, objects_.desktopLyrics.Handle(),
                [this](bool seen) { playback().setWatched(seen); });
}

MainWindow::~MainWindow() {
  if (!destroyed_) onMainWindowDestroying();
  objects_.player.setRunner(InPlaceRunner());
}

PlaybackController& MainWindow::playback() { return playback_->controller(); }

FaceView& MainWindow::face() { return playback_->face(); }

void MainWindow::setLoginItemCaption(const std::string& text) {
  // A nickname is the account's own text: an "&" in it is shown, not taken for a shortcut mark.
  controls_.menu.login->setText(
      QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

void MainWindow::setLikeItemVisible(bool visible) { controls_.menu.like->setVisible(visible); }

bool MainWindow::personalFmSelected() const {
  return playback_->controller().state().playMode == kPersonalFmMode;
}

void MainWindow::clearFmQueue() { playback().forgetFmBatch(); }

void MainWindow::playNext() { playback().playNext(); }

void MainWindow::showAccountPlaylists(const std::vector<std::string>& names,
                                      const std::vector<std::string>& ids) {
  square_->ShowAccountPlaylists(names, ids);
}

int MainWindow::trayOperation(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return 1;
    case QSystemTrayIcon::DoubleClick:
      return 2;
    case QSystemTrayIcon::Context:
      return 3;
    default:
      return 0;
  }
}

void MainWindow::connectControls() {
  const FaceControls& face = controls_.face;
  connect(face.exitButton, &QAbstractButton::clicked, this, &MainWindow::destroyMainWindow);
  connect(face.squareButton, &QAbstractButton::clicked, this, &MainWindow::toggleSquare);
  connect(face.settingsButton, &QAbstractButton::clicked, this, &MainWindow::toggleSettingsPanel);
  const MenuControls& menu = controls_.menu;
  connect(menu.about, &QAction::triggered, this, &MainWindow::showAbout);
  connect(menu.exit, &QAction::triggered, this, &MainWindow::destroyMainWindow);
}

void MainWindow::onMainWindowCreated() {
  playback().setPlayMode(kPlaylistMode);
  reflectAutorun();
  resize(kFaceWidth, kFaceHeight);
  controls_.square.frame->setGeometry(0, 0, 154, 230);
  controls_.square.frame->hide();
  controls_.settings.panel->setGeometry(0, 0, 154, 230);
  controls_.settings.panel->hide();
  controls_.face.likeBox->move(14, 40);
  // The square's first page loads once the face is on screen (onFaceShown).
  putTrayIcon();
  playback().setTitle("Lumora");
  roundWindowCorners(this, 2, 2);
  if (!objects_.audio.init || !objects_.audio.init())
    showMessage(
        QString::fromUtf8("你的电脑声卡故障导致无法播放声音，可能是声卡驱动问题，重启电脑试试！"),
        QString::fromUtf8("声卡故障提示信息"), QMessageBox::Warning);
  setWindowTitle(QString::fromUtf8("暂无播放"));
  setUpDesktopLyrics();
  applySavedSettings();
  memory_ = std::make_unique<PlayerMemoryWiring>(
      *this, controls_, objects_.player, objects_.desktopLyrics, *trayWiring_->notificationSwitch(),
      *trayWiring_->karaokeSwitch(), *trayWiring_->levellingSwitch(),
      PlayerMemoryPath(objects_.options.stateHome),
      WindowPlacementLimits(QGuiApplication::platformName()).isEmpty());
  memory_->restore();
  alignDockingTimer();
  traceStep(objects_.options.traceFile, "onMainWindowCreated");
}

void MainWindow::onMainWindowDestroying() {
  destroyed_ = true;
  // Whatever waits gives up now, so that the routines under the waits end within moments.
  waits_->stop();
  playback().stopTickers();
  shortcuts_->stop();
  docking_->stop();
  sleep_->stop();
  memory_->save();
  if (objects_.audio.free) objects_.audio.free();
  if (tray_) {
    tray_->hide();
    delete tray_;
  }
  saveSettings();
  traceStep(objects_.options.traceFile, "onMainWindowDestroying");
}

void MainWindow::putTrayIcon() {
  // The program's icon is the application's; made here only where nobody set it.
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = AppIcon();
  tray_ = new QSystemTrayIcon(icon, this);
  tray_->setObjectName(QStringLiteral("trayIcon"));
  tray_->setToolTip(QStringLiteral("Lumora"));
  connect(
      tray_, &QSystemTrayIcon::activated, this,
      [this](QSystemTrayIcon::ActivationReason reason) { onTrayOperation(trayOperation(reason)); });
  trayWiring_ = new TrayWiring(*tray_, playback(), controls_.menu, this);
  connect(trayWiring_->karaokeSwitch(), &QAction::toggled, this,
          [this](bool on) { playback_->lyricsFollower().setSweep(on); });
  connect(trayWiring_->levellingSwitch(), &QAction::toggled, this,
          [this](bool on) { objects_.player.setLevelling(on); });
  // Without a notification area the program runs on; the menu stays on the right button.
  if (QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();
}

void MainWindow::destroyMainWindow() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!destroyed_) onMainWindowDestroying();
  event->accept();
}

void MainWindow::onTrayOperation(int operation) {
  if (operation == 1)
    toggleHideToTray();
  else if (operation == 3) {
    trayWiring_->arrangeMenu(true);
    popUpMenu(QCursor::pos());
  }
}

void MainWindow::popUpMenu(const QPoint& globalPos) { controls_.menu.menu->popup(globalPos); }

// A close during a wait posts the deletion into the wait's own event loop; deleting there would
// pull the window out from under the routine that waits. It is put off until the wait ends, which
// the destroy handler has cut short.
bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::DeferredDelete && waits_->waiting()) {
    deleteWhenWaitsEnd_ = true;
    return true;
  }
  return QWidget::event(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  QWidget* target = childAt(event->position().toPoint());
  const bool onFace = !target || target == controls_.face.pic;
  if (event->button() == Qt::RightButton && onFace) {
    trayWiring_->arrangeMenu(false);
    popUpMenu(event->globalPosition().toPoint());
    return;
  }
  // A frameless window still has to be movable; the face and its cover are the handle.
  if (event->button() == Qt::LeftButton && onFace) {
    drag_.press(event->globalPosition().toPoint());
    return;
  }
  QWidget::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!drag_.move(event->globalPosition().toPoint())) QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
  drag_.release();
  QWidget::mouseReleaseEvent(event);
}

// The two panels share the face: showing one hides the other.
void MainWindow::togglePanel(QWidget* panel, QWidget* other) {
  if (!panel->isHidden()) {
    panel->hide();
    return;
  }
  if (!other->isHidden()) other->hide();
  panel->show();
}

void MainWindow::toggleSquare() { togglePanel(controls_.square.frame, controls_.settings.panel); }

void MainWindow::toggleSettingsPanel() {
  togglePanel(controls_.settings.panel, controls_.square.frame);
}

void MainWindow::showAbout() {
  showMessage(
      QString::fromUtf8("Lumora By the Lumora developers\r\n"
                        "右键菜单或 Ctrl 快捷键控制播放，双击歌单即可开始播放。"));
}

// A routine that ends after the window was closed (its wait cut short) has nobody to tell.
void MainWindow::showMessage(const QString& text, const QString& title, QMessageBox::Icon icon) {
  if (destroyed_) return;
  presenter_(this, MessageBoxRequest{text, title, icon});
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  background_->draw(p, rect(), devicePixelRatioF());
  // The face is on screen once this paint pass, children included, has been flushed.
  if (!faceShown_) {
    faceShown_ = true;
    QTimer::singleShot(0, this, &MainWindow::onFaceShown);
  }
}

// The list is hidden behind the face until it is asked for, so its first page need not hold up
// the first paint: the request, and the network library it is the first to load, come after.
void MainWindow::onFaceShown() {
  traceStep(objects_.options.traceFile, "onFaceShown");
  if (!destroyed_) square_->loadOpeningPage();
}

void MainWindow::toggleHideToTray() { hideToTray_->toggle(true); }

void MainWindow::reflectAutorun() { settings_->reflectAutorun(); }

void MainWindow::setUpDesktopLyrics() { settings_->setUpDesktopLyrics(); }

void MainWindow::applySavedSettings() { settings_->applySavedSettings(); }

void MainWindow::saveSettings() { settings_->saveSettings(); }

void MainWindow::alignDockingTimer() { docking_->align(); }

}  // namespace lumora
