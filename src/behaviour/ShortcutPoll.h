#pragma once
// The keyboard shortcuts on the window: the timer 时钟_监视热键 polls the keys while one is down
// or a press waits, and runs what the keys ask for.
#include <QObject>

class QAction;
class QTimer;

namespace lumora {

class ClickThroughSwitch;
class HideToTray;
class KeyboardWatch;
class PlaybackController;

class ShortcutPoll : public QObject {
 public:
  // `lyricsItem` is the menu's 歌词显示, which Ctrl+D triggers.
  ShortcutPoll(QTimer* timer, QAction* lyricsItem, HideToTray& hideToTray,
               ClickThroughSwitch& clickThrough, PlaybackController& playback, QObject* parent);

  // Shutdown: no shortcut may run after the window is destroyed.
  void stop();

 private:
  // The poll runs from a key press until a tick finds no key down and none waiting.
  void wake();
  void run();
  void playPause();

  QTimer* timer_;
  QAction* lyricsItem_;
  HideToTray& hideToTray_;
  ClickThroughSwitch& clickThrough_;
  PlaybackController& playback_;
  KeyboardWatch* keyboard_;
  bool stopped_ = false;
};

}  // namespace lumora
