#pragma once
// Hiding the face to the tray, switched by the menu item 最小化, Ctrl+M and the tray icon's left
// click. Without a notification area the face is minimised instead.
#include <QObject>
#include <functional>

class QAction;
class QSystemTrayIcon;
class QWidget;

namespace lumora {

class ClickThroughSwitch;

struct TrayHooks {
  // The window's tray icon, once it is put up.
  std::function<QSystemTrayIcon*()> trayIcon;
  // Whether the desktop has a notification area now.
  std::function<bool()> trayAvailable;
};

class HideToTray : public QObject {
 public:
  HideToTray(QWidget* window, QAction* item, ClickThroughSwitch& clickThrough, TrayHooks hooks);

  // The item flipped and the window following it. Brought back by the menu or the tray, the face
  // is put on top; by the shortcut it keeps its place in the stack.
  void toggle(bool keepOnTop);
  // The face back at the front, from the tray, a minimised state or click-through, with the
  // focus: what the desktop's media controls ask for.
  void bringBack();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void apply(bool hidden, bool keepOnTop);
  // A notification area exists now and the tray icon is up in it.
  bool trayReady();

  QWidget* window_;
  QAction* item_;
  ClickThroughSwitch& clickThrough_;
  TrayHooks hooks_;
};

}  // namespace lumora
