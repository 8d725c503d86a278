// The download's tag carries the song's own cover, and no picture where the face shows its
// designed cover instead: the playlist's cover during a load is not the song's.
#include <gtest/gtest.h>

#include <QImage>

#include "download/DownloadWiring.h"
#include "support/PictureBytes.h"

namespace lumora {
namespace {

using test::pictureBytes;

TEST(DownloadCover, OnlyBytesThatLoadAsAPictureAreSaved) {
  const std::string song = pictureBytes({4, 4}, Qt::red);
  EXPECT_EQ(PictureOrNothing(song), song);
  // An error page instead of a picture: the face shows its designed cover, the tag none.
  EXPECT_EQ(PictureOrNothing("<html>404</html>"), "");
  EXPECT_EQ(PictureOrNothing(""), "");
}

}  // namespace
}  // namespace lumora
