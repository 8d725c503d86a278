#pragma once
// The face places its own windows: its position, edge docking, the desktop lyrics, always on top.
// Only X11 lets a program do that, so in a Wayland session the player runs on the X server the
// session offers (XWayland) unless the user chose a platform; with Wayland alone it runs anyway
// and says once what it cannot do there.
#include <QString>

namespace lumora {

// Before the application object exists: the X11 platform when an X server is there and
// QT_QPA_PLATFORM is unset.
void PreferX11WhereThereIsAnX11Server();

// What the session cannot give, for the user; empty where windows can be placed.
QString WindowPlacementLimits(const QString& platformName);

}  // namespace lumora
