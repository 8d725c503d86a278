#include "widgets/ColourPicker.h"

#include <QColorDialog>
#include <QPainter>

namespace lumora {

ColourPicker::ColourPicker(QWidget* parent) : QPushButton(parent) {
  setCursor(Qt::PointingHandCursor);
  connect(this, &QPushButton::clicked, this, &ColourPicker::choose);
}

QColor ColourPicker::toQColor(std::uint32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

std::uint32_t ColourPicker::fromQColor(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
         (static_cast<std::uint32_t>(c.blue()) << 16);
}

void ColourPicker::setColour(std::uint32_t bgr) {
  bgr &= 0xFFFFFF;
  if (bgr == colour_) return;
  colour_ = bgr;
  update();
  emit colourChanged(colour_);
}

// Not QColorDialog::getColor: its dialog waits on the stack in a nested event loop, and a window
// closed meanwhile would delete it from under that loop.
void ColourPicker::choose() {
  auto* dialog = new QColorDialog(toQColor(colour_), window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QColorDialog::colorSelected, this,
          [this](const QColor& chosen) { setColour(fromQColor(chosen)); });
  dialog->open();
}

void ColourPicker::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(1.5, 2.5, -1.5, -2.5);
  p.setPen(QPen(underMouse() ? QColor(47, 143, 255) : QColor(255, 255, 255, 90), 1));
  p.setBrush(toQColor(colour_));
  p.drawRoundedRect(area, 3, 3);
}

}  // namespace lumora
