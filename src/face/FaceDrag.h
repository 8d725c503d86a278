#pragma once
// Moving the frameless face with the mouse: pressed on the face or on the cover (its largest
// part) and moved past the drag distance, the window follows. A click without movement stays a
// click. The window manager moves the window where it can; elsewhere (no window manager, or one
// that does not offer it) the window follows the pointer itself.
#include <QPoint>
#include <optional>

class QWidget;

namespace lumora {

class FaceDrag {
 public:
  explicit FaceDrag(QWidget* window) : window_(window) {}

  void press(QPoint globalPos);
  // true while a press is held: the move belongs to the drag.
  bool move(QPoint globalPos);
  void release();

 private:
  QWidget* window_;
  std::optional<QPoint> pressedAt_;
  QPoint grip_;  // the pointer's place on the window
  bool following_ = false;
};

}  // namespace lumora
