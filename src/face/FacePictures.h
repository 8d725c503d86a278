#pragma once
// The face's pictures (buttons, background, the designed cover), compiled into the library as
// resources.
#include <QPixmap>
#include <QString>

class QWidget;

namespace lumora {

// The resource path of one of the face's pictures, e.g. picturePath("cover").
QString picturePath(const char* name);
// The designed cover, drawn at the size of the label that shows it.
QPixmap designedCover(const QWidget& pic);

}  // namespace lumora
