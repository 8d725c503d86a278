#pragma once
// What the player remembers between runs: read once the window is made, put back where each
// piece's owner keeps it, and collected from those owners at exit.
#include <QList>
#include <QPoint>
#include <QRect>
#include <filesystem>

#include "face/MainWindowControls.h"
#include "settings/PlayerMemory.h"

class QWidget;

namespace lumora {

class AudioPlayer;
class DesktopLyricsWindow;

// Where a window of `frame`'s size goes so that it lies whole on a screen: unchanged when one
// holds it, else pushed into the screen it overlaps most (the first when it overlaps none).
QPoint clampToScreens(const QRect& frame, const QList<QRect>& screens);

class PlayerMemoryWiring {
 public:
  // The three switches are the tray menu's; `file` is where the memory is kept. Without
  // `placesReadable` (a Wayland-only session) the window system does not tell where windows are,
  // and the places read at start-up are kept as they were.
  PlayerMemoryWiring(QWidget& window, const MainWindowControls& controls, AudioPlayer& player,
                     DesktopLyricsWindow& lyrics, QAction& notificationSwitch,
                     QAction& karaokeSwitch, QAction& levellingSwitch, std::filesystem::path file,
                     bool placesReadable);

  // After the saved settings (edge auto-hide among them) and with the output device open. A face
  // place at which docking would slide the face out of sight is not put back.
  void restore();
  // Before the output device is released; a field nobody knows now keeps what was read.
  void save();

 private:
  QWidget& window_;
  const MainWindowControls& controls_;
  AudioPlayer& player_;
  DesktopLyricsWindow& lyrics_;
  QAction& notificationSwitch_;
  QAction& karaokeSwitch_;
  QAction& levellingSwitch_;
  std::filesystem::path file_;
  bool placesReadable_;
  PlayerMemory memory_;
};

}  // namespace lumora
