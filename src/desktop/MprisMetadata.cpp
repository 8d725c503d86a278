#include "desktop/MprisMetadata.h"

#include <QUrl>

namespace lumora {

namespace {

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

bool plainPathByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

QDBusObjectPath TrackPath(const std::string& songId) {
  // Object path elements may only hold [A-Za-z0-9_]; other bytes are spelled out in hex so two
  // different ids can never meet on one path.
  QString element;
  for (const unsigned char c : songId) {
    if (plainPathByte(c))
      element += QChar(c);
    else
      element += QStringLiteral("_%1").arg(c, 2, 16, QChar('0'));
  }
  return QDBusObjectPath(QStringLiteral("/org/lumora/track/t") + element);
}

QDBusObjectPath NoTrackPath() {
  return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

QStringList SplitArtists(const std::string& artists) {
  QStringList list;
  for (const QString& name : text(artists).split(QChar(','))) {
    const QString trimmed = name.trimmed();
    if (!trimmed.isEmpty()) list << trimmed;
  }
  return list;
}

QString PlaybackStatusName(PlayState state) {
  switch (state) {
    case PlayState::Playing:
      return QStringLiteral("Playing");
    case PlayState::Paused:
      return QStringLiteral("Paused");
    case PlayState::Stopped:
      break;
  }
  return QStringLiteral("Stopped");
}

QVariantMap TrackMetadata(const Song& song, const TrackDetails& details) {
  QVariantMap map;
  if (song.id.empty()) {
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(NoTrackPath()));
    return map;
  }
  map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackPath(song.id)));
  map.insert(QStringLiteral("xesam:title"), text(song.name));
  const QStringList artists = SplitArtists(song.artists);
  if (!artists.isEmpty()) map.insert(QStringLiteral("xesam:artist"), artists);
  if (!song.album.empty()) map.insert(QStringLiteral("xesam:album"), text(song.album));
  if (details.lengthSeconds > 0)
    map.insert(QStringLiteral("mpris:length"),
               // Cut, not rounded, as the face cuts its whole seconds.
               static_cast<qlonglong>(details.lengthSeconds * 1e6));
  if (!details.coverFile.empty())
    map.insert(QStringLiteral("mpris:artUrl"),
               QUrl::fromLocalFile(text(details.coverFile)).toString());
  if (!details.pageUrl.empty()) map.insert(QStringLiteral("xesam:url"), text(details.pageUrl));
  return map;
}

}  // namespace lumora
