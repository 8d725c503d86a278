// The download's tag carries the picture the face shows: the song's cover, or the playlist's while
// a playlist loads, and no picture while the designed cover stands in.
#include <gtest/gtest.h>

#include <QImage>

#include "download/DownloadWiring.h"
#include "support/PictureBytes.h"

namespace lumora {
namespace {

using test::pictureBytes;

TEST(ShownCover, FollowsThePictureThatPicShows) {
  ShownCover cover;
  EXPECT_EQ(cover.bytes(), "");
  const std::string song = pictureBytes({4, 4}, Qt::red);
  const std::string playlist = pictureBytes({4, 4}, Qt::blue);
  cover.coverChanged(song);
  EXPECT_EQ(cover.bytes(), song);
  cover.playlistFound("list", playlist);
  EXPECT_EQ(cover.bytes(), playlist);
  // An error page instead of a picture: the face shows its designed cover, the tag none.
  cover.coverChanged("<html>404</html>");
  EXPECT_EQ(cover.bytes(), "");
  cover.coverChanged(song);
  cover.coverChanged("");
  EXPECT_EQ(cover.bytes(), "");
}

}  // namespace
}  // namespace lumora
