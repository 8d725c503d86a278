#include "app/WindowBehaviours.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <utility>
#include <vector>

#include "app/DockedPointerWatch.h"
#include "app/KeyboardWatch.h"
#include "app/LiveWindowFlags.h"
#include "behaviour/ClickThrough.h"
#include "behaviour/EdgeDocking.h"
#include "behaviour/SleepTimer.h"
#include "playback/PlaybackController.h"
#include "widgets/PictureButton.h"
#include "widgets/WindowShape.h"

namespace lumora {
namespace {

constexpr int kDockPeriodMs = 10;
constexpr int kFaceWidth = 154;

QString text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

void toggleCheck(QAction* item) { item->setChecked(!item->isChecked()); }

}  // namespace

WindowBehaviours::WindowBehaviours(QWidget* window, const MainWindowControls& controls,
                                   PlaybackController& playback, WindowBehaviourHooks hooks)
    : QObject(window),
      window_(window),
      face_(controls.face),
      sleep_(controls.sleep),
      list_(controls.list),
      settings_(controls.settings),
      menu_(controls.menu),
      timers_(controls.timers),
      playback_(playback),
      hooks_(std::move(hooks)),
      keyboard_(new KeyboardWatch(this)),
      dockedWatch_(new DockedPointerWatch(this)) {
  connectMenu();
  connectSleepTimer();
  connectEdgeHide();
  setToolTips();
  connect(keyboard_, &KeyboardWatch::pressed, this, &WindowBehaviours::wakeShortcutPoll);
  connect(timers_.hotkeys, &QTimer::timeout, this, &WindowBehaviours::runShortcuts);
  connect(timers_.dock, &QTimer::timeout, this, &WindowBehaviours::dockStep);
  window_->installEventFilter(this);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    // A screen of another size may put the window at an edge, or take it away from one.
    connect(screen, &QScreen::geometryChanged, this, &WindowBehaviours::alignDockingTimer);
    // Opened in a corner, the face would slide out of sight the moment it appears.
    window_->move(screen->availableGeometry().center() - QPoint(kFaceWidth / 2, kFaceHeight / 2));
  }
}

WindowBehaviours::~WindowBehaviours() = default;

void WindowBehaviours::stopTimers() {
  stopped_ = true;
  timers_.hotkeys->stop();
  timers_.dock->stop();
  sleep_.countdown->stop();
}

void WindowBehaviours::connectMenu() {
  // The menu toggles an item's check before it reports the click.
  connect(menu_.clickThrough, &QAction::triggered, this, &WindowBehaviours::applyClickThrough);
  connect(menu_.hideToTray, &QAction::triggered, this,
          [this](bool checked) { applyHideToTray(checked, true); });
  connect(menu_.sleep, &QAction::triggered, this,
          [this] { sleep_.box->setVisible(sleep_.box->isHidden()); });
  // A countdown under way shows what it has left on its own item.
  menu_.menu->setToolTipsVisible(true);
  connect(menu_.menu, &QMenu::aboutToShow, this, &WindowBehaviours::showSleepTimeLeft);
  connect(menu_.sleep, &QAction::hovered, this, &WindowBehaviours::showSleepTimeLeft);
}

void WindowBehaviours::connectSleepTimer() {
  connect(sleep_.period, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (const auto caption = sleepButtonCaption(index)) sleep_.confirm->setText(text(*caption));
  });
  connect(sleep_.confirm, &QAbstractButton::clicked, this, &WindowBehaviours::confirmSleep);
  connect(sleep_.countdown, &QTimer::timeout, this, [this] { hooks_.destroyWindow(); });
}

void WindowBehaviours::connectEdgeHide() {
  connect(settings_.edgeHide, &QCheckBox::toggled, this, &WindowBehaviours::alignDockingTimer);
  settings_.edgeHideLabel->installEventFilter(this);
  connect(dockedWatch_, &DockedPointerWatch::entered, this, &WindowBehaviours::alignDockingTimer);
}

void WindowBehaviours::setToolTips() {
  const std::pair<QWidget*, const char*> tips[] = {
      {face_.previousButton, "上一曲（Ctrl + Left）"},
      {face_.nextButton, "下一曲（Ctrl + Right）"},
      {face_.playButton, "播放（Ctrl + P）"},
      {face_.pauseButton, "暂停（Ctrl + P）"},
      {face_.lyricsButton, "打开歌词（Ctrl + D）"},
      {face_.fmButton, "私人FM"},
      {face_.listButton, "歌单列表"},
      {face_.downloadButton, "下载"},
      {face_.settingsButton, "设置"},
      {face_.exitButton, "退出"},
      {list_.searchToggle, "歌单搜索"},
      {list_.firstPage, "歌单首页"},
      {list_.nextPage, "歌单下一页"},
      {settings_.autorun, "开机自启动"},
      {settings_.autorunLabel, "开机自启动"},
      {settings_.edgeHide, "侧边自动隐藏"},
      {settings_.edgeHideLabel, "侧边自动隐藏"},
      {settings_.preset, "歌词颜色预设方案"},
  };
  for (const auto& [control, tip] : tips) {
    control->setToolTip(QString::fromUtf8(tip));
    // Pictures and caption-less boxes are named by what their tooltip says.
    const auto* button = qobject_cast<QAbstractButton*>(control);
    const bool captioned = qobject_cast<QLabel*>(control) || (button && !button->text().isEmpty());
    if (!captioned) control->setAccessibleName(QString::fromUtf8(tip));
  }
  window_->setAttribute(Qt::WA_AlwaysShowToolTips);
}

void WindowBehaviours::wakeShortcutPoll() {
  if (!stopped_ && !timers_.hotkeys->isActive()) timers_.hotkeys->start();
}

void WindowBehaviours::runShortcuts() {
  ShortcutKeys& keys = keyboard_->keys();
  const std::vector<ShortcutAction> actions = keys.tick();
  if (keys.idle()) timers_.hotkeys->stop();
  for (ShortcutAction action : actions) {
    // A song start may pump events, and the window may be destroyed meanwhile.
    if (stopped_) return;
    switch (action) {
      case ShortcutAction::DesktopLyrics:
        menu_.lyrics->trigger();
        break;
      case ShortcutAction::HideToTray:
        toggleCheck(menu_.hideToTray);
        applyHideToTray(menu_.hideToTray->isChecked(), false);
        break;
      case ShortcutAction::ClickThrough:
        switchClickThrough();
        break;
      case ShortcutAction::PlayPrevious:
        playback_.playPrevious();
        break;
      case ShortcutAction::PlayNext:
        playback_.playNext();
        break;
      case ShortcutAction::PlayPause:
        playPauseWithTitle();
        break;
    }
  }
}

// Pausing acts only on a playing stream, resuming or starting only on a paused or stopped one.
void WindowBehaviours::playPauseWithTitle() {
  const bool wasPaused = playback_.playState() == PlayState::Paused;
  playback_.pausePlayback();
  if (wasPaused || playback_.playState() != PlayState::Paused) playback_.resumeOrStart();
}

void WindowBehaviours::switchClickThrough() {
  toggleCheck(menu_.clickThrough);
  applyClickThrough(menu_.clickThrough->isChecked());
}

void WindowBehaviours::applyClickThrough(bool on) {
  const ClickThroughLook look =
      clickThroughLook(on, settings_.opacity->currentText().toStdString());
  window_->setWindowOpacity(look.alpha / 255.0);
  window_->resize(window_->width(), look.height);
  roundWindowCorners(window_, 2, 2);
  setLiveWindowFlag(window_, Qt::WindowTransparentForInput, look.inputTransparent);
}

void WindowBehaviours::toggleHideToTray() {
  toggleCheck(menu_.hideToTray);
  applyHideToTray(menu_.hideToTray->isChecked(), true);
}

void WindowBehaviours::bringBack() {
  if (menu_.clickThrough->isChecked()) switchClickThrough();
  if (menu_.hideToTray->isChecked()) toggleHideToTray();
  window_->showNormal();
  window_->raise();
  window_->activateWindow();
}

// Without a notification area a hidden window could never come back: it is minimised instead,
// so the task bar and the window list still reach it.
void WindowBehaviours::applyHideToTray(bool hidden, bool keepOnTop) {
  menu_.clickThrough->setVisible(!hidden);
  if (!trayReady()) {
    if (hidden)
      window_->showMinimized();
    else
      window_->showNormal();
  } else {
    window_->setVisible(!hidden);
  }
  if (!hidden && keepOnTop) {
    setLiveWindowFlag(window_, Qt::WindowStaysOnTopHint, true);
    window_->raise();
  }
}

bool WindowBehaviours::trayReady() {
  QSystemTrayIcon* tray = hooks_.trayIcon();
  if (!tray || !hooks_.trayAvailable()) return false;
  // A notification area that came up after start-up has no icon in it yet.
  if (!tray->isVisible()) tray->show();
  return true;
}

void WindowBehaviours::confirmSleep() {
  if (const auto period = sleepPeriod(sleep_.period->currentIndex())) {
    if (*period == 0)
      sleep_.countdown->stop();
    else
      sleep_.countdown->start(*period);
  }
  sleep_.box->hide();
  showSleepTimeLeft();
}

void WindowBehaviours::showSleepTimeLeft() {
  const QTimer* countdown = sleep_.countdown;
  menu_.sleep->setToolTip(
      countdown->isActive() ? QString::fromStdString(sleepTimeLeftText(countdown->remainingTime()))
                            : QString());
}

// Started anew only when stopped: a drag's stream of moves must not keep pushing the tick away.
void WindowBehaviours::alignDockingTimer() {
  dockedWatch_->stop();
  if (!settings_.edgeHide->isChecked() || stopped_)
    timers_.dock->stop();
  else if (!timers_.dock->isActive())
    timers_.dock->start(kDockPeriodMs);
}

void WindowBehaviours::dockStep() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QPoint origin = area.topLeft();
  const QRect frame = window_->geometry();
  const QPoint cursor = QCursor::pos() - origin;
  const DockScreen size{area.width(), area.height()};
  const DockRect before{frame.x() - origin.x(), frame.y() - origin.y(), frame.width(),
                       frame.height()};
  const DockStep step = dockWindow(before, {cursor.x(), cursor.y()}, size);
  const QPoint target = origin + QPoint(step.window.left, step.window.top);
  if (target != frame.topLeft()) window_->move(target);
  setLiveWindowFlag(window_, Qt::WindowStaysOnTopHint, step.alwaysOnTop);
  // Docked and left as it was, the window waits for the pointer rather than polling for it.
  if (!dockingCanMove(step.window, size) ||
      dockedWatch_->rest(before, step, {cursor.x(), cursor.y()}, *screen))
    timers_.dock->stop();
}

bool WindowBehaviours::eventFilter(QObject* watched, QEvent* event) {
  if (watched == settings_.edgeHideLabel && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    settings_.edgeHide->toggle();
  } else if (watched == window_ && (event->type() == QEvent::Move ||
                                    event->type() == QEvent::Resize ||
                                    event->type() == QEvent::Show)) {
    alignDockingTimer();
  } else if (watched == window_ && event->type() == QEvent::WindowStateChange &&
             menu_.hideToTray->isChecked() && !window_->isMinimized() && window_->isVisible()) {
    // Brought back from the task bar rather than by the switch: the switch follows.
    menu_.hideToTray->setChecked(false);
    menu_.clickThrough->setVisible(true);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora
