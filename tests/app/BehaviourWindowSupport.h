#pragma once
// A main window over the scripted player for the behaviour tests: docking off and the face in
// the middle of the screen unless a test says otherwise, with key presses and timer ticks.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <chrono>
#include <functional>

#include "support/PlaybackWindowSupport.h"
#include "support/WaitFor.h"

namespace lumora::test {

struct BehaviourWindow : PlaybackWindow {
  BehaviourWindow() {
    objects.trayAvailable = [this] { return trayAvailable; };
    control<QCheckBox>(*window, "选择框_侧边隐藏")->setChecked(false);
    window->move(300, 200);
    window->show();
    hotkeys = control<QTimer>(*window, "时钟_监视热键");
    // Connected after the window's own handler, so it sees each tick after it ran.
    QObject::connect(hotkeys, &QTimer::timeout, [this] {
      ++ticks;
      if (afterTick) afterTick();
    });
  }

  void key(QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::ControlModifier);
    QApplication::sendEvent(window.get(), &event);
  }
  void press(int k) { key(QEvent::KeyPress, k); }
  void release(int k) { key(QEvent::KeyRelease, k); }
  // Ctrl with the key, down and up again before the next tick.
  void tap(int k) {
    press(Qt::Key_Control);
    press(k);
    release(k);
    release(Qt::Key_Control);
  }

  bool pump(const std::function<bool()>& done,
            std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    return waitFor(done, limit, [] { QApplication::processEvents(); });
  }
  void waitTicks(int count) {
    const int until = ticks + count;
    pump([&] { return ticks >= until; });
  }

  QAction* item(const char* caption) {
    return window->menu()->findChild<QAction*>(QString::fromUtf8(caption));
  }
  bool onTop() const { return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
  bool inputTransparent() const {
    return window->windowFlags().testFlag(Qt::WindowTransparentForInput);
  }
  int alpha() const { return qRound(window->windowOpacity() * 255); }

  bool trayAvailable = true;
  QTimer* hotkeys = nullptr;
  int ticks = 0;
  std::function<void()> afterTick;
};

}  // namespace lumora::test
