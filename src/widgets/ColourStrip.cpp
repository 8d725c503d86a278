#include "widgets/ColourStrip.h"

#include <QPaintEvent>
#include <QPainter>

namespace lumora {

ColourStrip::ColourStrip(QColor colour, QWidget* parent) : QFrame(parent), colour_(colour) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColourStrip::paintEvent(QPaintEvent* event) {
  QPainter(this).fillRect(event->rect(), colour_);
}

}  // namespace lumora
