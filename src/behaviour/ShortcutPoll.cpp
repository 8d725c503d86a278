#include "behaviour/ShortcutPoll.h"

#include <QAction>
#include <QTimer>
#include <vector>

#include "behaviour/ClickThroughSwitch.h"
#include "behaviour/HideToTray.h"
#include "behaviour/KeyboardWatch.h"
#include "playback/PlaybackController.h"

namespace lumora {

ShortcutPoll::ShortcutPoll(QTimer* timer, QAction* lyricsItem, HideToTray& hideToTray,
                           ClickThroughSwitch& clickThrough, PlaybackController& playback,
                           QObject* parent)
    : QObject(parent),
      timer_(timer),
      lyricsItem_(lyricsItem),
      hideToTray_(hideToTray),
      clickThrough_(clickThrough),
      playback_(playback),
      keyboard_(new KeyboardWatch(this)) {
  connect(keyboard_, &KeyboardWatch::pressed, this, &ShortcutPoll::wake);
  connect(timer_, &QTimer::timeout, this, &ShortcutPoll::run);
}

void ShortcutPoll::stop() {
  stopped_ = true;
  timer_->stop();
}

void ShortcutPoll::wake() {
  if (!stopped_ && !timer_->isActive()) timer_->start();
}

void ShortcutPoll::run() {
  ShortcutKeys& keys = keyboard_->keys();
  const std::vector<ShortcutAction> actions = keys.tick();
  if (keys.idle()) timer_->stop();
  for (ShortcutAction action : actions) {
    // A song start may pump events, and the window may be destroyed meanwhile.
    if (stopped_) return;
    switch (action) {
      case ShortcutAction::DesktopLyrics:
        lyricsItem_->trigger();
        break;
      case ShortcutAction::HideToTray:
        hideToTray_.toggle(false);
        break;
      case ShortcutAction::ClickThrough:
        clickThrough_.toggle();
        break;
      case ShortcutAction::PlayPrevious:
        playback_.playPrevious();
        break;
      case ShortcutAction::PlayNext:
        playback_.playNext();
        break;
      case ShortcutAction::PlayPause:
        playPause();
        break;
    }
  }
}

// Pausing acts only on a playing stream, resuming or starting only on a paused or stopped one.
void ShortcutPoll::playPause() {
  const bool wasPaused = playback_.playState() == PlayState::Paused;
  playback_.pausePlayback();
  if (wasPaused || playback_.playState() != PlayState::Paused) playback_.resumeOrStart();
}

}  // namespace lumora
