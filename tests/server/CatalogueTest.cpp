// The generated catalogues: the demo a new user sees looks like music, the test catalogue keeps
// its fixtures, and a folder is made once, remade when its recipe changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "library/AlbumGrouping.h"
#include "catalogue/ArtistCredits.h"
#include "catalogue/Catalogue.h"
#include "generated/DemoCatalogue.h"
#include "generated/TestCatalogue.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

using server::CatalogueRecipe;
using server::RecipeSong;

TEST(DemoCatalogue, NamesNoFixtureAndNoFiller) {
  const CatalogueRecipe demo = server::DemoCatalogueRecipe();
  // Words of test cases, and a number in brackets that only tells copies apart.
  const std::regex fixture(R"(测试|短歌|Big Id|Short|Test|\(\d+\))", std::regex::icase);
  std::vector<std::string> names;
  for (const auto& p : demo.playlists) names.push_back(p.name);
  for (const auto& a : demo.albums) names.push_back(a.name);
  for (const auto& s : demo.songs) {
    names.push_back(s.name);
    for (const auto& a : s.artists) names.push_back(a.name);
  }
  for (const std::string& name : names) EXPECT_FALSE(std::regex_search(name, fixture)) << name;
}

TEST(DemoCatalogue, NamesArtistsAlbumsAndCoversAreDistinct) {
  const CatalogueRecipe demo = server::DemoCatalogueRecipe();
  std::set<std::string> playlistNames, albumNames, songNames;
  std::set<std::uint32_t> coverSeeds;
  for (const auto& p : demo.playlists) {
    EXPECT_TRUE(playlistNames.insert(p.name).second) << p.name;
    EXPECT_TRUE(coverSeeds.insert(p.coverSeed).second) << p.name;
  }
  for (const auto& a : demo.albums) {
    EXPECT_TRUE(albumNames.insert(a.name).second) << a.name;
    EXPECT_TRUE(coverSeeds.insert(a.coverSeed).second) << a.name;
  }
  std::map<std::uint64_t, std::set<std::uint64_t>> albumArtists;
  std::set<std::uint64_t> artists;
  for (const auto& s : demo.songs) {
    EXPECT_TRUE(songNames.insert(s.name).second) << s.name;
    if (!s.audioOf) albumArtists[s.albumId].insert(s.artists.at(0).id);
    for (const auto& a : s.artists) artists.insert(a.id);
  }
  EXPECT_GE(demo.albums.size(), 6u);
  EXPECT_GE(artists.size(), 20u);
  // Each album is one artist's, and no artist has them all.
  std::set<std::uint64_t> leads;
  for (const auto& [album, ids] : albumArtists) {
    EXPECT_EQ(ids.size(), 1u) << album;
    leads.insert(*ids.begin());
  }
  EXPECT_EQ(leads.size(), albumArtists.size());
}

TEST(DemoCatalogue, EveryCategoryHasAPlaylistAndEveryTrackExists) {
  const CatalogueRecipe demo = server::DemoCatalogueRecipe();
  std::map<std::uint64_t, const RecipeSong*> songs;
  for (const auto& s : demo.songs) songs[s.id] = &s;
  std::set<std::string> categories;
  std::size_t longest = 0;
  for (const auto& p : demo.playlists) {
    categories.insert(p.categories.begin(), p.categories.end());
    longest = std::max(longest, p.trackIds.size());
    EXPECT_GE(p.trackIds.size(), 8u) << p.name;
    for (std::uint64_t id : p.trackIds) {
      ASSERT_TRUE(songs.count(id)) << p.name << " " << id;
      // A song that plays another's file points at one with a file of its own.
      const RecipeSong* s = songs[id];
      if (s->audioOf) {
        EXPECT_EQ(songs.at(s->audioOf)->audioOf, 0u) << s->name;
      }
    }
  }
  EXPECT_EQ(longest, 2000u);
  for (const std::string& c : server::CategoryNames()) {
    if (c != "全部") {
      EXPECT_TRUE(categories.count(c)) << c;
    }
  }
}

TEST(DemoCatalogue, LyricsNameTheirOwnSong) {
  const CatalogueRecipe demo = server::DemoCatalogueRecipe();
  int withLyric = 0;
  for (const auto& s : demo.songs) {
    if (s.lyric.empty()) continue;
    ++withLyric;
    EXPECT_EQ(s.lyric.rfind("[00:00.00]" + s.name + " - " + s.artists.at(0).name + "\n", 0), 0u)
        << s.lyric.substr(0, 80);
  }
  EXPECT_GT(withLyric, 1000);
}

TEST(TestCatalogue, KeepsTheFixturesTheTestsUse) {
  const server::Catalogue cat = server::BuildCatalogue(server::TestCatalogueRecipe(), "/t");
  struct Case {
    std::uint64_t id;
    const char* name;
  };
  for (const Case& c : std::initializer_list<Case>{{3000001, "华语流行精选"},
                                                   {3000011, "全曲库 2000 首"},
                                                   {9007199254740995ull, "超大编号 Big Id"},
                                                   {3000013, "短歌测试 Short Songs"}}) {
    const server::Playlist* p = cat.FindPlaylist(c.id);
    ASSERT_TRUE(p) << c.id;
    EXPECT_EQ(p->name, c.name);
  }
  for (const Case& c : std::initializer_list<Case>{{1000001, "晨光序曲"},
                                                   {9007199254740993ull, "Slow Orbit"},
                                                   {5000001, "晨光序曲 (1)"},
                                                   {5000020, "Glass Garden (1)"},
                                                   {5002000, "Glass Garden (67)"}}) {
    const server::Song* s = cat.FindSong(c.id);
    ASSERT_TRUE(s) << c.id;
    EXPECT_EQ(s->name, c.name);
  }
  EXPECT_EQ(cat.FindPlaylist(3000011)->trackIds.size(), 2000u);
  EXPECT_TRUE(cat.FindSong(1000004)->membersOnly);
  EXPECT_EQ(cat.FindSong(5000001)->audioFile, "/t/audio/1000001.mp3");
  EXPECT_NE(cat.GeneratedLyric(1000001).find(R"(她说 "别走" \ she said "stay")"),
            std::string::npos);
}

// The songs of a format share it: one for each extension and content type, with its own texts.
TEST(SongFormat, OnePerPairKeepingItsTexts) {
  using server::SongFormat;
  const struct {
    const char* extension;
    const char* mime;
  } cases[] = {{"mp3", "audio/mpeg"}, {"flac", "audio/flac"}, {"flac", "audio/x-flac"},
               {"ogg", "audio/flac"}};
  std::set<const SongFormat*> distinct;
  for (const auto& c : cases) {
    const SongFormat* f = SongFormat::Of(c.extension, c.mime);
    EXPECT_EQ(SongFormat::Of(std::string(c.extension), std::string(c.mime)), f) << c.extension;
    EXPECT_EQ(f->extension, c.extension);
    EXPECT_EQ(f->mime, c.mime);
    distinct.insert(f);
  }
  EXPECT_EQ(distinct.size(), std::size(cases));
  EXPECT_EQ(server::Song().format, SongFormat::Of("mp3", "audio/mpeg"));
}

// A catalogue of one short song, a second song playing its file, one album and one playlist.
CatalogueRecipe TinyRecipe(const std::string& stamp) {
  CatalogueRecipe r;
  r.title = "tiny catalogue";
  r.stamp = stamp;
  r.albums.push_back({7, "Album", "EP", "流行", 70});
  RecipeSong own;
  own.id = 11;
  own.name = "One";
  own.artists = {{1, "Someone"}};
  own.albumId = 7;
  own.plan.bpm = 120;
  own.plan.seconds = 2;
  RecipeSong copy = own;
  copy.id = 12;
  copy.name = "Two";
  copy.audioOf = 11;
  copy.inFm = false;
  r.songs = {own, copy};
  r.playlists.push_back({3, "List", {"流行"}, 1, {11, 12}, 30});
  return r;
}

TEST(GeneratedCatalogue, MakesFilesOnceAndRemakesThemForAnotherStamp) {
  TempDir dir;
  const std::string folder = dir.path().string();
  std::vector<std::pair<int, int>> calls;
  auto progress = [&](int made, int total) { calls.emplace_back(made, total); };
  server::GenerationReport report;
  std::string error;

  ASSERT_TRUE(server::EnsureCatalogueFiles(TinyRecipe("one\n"), folder, progress, &report, &error))
      << error;
  EXPECT_TRUE(report.generated);
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}}));
  EXPECT_TRUE(fs::exists(dir.path() / "audio/11.mp3"));
  EXPECT_FALSE(fs::exists(dir.path() / "audio/12.mp3"));  // it plays 11's file
  EXPECT_GT(fs::file_size(dir.path() / "covers/album-7.jpg"), 1000u);
  EXPECT_GT(fs::file_size(dir.path() / "covers/playlist-3.jpg"), 1000u);
  EXPECT_EQ(report.files, 3);

  // The same stamp again: nothing is made and nothing is reported as making.
  calls.clear();
  report = {};
  ASSERT_TRUE(server::EnsureCatalogueFiles(TinyRecipe("one\n"), folder, progress, &report, &error));
  EXPECT_FALSE(report.generated);
  EXPECT_TRUE(calls.empty());

  // An earlier recipe's files go, other files stay.
  std::ofstream(dir.path() / "audio/99.mp3") << "old";
  std::ofstream(dir.path() / "audio/99.lrc") << "old";
  std::ofstream(dir.path() / "notes.txt") << "mine";
  report = {};
  ASSERT_TRUE(server::EnsureCatalogueFiles(TinyRecipe("two\n"), folder, progress, &report, &error));
  EXPECT_TRUE(report.generated);
  EXPECT_FALSE(fs::exists(dir.path() / "audio/99.mp3"));
  EXPECT_FALSE(fs::exists(dir.path() / "audio/99.lrc"));
  EXPECT_TRUE(fs::exists(dir.path() / "notes.txt"));
  EXPECT_TRUE(fs::exists(dir.path() / "audio/11.mp3"));

  const server::Catalogue cat = server::BuildCatalogue(TinyRecipe("two\n"), folder);
  EXPECT_EQ(cat.FindSong(12)->audioFile, folder + "/audio/11.mp3");
  EXPECT_EQ(cat.FindSong(12)->durationMs, 2000);
  ASSERT_EQ(cat.fmPool().size(), 1u);
  EXPECT_EQ(cat.fmPool()[0]->id, 11u);
  EXPECT_EQ(cat.FindAlbum(7)->coverFile, folder + "/covers/album-7.jpg");
}

TEST(CatalogueSearch, FindsSongsThroughItsNamesIndex) {
  auto part = std::make_shared<server::CataloguePart>();
  // The last is not in fmPool: a search never finds it.
  for (const char* name :
       {"Morning Light", "晨光序曲", "Night\nLight", "light", "Twilight", "Lighthouse"}) {
    part->songs.emplace_back();
    part->songs.back().name = name;
    part->songs.back().id = part->songs.size();
  }
  part->songs[1].artists = {{1, "Light Orchestra"}};
  part->songs[4].artists = {{2, "Orchestra Morning"}};
  part->fmPool = {4, 3, 2, 1, 0};  // searched in fmPool's order
  part->Index();
  const server::Catalogue cat({part}, "");
  auto at = [&](const server::Song* s) { return static_cast<std::size_t>(s - part->songs.data()); };
  struct Case {
    const char* what;
    const char* text;
    std::vector<std::size_t> found, byTitle;
  } cases[] = {
      {"any case of ASCII, in fmPool's order; a title, not an artist", "LIGHT", {4, 3, 2, 1, 0},
       {4, 3, 2, 0}},
      {"a match at a name's very start and end", "twilight", {4}, {4}},
      {"a name in Chinese, by part of it", "光序", {1}, {1}},
      {"two matches in one name count once", "i", {4, 3, 2, 1, 0}, {4, 3, 2, 0}},
      {"only an artist", "orchestra", {4, 1}, {}},
      {"an artist before a later song's title", "morning", {4, 0}, {0}},
      {"never across two names", "lightlight", {}, {}},
      {"never across a name's line break", "night\nlight", {}, {}},
      {"nothing found", "dusk", {}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::size_t> found, byTitle;
    for (const server::Song* s : cat.FindSongs(c.text)) found.push_back(at(s));
    for (std::uint64_t id : cat.TitlesPlaylist(c.text).trackIds)
      byTitle.push_back(at(cat.FindSong(id)));
    EXPECT_EQ(found, c.found) << c.what;
    EXPECT_EQ(byTitle, c.byTitle) << c.what;
  }
}

TEST(AlbumGrouping, DiscFoldersAreToldFromOtherFolders) {
  const struct {
    const char* name;
    int disc;
  } cases[] = {
      {"CD1", 1},  {"cd 2", 2},   {"Disc 3", 3},         {"disc_04", 4},     {"DISK-1", 1},
      {"CDs", 0},  {"CD", 0},     {"Discography", 0},    {"CD1 Bonus", 0},   {"Album 2", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(server::DiscOfFolder(c.name), c.disc) << c.name;
  EXPECT_EQ(server::AlbumFolder("Artist/Album/CD2"), "Artist/Album");
  EXPECT_EQ(server::AlbumFolder("CD2"), "");
  EXPECT_EQ(server::AlbumFolder("Artist/Discography"), "Artist/Discography");
}

TEST(AlbumGrouping, CreditsNameTheirArtists) {
  const struct {
    const char* credit;
    std::vector<std::string> names;
    const char* lead;
  } cases[] = {
      {"Singer feat. Guest", {"Singer", "Guest"}, "Singer"},
      {"Singer FT. Guest ft. Other", {"Singer", "Guest", "Other"}, "Singer"},
      {"Singer (feat. Guest)", {"Singer", "Guest"}, "Singer"},
      {"Band (US)", {"Band (US)"}, "Band (US)"},  // a bracket of its own name stays
      {"Ann & Bob", {"Ann & Bob"}, "Ann"},        // a duo is one name, led by its first
      {"Featherweight", {"Featherweight"}, "Featherweight"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(server::CreditedArtists(c.credit), c.names) << c.credit;
    EXPECT_EQ(server::LeadArtist(c.credit), c.lead) << c.credit;
  }
}

}  // namespace
}  // namespace lumora::test
