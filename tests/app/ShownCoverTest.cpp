// The download's tag carries the picture the face shows: the song's cover, or the playlist's while
// a playlist loads, and no picture while the designed cover stands in.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "app/DownloadWiring.h"

namespace lumora {
namespace {

std::string PngBytes(QColor colour) {
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

TEST(ShownCover, FollowsThePictureThatPicShows) {
  ShownCover cover;
  EXPECT_EQ(cover.bytes(), "");
  const std::string song = PngBytes(Qt::red);
  const std::string playlist = PngBytes(Qt::blue);
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
