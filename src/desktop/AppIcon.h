#pragma once
// The program's own icon, for the window, the tray and the launcher.
#include <QIcon>

namespace lumora {

// The icon, drawn at each size when that size is first asked for.
QIcon AppIcon();

}  // namespace lumora
