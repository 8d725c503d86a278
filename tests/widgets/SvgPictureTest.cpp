#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "widgets/PictureButton.h"
#include "widgets/SvgPicture.h"

namespace lumora::test {
namespace {

// A red square filling the picture.
QString writeSquare(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("square.svg"));
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10">)"
             R"(<rect width="10" height="10" fill="#ff0000"/></svg>)");
  return path;
}

TEST(SvgPicture, RendersOncePerSizeAndRatio) {
  QTemporaryDir dir;
  SvgPicture picture(writeSquare(dir));
  struct Step {
    QSize size;
    qreal ratio;
    int renders;
  };
  for (const Step& s : {Step{{40, 20}, 1, 1}, Step{{40, 20}, 1, 1}, Step{{30, 30}, 1, 2},
                        Step{{30, 30}, 2, 3}, Step{{30, 30}, 2, 3}}) {
    const QImage image = picture.pixmap(s.size, s.ratio).toImage();
    EXPECT_EQ(picture.renderCount(), s.renders) << s.size.width() << "x" << s.ratio;
    EXPECT_EQ(image.size(), s.size * s.ratio);
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), qRgb(255, 0, 0));
  }
}

TEST(SvgPicture, AButtonPaintedAgainReusesItsPicture) {
  QTemporaryDir dir;
  PictureButton button(writeSquare(dir));
  button.resize(24, 24);
  const QImage first = button.grab().toImage();
  const QImage second = button.grab().toImage();
  EXPECT_EQ(button.renderCount(), 1);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first.pixel(12, 12), qRgb(255, 0, 0));
  button.resize(30, 24);
  button.grab();
  EXPECT_EQ(button.renderCount(), 2);
}

}  // namespace
}  // namespace lumora::test
