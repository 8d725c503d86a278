// A changed library's catalogue is built again only where the change was: every kind of change
// must serve what a catalogue built from scratch serves, and leave the other album folders' parts
// as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <memory>
#include <string>
#include <vector>

#include "library/LibraryCatalogue.h"
#include "support/TempDir.h"

namespace lumora::server {
namespace {

IndexedFile Row(std::string path, std::uint64_t id, std::string title, std::string artist,
                std::string album, int disc = 0) {
  IndexedFile f;
  f.path = std::move(path);
  f.id = id;
  f.size = 1000;
  f.mtimeNs = 1;
  SongFileTags t;
  t.title = std::move(title);
  t.artists = {std::move(artist)};
  t.album = std::move(album);
  t.disc = disc;
  t.durationMs = 200000;
  t.extension = "mp3";
  t.mime = "audio/mpeg";
  f.tags = t;
  return f;
}

// Two albums (one on disc folders), a folder of two albums reached by a link too, a song at the
// root, and the player's downloads: one a copy of a song here, one not.
std::vector<IndexedFile> Library() {
  return {Row("A/Album1/01.mp3", 1, "T1", "Ann", "Album1"),
          Row("A/Album1/02.mp3", 2, "T2", "Ann", "Album1"),
          Row("A/Album2/CD1/01.mp3", 3, "T3", "Ann", "Album2", 1),
          Row("A/Album2/CD2/01.mp3", 4, "T4", "Ann feat. Bob", "Album2", 2),
          Row("B/Mixed/x.mp3", 5, "X", "Bob", "AlbumX"),
          Row("B/Mixed/y.mp3", 6, "Y", "Cy", "AlbumY"),
          Row("loose.mp3", 7, "Loose", "Dee", ""),
          Row("下载音乐/T1.mp3", 8, "T1", "Ann", "Album1"),
          Row("下载音乐/Only.mp3", 9, "Only", "Eve", "Solo")};
}

// What a catalogue serves: its songs, listed playlists and everything a search finds, each found
// again by its id.
std::vector<std::string> Served(const Catalogue& cat) {
  std::vector<std::string> lines;
  auto tracks = [](const Playlist& p) {
    std::string text = std::to_string(p.id) + " " + p.name + ":";
    for (std::uint64_t id : p.trackIds) text += " " + std::to_string(id);
    return text;
  };
  auto byId = [&](const Playlist* p) { return cat.FindPlaylist(p->id) == p ? "" : " lost"; };
  for (const Song* s : cat.fmPool()) {
    const Album* album = cat.FindAlbum(s->albumId);
    lines.push_back("song " + std::to_string(s->id) + " " + s->name + " / " +
                    (album ? album->name : "?") + " " + s->audioFile +
                    (cat.FindSong(s->id) == s ? "" : " lost"));
  }
  for (const Playlist* p : cat.playlists()) lines.push_back("listed " + tracks(*p) + byId(p));
  const SearchFind all = cat.Search("");
  for (const Playlist* p : all.artists) lines.push_back("artist " + tracks(*p) + byId(p));
  for (const Playlist* p : all.albums) lines.push_back("album " + tracks(*p));
  for (const Playlist* p : all.named) lines.push_back("named " + tracks(*p));
  for (const Song* s : cat.FindSongs("n")) lines.push_back("found " + std::to_string(s->id));
  lines.push_back("titles " + tracks(cat.TitlesPlaylist("t")));
  return lines;
}

std::vector<std::shared_ptr<const CataloguePart>> Parts(const Catalogue& cat) {
  std::vector<std::shared_ptr<const CataloguePart>> parts;
  for (const auto& segment : cat.segments())
    parts.insert(parts.end(), segment->parts.begin(), segment->parts.end());
  return parts;
}

TEST(LibraryCatalogue, AChangeServesWhatAWholeBuildServesAndRebuildsOnlyWhatItTouched) {
  const std::vector<FolderLink> links = {{"Linked", "B/Mixed"}};
  IndexedFile refused = Row("A/Album1/03.mp3", 10, "", "", "");
  refused.tags.reset();
  const struct Case {
    const char* what;
    std::vector<std::string> gone;
    std::vector<IndexedFile> written;
    std::size_t rebuilt;  // parts not shared with the catalogue before
  } cases[] = {
      {"a song retagged: its download is no copy any more", {},
       {Row("A/Album1/01.mp3", 1, "T1 live", "Ann", "Album1")}, 2},
      {"a disc folder added", {}, {Row("A/Album2/CD3/01.mp3", 11, "T5", "Ann", "Album2", 3)}, 1},
      {"an album folder emptied, its link's playlist with it", {"B/Mixed/x.mp3", "B/Mixed/y.mp3"},
       {}, 0},
      {"a song at the root retagged", {}, {Row("loose.mp3", 7, "Loose 2", "Dee", "")}, 1},
      {"an album folder moved, ids kept", {"A/Album1/01.mp3", "A/Album1/02.mp3"},
       {Row("C/Album1/01.mp3", 1, "T1", "Ann", "Album1"),
        Row("C/Album1/02.mp3", 2, "T2", "Ann", "Album1")},
       1},
      {"a download of a song here", {}, {Row("下载音乐/T2.mp3", 12, "T2", "Ann", "Album1")}, 1},
      {"the song a download copies deleted", {"A/Album1/01.mp3"}, {}, 2},
      {"a file the reader refused", {}, {refused}, 1},
      {"an artist's only song deleted", {"loose.mp3"}, {}, 0},
      {"a new artist's first song", {}, {Row("D/New/01.mp3", 13, "N", "Fay", "New")}, 1},
  };
  // One segment, and segments of a few songs each: a change cuts the segments it touched again.
  for (const std::size_t segmentSongs : {512, 3})
  for (const Case& c : cases) {
    test::TempDir dir;
    LibraryIndex index;
    std::string error;
    const std::string root = dir.path().string();
    ASSERT_TRUE(index.Open(dir.file("index.db"), root, root, &error)) << error;
    ASSERT_TRUE(index.Apply({}, Library(), &error)) << error;
    LibraryCatalogue catalogue(segmentSongs);
    const auto before = catalogue.Build(root, index, links);
    index.TakeWritten();
    EXPECT_FALSE(before->FindSong(8)) << "a download of a song here is listed once";
    EXPECT_TRUE(before->FindSong(9));
    EXPECT_TRUE(before->FindPlaylist(StableId("playlist:folder:Linked")));

    ASSERT_TRUE(index.Apply(c.gone, c.written, &error)) << error;
    const auto after = catalogue.Update(index, index.TakeWritten());
    EXPECT_EQ(Served(*after), Served(*LibraryCatalogue().Build(root, index, links))) << c.what;
    const auto was = Parts(*before), is = Parts(*after);
    const std::size_t rebuilt = std::count_if(is.begin(), is.end(), [&](const auto& part) {
      return std::find(was.begin(), was.end(), part) == was.end();
    });
    EXPECT_EQ(rebuilt, c.rebuilt) << c.what;
  }
}

// Random changes over many album folders, cut into small segments: each change serves what a whole
// build serves and makes only a few segments anew, and segments stay near their size.
TEST(LibraryCatalogue, SegmentsStayNearTheirSizeThroughChurn) {
  test::TempDir dir;
  LibraryIndex index;
  std::string error;
  const std::string root = dir.path().string();
  ASSERT_TRUE(index.Open(dir.file("index.db"), root, root, &error)) << error;
  std::mt19937 random(46);
  std::map<std::string, int> folders;  // album folder: its songs
  std::uint64_t nextId = 1;
  auto addSong = [&](const std::string& folder, std::vector<IndexedFile>& written) {
    const int n = ++folders[folder];
    const std::uint64_t id = nextId++;
    written.push_back(Row(folder + "/" + std::to_string(n) + ".mp3", id, "T" + std::to_string(id),
                          "Artist " + folder.substr(0, 1), folder));
  };
  std::vector<IndexedFile> written;
  for (int i = 0; i < 60; ++i)
    for (int n = 1 + i % 3; n > 0; --n) addSong(std::string(1, 'a' + i % 26) + std::to_string(i), written);
  ASSERT_TRUE(index.Apply({}, written, &error)) << error;
  constexpr std::size_t kSegmentSongs = 12;
  LibraryCatalogue catalogue(kSegmentSongs);
  auto before = catalogue.Build(root, index, {});
  index.TakeWritten();
  for (int step = 0; step < 80; ++step) {
    std::vector<std::string> gone;
    written.clear();
    auto some = std::next(folders.begin(), static_cast<long>(random() % folders.size()));
    switch (random() % 4) {
      case 0:  // an album folder moved in
        for (int n = 1 + step % 4; n > 0; --n) addSong("new" + std::to_string(step), written);
        break;
      case 1:  // an album folder deleted
        for (int n = 1; n <= some->second; ++n)
          gone.push_back(some->first + "/" + std::to_string(n) + ".mp3");
        folders.erase(some);
        break;
      case 2:  // a song added
        addSong(some->first, written);
        break;
      default:  // a song deleted
        gone.push_back(some->first + "/" + std::to_string(some->second) + ".mp3");
        if (--some->second == 0) folders.erase(some);
    }
    ASSERT_TRUE(index.Apply(gone, written, &error)) << error;
    auto after = catalogue.Update(index, index.TakeWritten());
    ASSERT_EQ(Served(*after), Served(*LibraryCatalogue().Build(root, index, {}))) << step;
    const auto& was = before->segments();
    const auto& is = after->segments();
    EXPECT_LE(std::count_if(is.begin(), is.end(),
                            [&](const auto& segment) {
                              return std::find(was.begin(), was.end(), segment) == was.end();
                            }),
              3)
        << step;
    std::size_t biggest = 0;  // part, counted as a segment counts it
    for (const auto& part : Parts(*after)) biggest = std::max(biggest, part->songs.size() + 1);
    for (std::size_t i = 0; i < is.size(); ++i) {
      std::size_t songs = 0;
      for (const auto& part : is[i]->parts) songs += part->songs.size() + 1;
      // Below a quarter only the last; above, by one album folder at most and what was left too
      // small to stand alone.
      if (i + 1 < is.size()) {
        EXPECT_GE(songs, kSegmentSongs / 4) << step;
      }
      EXPECT_LE(songs, kSegmentSongs + biggest + kSegmentSongs / 4) << step;
    }
    before = after;
  }
}

}  // namespace
}  // namespace lumora::server
