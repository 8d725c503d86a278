#include "widgets/WindowShape.h"

#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace lumora {

void roundWindowCorners(QWidget* window, int cornerWidth, int cornerHeight) {
  if (!window) return;
  const int w = window->width();
  const int h = window->height();
  if (w <= 0 || h <= 0) return;
  const double rx = std::clamp(cornerWidth, 0, w) / 2.0;
  const double ry = std::clamp(cornerHeight, 0, h) / 2.0;
  const int rows = static_cast<int>(std::ceil(ry));
  // The middle part is a plain rectangle; each corner row is inset by the ellipse at the row's
  // outer edge, so even a 2 × 2 corner takes the corner pixel away.
  QRegion region(0, rows, w, std::max(0, h - 2 * rows));
  for (int y = 0; y < rows; ++y) {
    const double dy = (ry - y) / ry;
    const int inset = static_cast<int>(std::ceil(rx - rx * std::sqrt(std::max(0.0, 1 - dy * dy))));
    const int span = std::max(0, w - 2 * inset);
    region += QRegion(inset, y, span, 1);
    region += QRegion(inset, h - 1 - y, span, 1);
  }
  window->setMask(region);
  window->update();
}

}  // namespace lumora
