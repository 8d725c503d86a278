#include "behaviour/HideToTray.h"

#include <QAction>
#include <QEvent>
#include <QSystemTrayIcon>
#include <QWidget>
#include <utility>

#include "behaviour/ClickThroughSwitch.h"
#include "behaviour/LiveWindowFlags.h"

namespace lumora {

HideToTray::HideToTray(QWidget* window, QAction* item, ClickThroughSwitch& clickThrough,
                       TrayHooks hooks)
    : QObject(window),
      window_(window),
      item_(item),
      clickThrough_(clickThrough),
      hooks_(std::move(hooks)) {
  connect(item_, &QAction::triggered, this, [this](bool checked) { apply(checked, true); });
  window_->installEventFilter(this);
}

void HideToTray::toggle(bool keepOnTop) {
  item_->setChecked(!item_->isChecked());
  apply(item_->isChecked(), keepOnTop);
}

void HideToTray::bringBack() {
  if (clickThrough_.on()) clickThrough_.toggle();
  if (item_->isChecked()) toggle(true);
  window_->showNormal();
  window_->raise();
  window_->activateWindow();
}

// Without a notification area a hidden window could never come back: it is minimised instead,
// so the task bar and the window list still reach it.
void HideToTray::apply(bool hidden, bool keepOnTop) {
  clickThrough_.offer(!hidden);
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

bool HideToTray::trayReady() {
  QSystemTrayIcon* tray = hooks_.trayIcon();
  if (!tray || !hooks_.trayAvailable()) return false;
  // A notification area that came up after start-up has no icon in it yet.
  if (!tray->isVisible()) tray->show();
  return true;
}

// Brought back from the task bar rather than by the switch: the switch follows.
bool HideToTray::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::WindowStateChange && item_->isChecked() &&
      !window_->isMinimized() && window_->isVisible()) {
    item_->setChecked(false);
    clickThrough_.offer(true);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora
