#pragma once
// One player per desktop session: two would show two faces and two tray icons, and both would
// write the settings at exit. The first start holds the media-player name on the session bus; a
// later one asks that player to bring its face forward and ends.
#include <QDBusConnection>

namespace lumora {

// true when another player holds the name: it has been asked to raise its face, and this
// process should end. false when this process now holds the name, or there is no bus to ask.
bool HandOverToRunningPlayer(QDBusConnection bus);

}  // namespace lumora
