#include "desktop/PlayerMemoryWiring.h"

#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "behaviour/EdgeDocking.h"
#include "lyrics/DesktopLyricsWindow.h"
#include "playback/AudioPlayer.h"

namespace lumora {

namespace {

QList<QRect> screenAreas() {
  QList<QRect> areas;
  for (QScreen* screen : QGuiApplication::screens()) areas.push_back(screen->availableGeometry());
  return areas;
}

QPoint placed(const ScreenPoint& p, QSize size) {
  return clampToScreens(QRect(QPoint(p.x, p.y), size), screenAreas());
}

// At an edge of the primary screen, edge auto-hide would slide the face away as it appears.
bool wouldDock(QPoint at, QSize size) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  const QRect area = screen->geometry();
  return dockingCanMove({at.x() - area.x(), at.y() - area.y(), size.width(), size.height()},
                        {area.width(), area.height()});
}

}  // namespace

QPoint clampToScreens(const QRect& frame, const QList<QRect>& screens) {
  if (screens.isEmpty()) return frame.topLeft();
  QRect best = screens.front();
  long long bestArea = 0;
  for (const QRect& screen : screens) {
    if (screen.contains(frame)) return frame.topLeft();
    const QRect common = screen.intersected(frame);
    const long long area = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
    if (area > bestArea) {
      best = screen;
      bestArea = area;
    }
  }
  // A window larger than the screen keeps its top-left corner on it.
  const int x = std::max(best.left(), std::min(frame.left(), best.right() + 1 - frame.width()));
  const int y = std::max(best.top(), std::min(frame.top(), best.bottom() + 1 - frame.height()));
  return {x, y};
}

PlayerMemoryWiring::PlayerMemoryWiring(QWidget& window, const MainWindowControls& controls,
                                       AudioPlayer& player, DesktopLyricsWindow& lyrics,
                                       QAction& notificationSwitch, QAction& karaokeSwitch,
                                       QAction& levellingSwitch, std::filesystem::path file,
                                       bool placesReadable)
    : window_(window),
      controls_(controls),
      player_(player),
      lyrics_(lyrics),
      notificationSwitch_(notificationSwitch),
      karaokeSwitch_(karaokeSwitch),
      levellingSwitch_(levellingSwitch),
      file_(std::move(file)),
      placesReadable_(placesReadable) {}

void PlayerMemoryWiring::restore() {
  memory_ = ReadPlayerMemory(file_);
  if (memory_.volume) player_.setVolume(static_cast<float>(*memory_.volume));
  if (memory_.facePosition) {
    const QPoint at = placed(*memory_.facePosition, window_.size());
    if (!controls_.settings.edgeHide->isChecked() || !wouldDock(at, window_.size()))
      window_.move(at);
  }
  if (memory_.lyricsPosition) {
    const QPoint at = placed(*memory_.lyricsPosition, QSize(lyrics_.Width(), lyrics_.Height()));
    lyrics_.Move(at.x(), at.y());
  }
  if (memory_.lyricsShown && *memory_.lyricsShown && !controls_.menu.lyrics->isChecked())
    controls_.menu.lyrics->trigger();
  if (memory_.notifications) notificationSwitch_.setChecked(*memory_.notifications);
  if (memory_.karaoke) karaokeSwitch_.setChecked(*memory_.karaoke);
  if (memory_.levelling) levellingSwitch_.setChecked(*memory_.levelling);
}

void PlayerMemoryWiring::save() {
  const float volume = player_.getVolume();
  if (volume >= 0.0f) memory_.volume = volume;
  if (placesReadable_) {
    memory_.facePosition = ScreenPoint{window_.x(), window_.y()};
    if (lyrics_.IsCreated()) memory_.lyricsPosition = ScreenPoint{lyrics_.Left(), lyrics_.Top()};
  }
  memory_.lyricsShown = controls_.menu.lyrics->isChecked();
  memory_.notifications = notificationSwitch_.isChecked();
  memory_.karaoke = karaokeSwitch_.isChecked();
  memory_.levelling = levellingSwitch_.isChecked();
  WritePlayerMemory(file_, memory_);
}

}  // namespace lumora
