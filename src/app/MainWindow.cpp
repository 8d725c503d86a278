#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QTimer>
#include <QWindow>

#include "app/ColourPicker.h"
#include "app/PictureButton.h"
#include "app/PlaybackWiring.h"
#include "app/Trace.h"
#include "net/ui/WindowShape.h"
#include "square/PlaylistSquarePanel.h"

namespace lumora {

void initAppResources();

namespace {

QIcon trayPicture() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  QSvgRenderer(picturePath("tray")).render(&p);
  return QIcon(pixmap);
}

QAction* menuItem(QMenu* menu, const char* caption) {
  return menu->findChild<QAction*>(QString::fromUtf8(caption));
}

}  // namespace

MainWindow::MainWindow(ProgramObjects& objects, MessageBoxPresenter presenter, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      objects_(objects),
      presenter_(presenter ? std::move(presenter) : MessageBoxPresenter(execMessageBox)) {
  initAppResources();
  setObjectName(QStringLiteral("MainWindow"));
  controls_ = buildMainWindowControls(this);
  square_ = new PlaylistSquarePanel(
      controls_.listPanel,
      BrowseState{objects_.browseMode, objects_.browseKeyword, objects_.browseOffset},
      objects_.apiJson, objects_.apiBaseAddress, this);
  connectControls();
  playback_ = new PlaybackWiring(this, objects_, *square_, [this](const std::string& text) {
    showMessage(QString::fromStdString(text));
  });
  connect(playback_, &PlaybackWiring::waitsFinished, this, [this] {
    if (deleteWhenWaitsEnd_) deleteLater();
  });
  onMainWindowCreated();
}

MainWindow::~MainWindow() {
  if (!destroyed_) onMainWindowDestroying();
}

PlaybackController& MainWindow::playback() { return playback_->controller(); }

PlayerView& MainWindow::playerView() { return playback_->face(); }

ApiView& MainWindow::apiView() { return playback_->face(); }

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
  connect(controls_.exitButton, &QAbstractButton::clicked, this, &MainWindow::destroyMainWindow);
  connect(controls_.listButton, &QAbstractButton::clicked, this, &MainWindow::toggleListPanel);
  connect(controls_.settingsButton, &QAbstractButton::clicked, this,
          &MainWindow::toggleSettingsPanel);
  connect(menuItem(controls_.menu, "关于"), &QAction::triggered, this, &MainWindow::showAbout);
  connect(menuItem(controls_.menu, "退出"), &QAction::triggered, this,
          &MainWindow::destroyMainWindow);
  connect(menuItem(controls_.menu, "最小化(&Ctrl+ M)"), &QAction::triggered, this,
          &MainWindow::toggleHideToTray);
}

void MainWindow::onMainWindowCreated() {
  playback().state().playMode = kPlaylistMode;
  objects_.loginAccount.clear();
  objects_.loginPassword.clear();
  objects_.programPath = QApplication::applicationFilePath().toStdString();
  reflectAutorun();
  resize(154, 260);
  controls_.listPanel->setGeometry(0, 0, 154, 230);
  controls_.listPanel->hide();
  controls_.settingsPanel->setGeometry(0, 0, 154, 230);
  controls_.settingsPanel->hide();
  controls_.likeBox->move(14, 40);
  objects_.browseKeyword = "全部";
  objects_.browseOffset = 0;
  objects_.browseMode = "默认";
  loadFirstSquarePage();
  putTrayIcon();
  playback().state().now.currentTitle = "Lumora";
  objects_.session.cookie.clear();
  roundWindowCorners(this, 2, 2);
  if (!objects_.audio.init || !objects_.audio.init())
    showMessage(
        QString::fromUtf8("你的电脑声卡故障导致无法播放声音，可能是声卡驱动问题，重启电脑试试！"),
        QString::fromUtf8("声卡故障提示信息"), QMessageBox::Warning);
  setWindowTitle(QString::fromUtf8("暂无播放"));
  // The lyric colours are set on the controls before the lyrics window is styled from them.
  controls_.colour1->setColour(0xDD6F00);
  controls_.colour2->setColour(0xFFFFFF);
  controls_.colour3->setColour(0x000000);
  controls_.gradient->setCurrentIndex(1);
  setUpDesktopLyrics();
  applySavedSettings();
  alignDockingTimer();
  traceStep("onMainWindowCreated");
}

void MainWindow::onMainWindowDestroying() {
  destroyed_ = true;
  playback_->stopTimers();
  if (objects_.audio.free) objects_.audio.free();
  if (tray_) {
    tray_->hide();
    delete tray_;
  }
  saveSettings();
  traceStep("onMainWindowDestroying");
}

void MainWindow::putTrayIcon() {
  tray_ = new QSystemTrayIcon(trayPicture(), this);
  tray_->setObjectName(QStringLiteral("trayIcon"));
  tray_->setToolTip(QStringLiteral("Lumora"));
  connect(
      tray_, &QSystemTrayIcon::activated, this,
      [this](QSystemTrayIcon::ActivationReason reason) { onTrayOperation(trayOperation(reason)); });
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
  else if (operation == 3)
    popUpMenu(QCursor::pos());
}

void MainWindow::popUpMenu(const QPoint& globalPos) { controls_.menu->popup(globalPos); }

// A close during a pumped wait posts the deletion into the wait's own event loop; deleting there
// would pull the window out from under the routine that waits. It is put off until the wait ends.
bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::DeferredDelete && playback_->waiting()) {
    deleteWhenWaitsEnd_ = true;
    return true;
  }
  return QWidget::event(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
  QWidget* target = childAt(event->position().toPoint());
  const bool onFace = !target || target == controls_.pic;
  if (event->button() == Qt::RightButton && onFace) {
    popUpMenu(event->globalPosition().toPoint());
    return;
  }
  // A frameless window still has to be movable; the face itself is the handle.
  if (event->button() == Qt::LeftButton && !target && windowHandle()) {
    windowHandle()->startSystemMove();
    return;
  }
  QWidget::mousePressEvent(event);
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

void MainWindow::toggleListPanel() { togglePanel(controls_.listPanel, controls_.settingsPanel); }

void MainWindow::toggleSettingsPanel() {
  togglePanel(controls_.settingsPanel, controls_.listPanel);
}

void MainWindow::showAbout() {
  showMessage(
      QString::fromUtf8("Lumora By the Lumora developers\r\n"
                        "右键菜单或 Ctrl 快捷键控制播放，双击歌单即可开始播放。"));
}

void MainWindow::showMessage(const QString& text, const QString& title, QMessageBox::Icon icon) {
  presenter_(this, MessageBoxRequest{text, title, icon});
}

void MainWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  static QSvgRenderer background(picturePath("background"));
  background.render(&p, QRectF(0, 0, width(), height()));
}

void MainWindow::toggleHideToTray() {}

void MainWindow::reflectAutorun() {}

void MainWindow::loadFirstSquarePage() { square_->loadCurrentPage(); }

void MainWindow::setUpDesktopLyrics() {
  const auto* face = control<QComboBox>("字体型号");
  const auto* size = control<QComboBox>("字体大小");
  setUpDesktopLyricsAtStartup(
      objects_.desktopLyrics, face->currentText(), size->currentText().toInt(),
      control<QCheckBox>("字体加粗")->isChecked(), control<QCheckBox>("字体倾斜")->isChecked(),
      control<QCheckBox>("字体下划线")->isChecked());
}

void MainWindow::applySavedSettings() {}

void MainWindow::saveSettings() {}

void MainWindow::alignDockingTimer() {
  if (controls_.edgeHideBox->isChecked())
    controls_.dockTimer->start(10);
  else
    controls_.dockTimer->stop();
}

}  // namespace lumora
