#pragma once
// Which shortcut keys are down, kept from the key events of every window of the program while
// it has the keyboard; the shortcut timer reads it.
#include <QObject>

#include "behaviour/Shortcuts.h"

namespace lumora {

class KeyboardWatch : public QObject {
  Q_OBJECT
 public:
  // Watches the whole application for as long as it lives.
  explicit KeyboardWatch(QObject* parent = nullptr);

  ShortcutKeys& keys() { return keys_; }

 signals:
  // A shortcut key went down: the poll has something to look at.
  void pressed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ShortcutKeys keys_;
};

}  // namespace lumora
