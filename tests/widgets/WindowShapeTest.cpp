// Rounded window regions: the corner pixels go, the edges between the corners stay.
#include <gtest/gtest.h>

#include <QWidget>

#include "widgets/WindowShape.h"

namespace lumora::test {
namespace {

TEST(RoundWindowCorners, DefaultCornersFollowAQuarterEllipse) {
  QWidget w;
  w.resize(200, 100);
  roundWindowCorners(&w);
  const QRegion mask = w.mask();
  EXPECT_EQ(mask.boundingRect(), QRect(0, 0, 200, 100));
  const std::pair<QPoint, bool> pixels[] = {
      {{0, 0}, false},    {{24, 0}, false},  {{25, 0}, true},   {{174, 0}, true}, {{175, 0}, false},
      {{3, 3}, false},    {{14, 3}, true},   {{0, 24}, false},  {{1, 24}, true},  {{0, 25}, true},
      {{0, 74}, true},    {{0, 75}, false},  {{24, 99}, false}, {{25, 99}, true}, {{199, 50}, true},
      {{199, 99}, false}, {{100, 50}, true}, {{186, 96}, false}};
  for (auto [at, inside] : pixels) EXPECT_EQ(mask.contains(at), inside) << at.x() << "," << at.y();
}

TEST(RoundWindowCorners, FollowsTheCurrentSizeAndSurvivesOddInput) {
  QWidget w;
  w.resize(30, 20);
  roundWindowCorners(&w, 400, 400);  // corners larger than the window: an ellipse
  EXPECT_TRUE(QRect(0, 0, 30, 20).contains(w.mask().boundingRect()));
  EXPECT_TRUE(w.mask().contains(QPoint(15, 10)));
  EXPECT_TRUE(w.mask().contains(QPoint(1, 10)));
  EXPECT_TRUE(w.mask().contains(QPoint(15, 1)));
  EXPECT_FALSE(w.mask().contains(QPoint(1, 1)));
  w.resize(40, 40);
  roundWindowCorners(&w, 0, 0);  // square corners
  EXPECT_EQ(w.mask(), QRegion(0, 0, 40, 40));
  roundWindowCorners(nullptr, 2, 2);
}

}  // namespace
}  // namespace lumora::test
