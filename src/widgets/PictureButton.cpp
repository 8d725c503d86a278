#include "widgets/PictureButton.h"

#include <QPainter>

namespace lumora {

PictureButton::PictureButton(const QString& picture, QWidget* parent)
    : QAbstractButton(parent), picture_(picture), svg_(picture) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::NoFocus);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  if (isChecked()) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(47, 143, 255, 110));
    p.drawRoundedRect(area, 6, 6);
  } else if (hovered_ || isDown()) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, isDown() ? 55 : 28));
    p.drawRoundedRect(area, 6, 6);
  }
  if (isDown()) p.setOpacity(0.8);
  svg_.draw(p, rect(), devicePixelRatioF());
}

void PictureButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace lumora
