// A song's loudness as the server finds it: measured from tones of known loudness, and kept in
// the index.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "library/LibraryIndex.h"
#include "songfiles/Loudness.h"
#include "support/TempDir.h"

namespace lumora::test {
namespace {

using lumora::server::ReplayGain;

// A 1 kHz sine in every channel reads its peak level in LUFS.
TEST(Loudness, MadeTonesMeasureAsTheirKnownLoudness) {
  TempDir dir;
  const struct {
    const char* name;
    const char* format;   // sox's channels and samples
    const char* effects;  // what sox makes
    double lufs;          // NAN: nothing to measure
  } cases[] = {
      {"quiet.wav", "-c 2 -b 16", "synth 3 sine 1000 vol -40dB", -40},
      {"reference.wav", "-c 2 -b 16", "synth 3 sine 1000 vol -23dB", -23},
      {"loud.flac", "-c 2 -b 16", "synth 3 sine 1000 vol -6dB", -6},
      // One channel is heard from both speakers: as loud as the same sine in two.
      {"mono.wav", "-c 1 -b 16", "synth 3 sine 1000 vol -20dB", -20},
      {"float.wav", "-c 2 -e floating-point -b 32", "synth 3 sine 1000 vol -14dB", -14},
      {"silence.wav", "-c 2 -b 16", "trim 0 3", NAN},
      {"blip.wav", "-c 2 -b 16", "synth 0.3 sine 1000", NAN},  // under half a second
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.file(c.name);
    const std::string sox = std::string("sox -q -n -r 44100 ") + c.format + " '" + file + "' " +
                            c.effects;
    ASSERT_EQ(std::system(sox.c_str()), 0) << sox;
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::optional<ReplayGain> gain = lumora::server::MeasureLoudness(fd, file);
    close(fd);
    if (std::isnan(c.lufs)) {
      EXPECT_FALSE(gain);
      continue;
    }
    ASSERT_TRUE(gain && gain->trackGain && gain->trackPeak);
    EXPECT_NEAR(*gain->trackGain, lumora::server::kReferenceLufs - c.lufs, 0.5);
    EXPECT_NEAR(20 * std::log10(*gain->trackPeak), c.lufs, 0.5);
    EXPECT_FALSE(gain->albumGain);
  }
}

// An index whose songs were read without their loudness: each song's loudness is found later and
// kept, unless its file changed meanwhile.
TEST(Loudness, AnIndexLearnsItsSongsLoudness) {
  TempDir dir;
  const std::string file = dir.file("library-index.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE facts(name TEXT PRIMARY KEY, value TEXT NOT NULL);"
                         "INSERT INTO facts VALUES('root', '/music'), ('given', '/music'),"
                         " ('schema', '4');"
                         "CREATE TABLE files(path BLOB PRIMARY KEY, size INTEGER NOT NULL,"
                         " mtime_ns INTEGER NOT NULL, id INTEGER NOT NULL, duration_ms INTEGER,"
                         " title BLOB, artists BLOB, album BLOB, album_artist BLOB,"
                         " compilation INTEGER, disc INTEGER, track INTEGER, genre BLOB,"
                         " has_picture INTEGER, extension TEXT, mime TEXT, target BLOB NOT NULL,"
                         " fingerprint INTEGER NOT NULL, lyric BLOB, gain_from INTEGER,"
                         " track_gain REAL, track_peak REAL, album_gain REAL, album_peak REAL);"
                         "INSERT INTO files VALUES('a.mp3', 100, 5, 77, 1000, 'A', '', '', '', 0,"
                         " 0, 0, '', 0, 'mp3', 'audio/mpeg', '', 9, NULL, NULL, NULL, NULL, NULL, NULL),"
                         " ('b.mp3', 200, 6, 78, 1000, 'B', '', '', '', 0, 0, 0, '', 0, 'mp3',"
                         " 'audio/mpeg', '', 9, NULL, NULL, NULL, NULL, NULL, NULL),"
                         " ('refused.mp3', 10, 7, 79, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
                         " NULL, NULL, NULL, NULL, NULL, '', 9, NULL, NULL, NULL, NULL, NULL, NULL);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  lumora::server::LibraryIndex index;
  std::string error;
  ASSERT_TRUE(index.Open(file, "/music", "/music", &error)) << error;
  ASSERT_FALSE(index.InMemory());
  // Kept as read: the same ids and times.
  const auto rows = index.Under("", true);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].id, 77u);
  EXPECT_EQ(rows[0].mtimeNs, 5);
  // A file the reader refused is no song to measure.
  auto unmeasured = index.Unmeasured(16);
  ASSERT_EQ(unmeasured.size(), 2u);
  EXPECT_EQ(unmeasured[0].path, "a.mp3");

  lumora::server::IndexedRow changed = unmeasured[1];
  changed.size += 1;  // b.mp3 as it was measured; it has changed since
  const ReplayGain measured{-3.5, 0.5, {}, {}};
  ASSERT_TRUE(index.SetGains({{unmeasured[0], measured}, {changed, measured}}, &error)) << error;
  EXPECT_EQ(index.Gain(77), measured);
  EXPECT_FALSE(index.Gain(78));
  unmeasured = index.Unmeasured(16);
  ASSERT_EQ(unmeasured.size(), 1u);
  // A file that cannot be measured is not tried again, and tells no loudness.
  ASSERT_TRUE(index.SetGains({{unmeasured[0], std::nullopt}}, &error)) << error;
  EXPECT_TRUE(index.Unmeasured(16).empty());
  EXPECT_FALSE(index.Gain(78));
}

}  // namespace
}  // namespace lumora::test
