// A library's albums come from its tags, whatever the folders and the track artists say.
#include <gtest/gtest.h>

#include <algorithm>

#include "LibraryFixture.h"
#include "support/TempDir.h"

namespace lumora::test {
namespace {

using Playlists = std::vector<std::pair<std::string, std::vector<std::string>>>;

TEST(ServerLibrary, AlbumsGatherByAlbumArtistAndPlayByDiscThenTrack) {
  struct File {
    const char* path;
    SongTags tags;
  };
  const File files[] = {
      // Disc and track decide, not the file names; a featuring artist stays on the album.
      {"Band - 1999/a.mp3", Tags("Closer", "Band", "Record", "", 2, 1)},
      {"Band - 1999/b.mp3", Tags("Middle", "Band feat. Guest", "Record", "Band", 1, 2)},
      {"Band - 1999/c.mp3", Tags("Opener", "Band", "Record", "", 1, 1)},
      // A compilation is one album whatever its track artists.
      {"Various/1.mp3", Tags("Song P", "Singer P", "Summer Hits", "", 0, 2, true)},
      {"Various/2.mp3", Tags("Song Q", "Singer Q", "Summer Hits", "", 0, 1, true)},
      // The same title by another artist is another album.
      {"Tribute/x.mp3", Tags("Cover Version", "Someone Else", "Record", "", 0, 1)},
      // Without album or track tags: the folder is the album, in file-name order.
      {"Untagged/2 two.mp3", Tags("Two", "", "", "", 0, 0)},
      {"Untagged/1 one.mp3", Tags("One", "", "", "", 0, 0)},
  };
  // Every playlist: one per album, one per folder (in file-name order), one per linked folder.
  Playlists expected = {
      {"Record", {"Opener", "Middle", "Closer"}},
      {"Record", {"Cover Version"}},
      {"Summer Hits", {"Song Q", "Song P"}},
      {"Untagged", {"One", "Two"}},
      {"Band - 1999", {"Closer", "Middle", "Opener"}},
      {"Favourites", {"Closer", "Middle", "Opener"}},
      {"Various", {"Song P", "Song Q"}},
      {"Tribute", {"Cover Version"}},
      {"Untagged", {"One", "Two"}},
  };
  TempDir lib;
  for (const File& f : files) ASSERT_TRUE(writeSong(lib.path() / f.path, f.tags)) << f.path;
  // A link to a folder inside is followed; one to its own ancestor would loop and is not.
  std::filesystem::create_directory_symlink(lib.path() / "Band - 1999", lib.path() / "Favourites");
  std::filesystem::create_directory_symlink(lib.path(), lib.path() / "Various/loop");
  ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();

  LibraryView view(server);
  Playlists served;
  for (auto& [name, ids] : view.playlists()) served.emplace_back(name, view.names(ids));
  std::sort(served.begin(), served.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(served, expected);
}

}  // namespace
}  // namespace lumora::test
