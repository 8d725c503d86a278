#pragma once
// The program's own icon, for the window, the tray and the launcher.
#include <QIcon>
#include <QImage>

namespace lumora {

// The icon drawn at the usual sizes (16 to 256 pixels).
QIcon AppIcon();
// One square rendering of it.
QImage AppIconImage(int side);

}  // namespace lumora
