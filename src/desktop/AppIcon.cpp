#include "desktop/AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library are only linked in when something asks for them, and the
// initialiser has to be named from the global namespace.
static void initDesktopResources() { Q_INIT_RESOURCE(lumora_desktop); }

namespace lumora {

namespace {

QImage render(QSvgRenderer& svg, int side) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  svg.render(&painter);
  return image;
}

QString iconPath() {
  initDesktopResources();
  return QStringLiteral(":/lumora/desktop/lumora.svg");
}

}  // namespace

QImage AppIconImage(int side) {
  QSvgRenderer svg(iconPath());
  return render(svg, side);
}

// Drawn per size rather than scaled from one, so the small sizes stay sharp; the picture is read
// once for all of them.
QIcon AppIcon() {
  QSvgRenderer svg(iconPath());
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(render(svg, side)));
  return icon;
}

}  // namespace lumora
