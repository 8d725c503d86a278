// How songs read to media-player clients: object paths that D-Bus accepts and that never merge
// two ids, the artist list, and which fields are left out when unknown.
#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <QUrl>
#include <set>

#include "desktop/MprisMetadata.h"

namespace lumora {
namespace {

TEST(TrackPath, IsAValidObjectPathForAnyIdAndDistinctPerId) {
  const std::vector<std::string> ids = {"1000014", "abc", "a_b", "a/b", "a.b",
                                        "a b",     "歌",  "",    "_5f"};
  std::set<QString> paths;
  for (const std::string& id : ids) {
    const QDBusObjectPath path = TrackPath(id);
    // QDBusObjectPath drops a path D-Bus would refuse, leaving it empty.
    EXPECT_FALSE(path.path().isEmpty()) << id;
    EXPECT_TRUE(path.path().startsWith("/org/lumora/track/")) << id;
    paths.insert(path.path());
  }
  EXPECT_EQ(paths.size(), ids.size());
  EXPECT_EQ(TrackPath("1000014").path(), "/org/lumora/track/t1000014");
}

TEST(SplitArtists, TurnsTheJoinedNamesIntoAList) {
  const struct {
    const char* joined;
    QStringList list;
  } cases[] = {
      {"苏晓", {"苏晓"}}, {"a,b", {"a", "b"}}, {"a, b ,c", {"a", "b", "c"}}, {"a,,b,", {"a", "b"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitArtists(c.joined), c.list) << c.joined;
}

TEST(PlaybackStatusName, NamesEachState) {
  EXPECT_EQ(PlaybackStatusName(PlayState::Playing), "Playing");
  EXPECT_EQ(PlaybackStatusName(PlayState::Paused), "Paused");
  EXPECT_EQ(PlaybackStatusName(PlayState::Stopped), "Stopped");
}

TEST(TrackMetadata, CarriesEveryKnownFieldInItsMprisType) {
  const Song song{"42", "Kite Season", "苏晓,月光乐队", "夏日记事"};
  const QVariantMap map =
      TrackMetadata(song, {24.9810439, "/tmp/cache/lumora/cover-42.jpeg", "http://s/#/song?id=42"});
  EXPECT_EQ(map.value("mpris:trackid").value<QDBusObjectPath>(), TrackPath("42"));
  EXPECT_EQ(map.value("xesam:title").toString(), "Kite Season");
  EXPECT_EQ(map.value("xesam:artist").toStringList(), QStringList({"苏晓", "月光乐队"}));
  EXPECT_EQ(map.value("xesam:album").toString(), "夏日记事");
  // Microseconds, cut like the face's whole seconds so both agree on 00:24.
  EXPECT_EQ(map.value("mpris:length").metaType().id(), QMetaType::LongLong);
  EXPECT_EQ(map.value("mpris:length").toLongLong(), 24981043);
  EXPECT_EQ(QUrl(map.value("mpris:artUrl").toString()).toLocalFile(),
            "/tmp/cache/lumora/cover-42.jpeg");
  EXPECT_EQ(map.value("xesam:url").toString(), "http://s/#/song?id=42");
}

TEST(TrackMetadata, LeavesOutWhatIsNotKnown) {
  // A step back through the history knows no album; a fresh stream no length yet.
  const QVariantMap map = TrackMetadata(Song{"7", "t", "", ""}, {});
  EXPECT_EQ(QStringList(map.keys()), QStringList({"mpris:trackid", "xesam:title"}));

  const QVariantMap none = TrackMetadata(Song{}, {12, "/x.png", "http://s"});
  EXPECT_EQ(QStringList(none.keys()), QStringList({"mpris:trackid"}));
  EXPECT_EQ(none.value("mpris:trackid").value<QDBusObjectPath>(), NoTrackPath());
}

}  // namespace
}  // namespace lumora
