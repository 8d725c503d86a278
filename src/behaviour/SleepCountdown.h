#pragma once
// The sleep timer on the window: the menu item 定时关闭 opens its box, the confirm button starts
// or stops the countdown, and a countdown under way shows what it has left on its menu item.
#include <QObject>
#include <functional>

#include "behaviour/SleepControls.h"

class QAction;
class QMenu;

namespace lumora {

class SleepCountdown : public QObject {
 public:
  // `item` is the menu's 定时关闭; `endProgram` ends the program as its own exit does.
  SleepCountdown(const SleepControls& controls, QMenu* menu, QAction* item,
                 std::function<void()> endProgram, QObject* parent);

  // Shutdown: no countdown may fire after the window is destroyed.
  void stop();

 private:
  void confirm();
  void showTimeLeft();

  SleepControls controls_;
  QAction* item_;
};

}  // namespace lumora
