#include "widgets/FittedLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace lumora {

namespace {

// The font's size in pixels, whichever way it was given.
int PixelSize(const QFont& font) {
  if (font.pixelSize() > 0) return font.pixelSize();
  return QFontMetrics(font).height();
}

}  // namespace

FittedText FitText(const QString& text, const QFont& font, int width, int minPixelSize) {
  FittedText fitted{font, text};
  if (QFontMetrics(font).horizontalAdvance(text) <= width) return fitted;
  for (int size = PixelSize(font) - 1; size >= minPixelSize; --size) {
    fitted.font.setPixelSize(size);
    if (QFontMetrics(fitted.font).horizontalAdvance(text) <= width) return fitted;
  }
  fitted.text = QFontMetrics(fitted.font).elidedText(text, Qt::ElideRight, width);
  return fitted;
}

FittedLabel::FittedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void FittedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect();
  const FittedText fitted = FitText(text(), font(), area.width(), kMinPixelSize);
  painter.setFont(fitted.font);
  style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                        fitted.text, foregroundRole());
}

}  // namespace lumora
