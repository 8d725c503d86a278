#pragma once
// The face's behaviours apart from playing: the menu's switches, the keyboard shortcuts,
// click-through, hide to tray, the sleep timer, docking at the screen edge and the tooltips.
#include <QObject>
#include <functional>

#include "app/MainWindowControls.h"

class QSystemTrayIcon;

namespace lumora {

class DockedPointerWatch;
class KeyboardWatch;
class PlaybackController;

struct WindowBehaviourHooks {
  // Ends the program as the menu's "退出" does.
  std::function<void()> destroyWindow;
  // The window's tray icon, once it is put up.
  std::function<QSystemTrayIcon*()> trayIcon;
  // Whether the desktop has a notification area now.
  std::function<bool()> trayAvailable;
};

class WindowBehaviours : public QObject {
  Q_OBJECT
 public:
  WindowBehaviours(QWidget* window, const MainWindowControls& controls,
                   PlaybackController& playback, WindowBehaviourHooks hooks);
  ~WindowBehaviours() override;

  // The menu form of the hide-to-tray switch; the tray icon's left click runs it too.
  void toggleHideToTray();
  // The face back at the front, from the tray, a minimised state or click-through, with the
  // focus: what the desktop's media controls ask for.
  void bringBack();
  // The docking timer runs while edge auto-hide is checked and a step can change something:
  // started by the box and by every move, resize or show of the window, it stops itself after
  // a step that leaves the window away from every edge.
  void alignDockingTimer();
  // Shutdown: no shortcut, docking step or countdown may run after the window is destroyed.
  void stopTimers();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void connectMenu();
  void connectSleepTimer();
  void connectEdgeHide();
  void setToolTips();
  // The shortcut poll runs from a key press until a tick finds no key down and none waiting.
  void wakeShortcutPoll();
  void runShortcuts();
  void switchClickThrough();
  void applyClickThrough(bool on);
  void applyHideToTray(bool hidden, bool keepOnTop);
  void playPauseWithTitle();
  void dockStep();
  void confirmSleep();
  void showSleepTimeLeft();
  // A notification area exists now and the tray icon is up in it.
  bool trayReady();

  QWidget* window_;
  FaceControls face_;
  SleepControls sleep_;
  ListPanelControls list_;
  SettingsPanelControls settings_;
  MenuControls menu_;
  WindowTimers timers_;
  PlaybackController& playback_;
  WindowBehaviourHooks hooks_;
  KeyboardWatch* keyboard_;
  DockedPointerWatch* dockedWatch_;
  bool stopped_ = false;
};

}  // namespace lumora
