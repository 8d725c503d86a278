#include "face/FaceDrag.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace lumora {

void FaceDrag::press(QPoint globalPos) {
  pressedAt_ = globalPos;
  grip_ = globalPos - window_->pos();
  following_ = false;
}

bool FaceDrag::move(QPoint globalPos) {
  if (!pressedAt_) return false;
  if (!following_) {
    if ((globalPos - *pressedAt_).manhattanLength() < QApplication::startDragDistance())
      return true;
    if (window_->windowHandle() && window_->windowHandle()->startSystemMove()) {
      pressedAt_.reset();
      return true;
    }
    following_ = true;
  }
  window_->move(globalPos - grip_);
  return true;
}

void FaceDrag::release() {
  pressedAt_.reset();
  following_ = false;
}

}  // namespace lumora
