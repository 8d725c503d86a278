#pragma once
// An SVG picture drawn through a pixmap that is rendered once per size: parsing is cheap, but
// rasterising the paths on every paint kept the face busy for nothing.
#include <QPixmap>
#include <QSvgRenderer>

namespace lumora {

class SvgPicture {
 public:
  explicit SvgPicture(const QString& fileName);

  // The picture at the size (in device-independent pixels) for the given pixel ratio.
  const QPixmap& pixmap(QSize size, qreal devicePixelRatio);
  void draw(QPainter& painter, const QRect& area, qreal devicePixelRatio);
  int renderCount() const { return renderCount_; }

 private:
  QSvgRenderer renderer_;
  QPixmap pixmap_;
  QSize size_;
  qreal devicePixelRatio_ = 0;
  int renderCount_ = 0;
};

}  // namespace lumora
