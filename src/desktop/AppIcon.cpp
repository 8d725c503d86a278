#include "desktop/AppIcon.h"

#include <QIconEngine>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <algorithm>

// Resources of a static library are only linked in when something asks for them, and the
// initialiser has to be named from the global namespace.
static void initDesktopResources() { Q_INIT_RESOURCE(lumora_desktop); }

namespace lumora {

namespace {

// Drawn per size rather than scaled from one, so the small sizes stay sharp, and only the sizes
// the window system and the tray ask for: drawing a fixed set up to 256 pixels before the window
// could open took several milliseconds of the start-up. The picture is read once.
class SvgIconEngine : public QIconEngine {
 public:
  explicit SvgIconEngine(const QString& path) : path_(path), svg_(path) {}

  QIconEngine* clone() const override { return new SvgIconEngine(path_); }
  QString key() const override { return QStringLiteral("lumora-svg"); }
  bool isNull() override { return !svg_.isValid(); }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
    svg_.render(painter, square(rect));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
    const quint64 key = (quint64(quint32(size.width())) << 32) | quint32(size.height());
    if (const auto kept = drawn_.constFind(key); kept != drawn_.constEnd()) return *kept;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (!image.isNull()) {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      svg_.render(&painter, square(image.rect()));
    }
    return *drawn_.insert(key, QPixmap::fromImage(std::move(image)));
  }

 private:
  // The picture is square: centred in a rectangle of another shape.
  static QRectF square(const QRect& rect) {
    const int side = std::min(rect.width(), rect.height());
    return QRectF(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0,
                  side, side);
  }

  QString path_;
  QSvgRenderer svg_;
  QMap<quint64, QPixmap> drawn_;
};

}  // namespace

QIcon AppIcon() {
  initDesktopResources();
  return QIcon(new SvgIconEngine(QStringLiteral(":/lumora/desktop/lumora.svg")));
}

}  // namespace lumora
