// On a real X display: the desktop lyrics window takes the pointer only on its drawn text; on its
// transparent part the pointer belongs to whatever lies beneath.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <chrono>

#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "support/XvfbDisplay.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

// The X window under the pointer after moving it to (x, y).
QString windowUnder(const Xvfb& x, int px, int py) {
  x.xdotool({"mousemove", QString::number(px), QString::number(py)});
  for (const QString& line : x.xdotool({"getmouselocation", "--shell"}).split('\n'))
    if (line.startsWith("WINDOW=")) return line.mid(7);
  return {};
}

// A pixel of the window's middle half clearly brighter than its corner: drawn text.
QPoint glyphOf(const QImage& image) {
  const int ground = qGray(image.pixel(2, 2));
  for (int py = 0; py < image.height(); ++py)
    for (int px = image.width() / 4; px < image.width() * 3 / 4; ++px)
      if (qGray(image.pixel(px, py)) > ground + 60) return {px, py};
  return {-1, -1};
}

TEST(DesktopLyricsPointer, PassesThroughTheTransparentPartOnly) {
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

  QString lyrics;
  ASSERT_TRUE(waitFor(
      [&] {
        lyrics = x.xdotool({"search", "--onlyvisible", "--name", "DizazLyricsWindow"})
                   .split('\n', Qt::SkipEmptyParts)
                   .value(0);
        return !lyrics.isEmpty();
      },
      60s))
      << "no desktop lyrics window: " << demo.readAllStandardError().data();
  QRect area;
  ASSERT_TRUE(waitFor(
      [&] {
        area = x.geometry(lyrics);
        return area.width() > 100;
      },
      10s))
      << "the window never took its size";

  // The text is drawn and the input shape set once the window's corner belongs to what lies
  // beneath: the root window has the pointer there.
  const QString shot = QString::fromStdString((buildDir() / "screenshots").string());
  QDir().mkpath(shot);
  EXPECT_TRUE(waitFor([&] { return windowUnder(x, area.x() + 2, area.y() + 2) != lyrics; }, 10s))
      << "the pointer stays on the window's transparent corner";
  QImage image;
  ASSERT_TRUE(waitFor(
      [&] {
        x.screenshot(shot + "/desktop-lyrics.png", area);
        image = QImage(shot + "/desktop-lyrics.png");
        return !image.isNull() && glyphOf(image).x() >= 0;
      },
      10s))
      << "no text drawn";
  const QPoint glyph = glyphOf(image);
  // A pixel of the text: the window has the pointer.
  EXPECT_EQ(windowUnder(x, area.x() + glyph.x(), area.y() + glyph.y()), lyrics);

  demo.kill();
  demo.waitForFinished();
}

}  // namespace
}  // namespace lumora::test
