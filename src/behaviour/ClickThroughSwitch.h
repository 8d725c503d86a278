#pragma once
// Click-through on the window, switched by the menu item 穿透模式 and by Ctrl+G; the see-through
// share comes from the settings panel's 透明度.
#include <QObject>

#include "behaviour/ClickThrough.h"

class QAction;
class QComboBox;
class QWidget;

namespace lumora {

class ClickThroughSwitch : public QObject {
 public:
  ClickThroughSwitch(QWidget* window, QAction* item, QComboBox* opacity,
                     ClickThroughHeights heights);

  bool on() const;
  // The item flipped and the window following it: the shortcut's form.
  void toggle();
  // A hidden face has nothing to click through: the menu offers the switch only while it shows.
  void offer(bool offered);

 private:
  void apply(bool on);

  QWidget* window_;
  QAction* item_;
  QComboBox* opacity_;
  ClickThroughHeights heights_;
};

}  // namespace lumora
