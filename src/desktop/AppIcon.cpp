#include "desktop/AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are only linked in when something asks for them, and the
// initialiser has to be named from the global namespace.
static void initDesktopResources() { Q_INIT_RESOURCE(lumora_desktop); }

namespace lumora {

QImage AppIconImage(int side) {
  initDesktopResources();
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QSvgRenderer(QStringLiteral(":/lumora/desktop/lumora.svg")).render(&painter);
  return image;
}

// Drawn per size rather than scaled from one, so the small sizes stay sharp.
QIcon AppIcon() {
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(AppIconImage(side)));
  return icon;
}

}  // namespace lumora
