#include "face/FacePictures.h"

#include <QWidget>

#include "widgets/SvgPicture.h"

// Resources of a static library are only linked in when something asks for them, and the
// initialiser has to be named from the global namespace.
static bool registerFacePictures() {
  Q_INIT_RESOURCE(lumora_face);
  return true;
}

namespace lumora {

QString picturePath(const char* name) {
  static const bool registered = registerFacePictures();
  (void)registered;
  return QStringLiteral(":/lumora/images/") + QString::fromUtf8(name) + QStringLiteral(".svg");
}

// Drawn straight from the picture: read as an image file, it would first have the toolkit look
// through every image format it can load.
QPixmap designedCover(const QWidget& pic) {
  return SvgPicture(picturePath("cover")).pixmap(pic.size(), pic.devicePixelRatioF());
}

}  // namespace lumora
