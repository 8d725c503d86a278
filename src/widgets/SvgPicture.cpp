#include "widgets/SvgPicture.h"

#include <QPainter>

namespace lumora {

SvgPicture::SvgPicture(const QString& fileName) : renderer_(fileName) {}

const QPixmap& SvgPicture::pixmap(QSize size, qreal devicePixelRatio) {
  if (size == size_ && devicePixelRatio == devicePixelRatio_) return pixmap_;
  size_ = size;
  devicePixelRatio_ = devicePixelRatio;
  pixmap_ = QPixmap((QSizeF(size) * devicePixelRatio).toSize());
  pixmap_.setDevicePixelRatio(devicePixelRatio);
  pixmap_.fill(Qt::transparent);
  if (!pixmap_.isNull()) {
    QPainter painter(&pixmap_);
    renderer_.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
  }
  ++renderCount_;
  return pixmap_;
}

void SvgPicture::draw(QPainter& painter, const QRect& area, qreal devicePixelRatio) {
  painter.drawPixmap(area.topLeft(), pixmap(area.size(), devicePixelRatio));
}

}  // namespace lumora
