// On a real X display: the desktop lyrics band takes the pointer only on its drawn text; on its
// transparent part the pointer belongs to whatever lies beneath.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QThread>
#include <chrono>
#include <thread>

#include "support/TempDir.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

// The X window under the pointer after moving it to (x, y).
QString windowUnder(const Xvfb& x, int px, int py) {
  x.xdotool({"mousemove", QString::number(px), QString::number(py)});
  for (const QString& line : x.xdotool({"getmouselocation", "--shell"}).split('\n'))
    if (line.startsWith("WINDOW=")) return line.mid(7);
  return {};
}

TEST(LyricsBand, PointerPassesThroughTheTransparentPartOnly) {
  if (!haveTool("Xvfb") || !haveTool("xdotool") || !haveTool("import"))
    GTEST_SKIP() << "Xvfb, xdotool and imagemagick are needed";
  Xvfb x;
  ASSERT_FALSE(x.display().isEmpty());
  QProcess demo;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", x.display());
  env.insert("QT_QPA_PLATFORM", "xcb");
  demo.setProcessEnvironment(env);
  demo.start(QString::fromStdString((buildDir() / "tests/lyrics/demo/lyrics_demo").string()),
             {"60", "DejaVu Sans", "60"});
  ASSERT_TRUE(demo.waitForStarted(10000));

  QString band;
  for (int i = 0; i < 600 && band.isEmpty(); ++i) {
    band = x.xdotool({"search", "--onlyvisible", "--name", "DizazLyricsWindow"})
               .split('\n', Qt::SkipEmptyParts)
               .value(0);
    if (band.isEmpty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_FALSE(band.isEmpty()) << demo.readAllStandardError().data();
  QThread::msleep(800);  // the first paint and the shape
  const QRect area = x.geometry(band);
  ASSERT_GT(area.width(), 100);

  const QString shot = QString::fromStdString((buildDir() / "screenshots").string());
  QDir().mkpath(shot);
  x.screenshot(shot + "/lyrics-band.png", area);
  const QImage image(shot + "/lyrics-band.png");
  ASSERT_FALSE(image.isNull());

  // The band's corner is transparent: the root window has the pointer there.
  const QRgb ground = image.pixel(2, 2);
  EXPECT_NE(windowUnder(x, area.x() + 2, area.y() + 2), band);

  // A pixel of the text: the band has the pointer.
  QPoint glyph(-1, -1);
  for (int py = 0; py < image.height() && glyph.x() < 0; ++py)
    for (int px = image.width() / 4; px < image.width() * 3 / 4; ++px)
      if (qGray(image.pixel(px, py)) > qGray(ground) + 60) {
        glyph = QPoint(px, py);
        break;
      }
  ASSERT_GE(glyph.x(), 0) << "no text drawn";
  EXPECT_EQ(windowUnder(x, area.x() + glyph.x(), area.y() + glyph.y()), band);

  demo.kill();
  demo.waitForFinished();
}

}  // namespace
}  // namespace lumora::test
