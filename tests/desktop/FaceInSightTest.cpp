// When the face counts as in sight, so that no new-song notice is needed.
#include <gtest/gtest.h>

#include "desktop/SongNotice.h"

namespace lumora::test {
namespace {

TEST(FaceInSight, AtLeastHalfOnTheScreensAndNotCovered) {
  const QRect face(100, 100, 154, 260);
  const QList<QRect> screen = {QRect(0, 0, 800, 600)};
  const struct {
    const char* what;
    bool shown, exposed;
    QRect frame;
    QList<QRect> above;
    bool inSight;
  } cases[] = {
      {"shown, nothing over it", true, true, face, {}, true},
      {"hidden in the tray", false, false, face, {}, false},
      {"not exposed", true, false, face, {}, false},
      {"docked mostly off the screen", true, true, face.translated(-200, 0), {}, false},
      {"a window over a third of it", true, true, face, {QRect(100, 100, 154, 86)}, true},
      {"a window over all of it", true, true, face, {QRect(0, 0, 400, 400)}, false},
      {"two windows over most of it",
       true,
       true,
       face,
       {QRect(100, 100, 154, 100), QRect(100, 180, 154, 100)},
       false},
      {"half off the screen, a window over the rest",
       true,
       true,
       face.translated(-177, 0),
       {QRect(0, 100, 40, 260)},
       false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(faceInSight(c.shown, c.exposed, c.frame, screen, c.above), c.inSight) << c.what;
}

}  // namespace
}  // namespace lumora::test
