#include "desktop/AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <memory>

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

QSvgRenderer* iconSvg() {
  initDesktopResources();
  return new QSvgRenderer(QStringLiteral(":/lumora/desktop/lumora.svg"));
}

}  // namespace

QImage AppIconImage(int side) {
  const std::unique_ptr<QSvgRenderer> svg(iconSvg());
  return render(*svg, side);
}

// Drawn per size rather than scaled from one, so the small sizes stay sharp; the picture is read
// once for all of them.
QIcon AppIcon() {
  const std::unique_ptr<QSvgRenderer> svg(iconSvg());
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(render(*svg, side)));
  return icon;
}

}  // namespace lumora
