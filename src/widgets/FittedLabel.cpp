#include "widgets/FittedLabel.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

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

bool FittedLabel::cut() const {
  return FitText(text(), font(), contentsRect().width(), kMinPixelSize).text != text();
}

// A tooltip of its own, when one was set, wins; otherwise a cut text is shown whole.
bool FittedLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (cut())
      QToolTip::showText(help->globalPos(), text(), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QLabel::event(event);
}

void FittedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect();
  const FittedText fitted = FitText(text(), font(), area.width(), kMinPixelSize);
  painter.setFont(fitted.font);
  style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                        fitted.text, foregroundRole());
}

}  // namespace lumora
