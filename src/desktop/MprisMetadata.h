#pragma once
// How a song reads to media-player clients: the MPRIS metadata map and the status names.
#include <QDBusObjectPath>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <string>

#include "common/Song.h"
#include "playback/PlaybackEvents.h"

namespace lumora {

// What the metadata is made of besides the song; empty or zero members are left out.
struct TrackDetails {
  double lengthSeconds = 0;
  std::string coverFile;  // a path; becomes a file:// URL
  std::string pageUrl;
};

// A D-Bus object path naming the song: ids are decimal text, but anything else is made safe.
QDBusObjectPath TrackPath(const std::string& songId);
// The path clients are given while no song is there.
QDBusObjectPath NoTrackPath();
// The artists as the API joins them ("a,b") into a list.
QStringList SplitArtists(const std::string& artists);
// "Playing", "Paused" or "Stopped".
QString PlaybackStatusName(PlayState state);
// An empty song id gives the no-track path alone.
QVariantMap TrackMetadata(const Song& song, const TrackDetails& details);

}  // namespace lumora
