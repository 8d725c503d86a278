#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QMouseEvent>

#include "lyrics/DesktopLyricsWindow.h"

namespace lumora::test {
namespace {

constexpr int kRed = 0x0000FF;  // Windows colour values: 0x00BBGGRR
constexpr int kBlue = 0xFF0000;
constexpr int kGreen = 0x00FF00;
constexpr int kWhite = 0xFFFFFF;

QRect fullHd() { return QRect(0, 0, 1920, 1040); }

struct Box {
  int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
  bool empty() const { return right < 0; }
  void add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
  }
};

template <typename Pred>
Box boxOf(const QImage& image, Pred pred) {
  Box box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (pred(image.pixel(x, y))) box.add(x, y);
  return box;
}

bool drawn(QRgb p) { return qAlpha(p) > 0; }
bool opaque(QRgb p) { return qAlpha(p) == 255; }

// A plain lyrics window with a big font, no shadow and no outline, so one feature at a time can
// be switched on.
class LyricsRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lyrics.Create(600, 160));
    lyrics.SetFont("DejaVu Sans", 100, true, false, false);
    lyrics.SetShadow(0, 0, 0, false);
    lyrics.SetFillColours(kRed, kBlue, -1, 0);
    lyrics.SetHighlightColours(kGreen, kGreen, -1, 0);
  }
  QImage render(const char* text, int percent = 0) {
    lyrics.SetText(text, percent);
    return lyrics.Handle()->image();
  }

  DesktopLyricsWindow lyrics{fullHd};
};

TEST_F(LyricsRender, ImageIsPremultipliedOfTheWindowSizeAndClearOutsideTheText) {
  lyrics.SetShadow(0, 150, 2, false);
  lyrics.SetFillColours(kRed, kBlue, 0, 1);
  const QImage image = render("Lumora");
  EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(image.size(), QSize(600, 160));
  const Box text = boxOf(image, drawn);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(image.pixel(0, 0), 0u);
  EXPECT_EQ(image.pixel(599, 159), 0u);
  // Centred both ways, within a pixel or two of antialiasing and shadow.
  EXPECT_NEAR((text.left + text.right) / 2.0, 300, 4);
  EXPECT_NEAR((text.top + text.bottom) / 2.0, 80, 20);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (x < text.left || x > text.right || y < text.top || y > text.bottom) {
        ASSERT_EQ(image.pixel(x, y), 0u) << x << "," << y;
      }
    }
  }
}

// The top, the bottom and the bluest pixel down the middle of a red-to-blue block.
struct GradientColumn {
  QRgb top = 0, bottom = 0;
  int bluest = 0;
};

GradientColumn blockColumn(const QImage& image) {
  GradientColumn column;
  const Box box = boxOf(image, opaque);
  if (box.empty()) return column;
  const int x = (box.left + box.right) / 2;
  column.top = image.pixel(x, box.top + 1);
  column.bottom = image.pixel(x, box.bottom - 1);
  for (int y = box.top; y <= box.bottom; ++y) {
    column.bluest = std::max(column.bluest, qBlue(image.pixel(x, y)));
  }
  return column;
}

TEST_F(LyricsRender, GradientModeOneRunsTopToBottom) {
  lyrics.SetFillColours(kRed, kBlue, -1, 1);
  const GradientColumn c = blockColumn(render("█"));
  EXPECT_GT(qRed(c.top), 150);
  EXPECT_GT(qRed(c.top), qBlue(c.top));
  EXPECT_GT(qBlue(c.bottom), 150);
  EXPECT_GT(qBlue(c.bottom), qRed(c.bottom));
}

TEST_F(LyricsRender, GradientModeTwoMirrorsAroundTheMiddle) {
  lyrics.SetFillColours(kRed, kBlue, -1, 2);
  const GradientColumn c = blockColumn(render("█"));
  EXPECT_GT(qRed(c.top), qBlue(c.top));
  EXPECT_GT(qRed(c.bottom), qBlue(c.bottom));
  // The turn is at the middle of the text height, which lies inside the block.
  EXPECT_GT(c.bluest, 230);
}

TEST_F(LyricsRender, OtherModesFillSolidWithTheFirstColour) {
  for (int mode : {0, 3, -1}) {
    lyrics.SetFillColours(kRed, kBlue, -1, mode);
    const QImage image = render("Lu");
    const Box box = boxOf(image, opaque);
    ASSERT_FALSE(box.empty());
    EXPECT_TRUE(boxOf(image, [](QRgb p) { return opaque(p) && p != 0xFFFF0000u; }).empty()) << mode;
  }
}

TEST_F(LyricsRender, OutlineAtTheEdgesFillInside) {
  lyrics.SetFillColours(kWhite, kWhite, kRed, 0);
  const QImage image = render("█");
  const Box box = boxOf(image, drawn);
  ASSERT_FALSE(box.empty());
  const int y = (box.top + box.bottom) / 2;
  const int x = (box.left + box.right) / 2;
  // The leftmost drawn pixel of a middle row is outline, the centre is fill.
  const QRgb edge = image.pixel(box.left, y);
  EXPECT_GT(qRed(edge), 0);
  EXPECT_EQ(qGreen(edge), 0);
  EXPECT_EQ(image.pixel(x, y), 0xFFFFFFFFu);
  // Without an outline the edge is plain fill.
  lyrics.SetFillColours(kWhite, kWhite, -1, 0);
  const QImage plain = render("█");
  EXPECT_TRUE(boxOf(plain, [](QRgb p) { return qRed(p) != qGreen(p); }).empty());
}

TEST_F(LyricsRender, ShadowFallsDownRight) {
  lyrics.SetFillColours(kWhite, kWhite, -1, 0);
  lyrics.SetShadow(0, 255, 6, false);
  const QImage image = render("I");
  const Box white = boxOf(image, [](QRgb p) { return p == 0xFFFFFFFFu; });
  const Box dark = boxOf(image, [](QRgb p) { return qAlpha(p) == 255 && qRed(p) < 30; });
  ASSERT_FALSE(white.empty());
  ASSERT_FALSE(dark.empty());
  EXPECT_NEAR(dark.right - white.right, 6, 1);
  EXPECT_NEAR(dark.bottom - white.bottom, 6, 1);
  EXPECT_GT(dark.left, white.left);
  // A shadow without offset is no shadow at all.
  lyrics.SetShadow(0, 255, -3, false);
  EXPECT_FALSE(lyrics.look().shadow.has_value());
  EXPECT_EQ(lyrics.look().shadowOffset, 0);
}

TEST_F(LyricsRender, HighlightShare) {
  const auto isGreen = [](QRgb p) { return opaque(p) && p == 0xFF00FF00u; };
  const auto isRed = [](QRgb p) { return opaque(p) && p == 0xFFFF0000u; };

  QImage image = render("████", 150);
  EXPECT_EQ(lyrics.look().highlightPercent, 100);
  EXPECT_FALSE(boxOf(image, isGreen).empty());
  EXPECT_TRUE(boxOf(image, isRed).empty());

  image = render("█", 50);
  const Box all = boxOf(image, drawn);
  ASSERT_FALSE(all.empty());
  const int split = (all.left + all.right) / 2;
  // Along the middle row: highlight up to half the text width, fill after it.
  const int y = (all.top + all.bottom) / 2;
  int greens = 0, reds = 0;
  for (int x = all.left + 2; x <= all.right - 2; ++x) {
    const QRgb p = image.pixel(x, y);
    // Glyph edges blend both sets; judge the inside of the glyphs.
    if (!opaque(image.pixel(x - 2, y)) || !opaque(image.pixel(x + 2, y))) continue;
    if (std::abs(x - split) < 3) continue;
    if (x < split) {
      EXPECT_TRUE(isGreen(p)) << x;
      ++greens;
    } else {
      EXPECT_TRUE(isRed(p)) << x;
      ++reds;
    }
  }
  EXPECT_GT(greens, 20);
  EXPECT_GT(reds, 20);

  image = render("████", 0);
  EXPECT_TRUE(boxOf(image, isGreen).empty());
  render("████", -20);
  EXPECT_EQ(lyrics.look().highlightPercent, 0);
}

TEST_F(LyricsRender, BackgroundCoversTheWindowWhenGiven) {
  lyrics.SetBackground(kBlue, 128, false);
  QImage image = render("x");
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 128);
  lyrics.SetBackground(kBlue, 0, true);
  image = lyrics.Handle()->image();
  EXPECT_EQ(image.pixel(0, 0), 0u);
}

TEST(DesktopLyricsWindow, CreateSitsAtTheBottomOfTheWorkArea) {
  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(lyrics.Create());
  EXPECT_EQ(lyrics.Width(), 1920);
  EXPECT_EQ(lyrics.Height(), 150);
  EXPECT_EQ(lyrics.Left(), 0);
  EXPECT_EQ(lyrics.Top(), 890);
  EXPECT_TRUE(lyrics.Handle()->isVisible());
  EXPECT_EQ(lyrics.Handle()->windowTitle(), "DizazLyricsWindow");
  const Qt::WindowFlags flags = lyrics.Handle()->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);

  LyricsSurface* first = lyrics.Handle();
  EXPECT_FALSE(lyrics.Create());
  EXPECT_EQ(lyrics.Handle(), first);
}

TEST(DesktopLyricsWindow, CreateCentresFromZeroNotFromTheWorkAreaEdge) {
  DesktopLyricsWindow lyrics([] { return QRect(100, 30, 1000, 700); });
  ASSERT_TRUE(lyrics.Create(401, 80));
  EXPECT_EQ(lyrics.Left(), 299);  // (1000 - 401) / 2, truncated
  EXPECT_EQ(lyrics.Top(), 650);   // work-area bottom 730 - 80
}

TEST(DesktopLyricsWindow, InitDefaults) {
  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(lyrics.Create(300, 100));
  const LyricsLook& look = lyrics.look();
  ASSERT_TRUE(look.font.has_value());
  EXPECT_EQ(look.font->pixelSize(), 50);
  EXPECT_TRUE(look.font->bold());
  EXPECT_FALSE(look.font->italic());
  EXPECT_FALSE(look.background.has_value());
  EXPECT_EQ(look.shadow, std::optional<QRgb>(0x96000000u));
  EXPECT_EQ(look.shadowOffset, 2);
  EXPECT_EQ(look.fillColours[0], 0xFFE3FE00u);
  EXPECT_EQ(look.fillColours[1], 0xFF33B100u);
  EXPECT_EQ(look.fillOutline, std::optional<QRgb>(0xFF000000u));
  EXPECT_EQ(look.fillMode, 1);
  EXPECT_EQ(look.highlightColours[0], 0xFFFE8314u);
  EXPECT_EQ(look.highlightColours[1], 0xFFFFFF00u);
  EXPECT_EQ(look.highlightOutline, std::optional<QRgb>(0xFF000000u));
  EXPECT_EQ(look.highlightMode, 1);
  EXPECT_TRUE(look.textFlags & Qt::TextSingleLine);
  EXPECT_TRUE(look.textFlags & Qt::AlignHCenter);
  EXPECT_TRUE(lyrics.Handle()->hitMove);
}

TEST(DesktopLyricsWindow, ColourConversionClampsAlpha) {
  EXPECT_EQ(ColourRefToArgb(0xDD6F00), 0xFF006FDDu);
  EXPECT_EQ(ColourRefToArgb(0x123456, 256), 0xFF563412u);
  EXPECT_EQ(ColourRefToArgb(0x123456, -4), 0x00563412u);
  EXPECT_EQ(ColourRefToArgb(0x123456, 7), 0x07563412u);
}

TEST(DesktopLyricsWindow, UnknownFamilyFallsBackToAFaceThatDraws) {
  const QStringList families = QFontDatabase::families();
  const QString chosen = ChooseLyricsFontFamily("No Such Family 4711");
  EXPECT_FALSE(chosen.isEmpty());
  EXPECT_NE(chosen, "No Such Family 4711");
  EXPECT_EQ(ChooseLyricsFontFamily("DejaVu Sans"), "DejaVu Sans");

  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(lyrics.Create(600, 150));
  lyrics.SetFont("No Such Family 4711", 40, false, false, false);
  lyrics.SetText("欢迎进入Lumora");
  EXPECT_FALSE(boxOf(lyrics.Handle()->image(), drawn).empty());
}

TEST(DesktopLyricsWindow, CloseIgnoredUnderNoCloseUntilTheSessionEnds) {
  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(lyrics.Create(300, 100));
  lyrics.SetNoClose(true);
  EXPECT_FALSE(lyrics.Handle()->close());
  EXPECT_TRUE(lyrics.Handle()->isVisible());
  lyrics.Handle()->sessionEnding();
  EXPECT_TRUE(lyrics.Handle()->close());
  EXPECT_FALSE(lyrics.Handle()->isVisible());
  EXPECT_TRUE(lyrics.IsCreated());

  lyrics.Show();
  lyrics.SetNoClose(false);
  EXPECT_TRUE(lyrics.Handle()->close());
}

TEST(DesktopLyricsWindow, NoCloseDoesNotHoldUpQuittingTheProgram) {
  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(lyrics.Create(300, 100));
  lyrics.SetNoClose(true);
  ASSERT_TRUE(lyrics.Handle()->isVisible());
  // No event loop runs here, so the quit only closes the windows.
  QEvent quit(QEvent::Quit);
  QApplication::sendEvent(QApplication::instance(), &quit);
  EXPECT_TRUE(quit.isAccepted());
  EXPECT_FALSE(lyrics.Handle()->isVisible());

  // Afterwards a plain close request is refused again.
  QCoreApplication::processEvents();
  lyrics.Show();
  EXPECT_FALSE(lyrics.Handle()->close());
}

void press(QWidget* w, QPoint local, Qt::MouseButton button = Qt::LeftButton) {
  QMouseEvent event(QEvent::MouseButtonPress, local, w->mapToGlobal(local), button, button,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

void dragTo(QWidget* w, QPoint global) {
  QMouseEvent move(QEvent::MouseMove, w->mapFromGlobal(global), global, Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, w->mapFromGlobal(global), global, Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

TEST(DesktopLyricsWindow, LeftPressOnDrawnPixelDragsUnderHitMove) {
  DesktopLyricsWindow lyrics([] { return QRect(0, 0, 1000, 800); });
  ASSERT_TRUE(lyrics.Create(400, 120));
  lyrics.SetText("████");
  LyricsSurface* w = lyrics.Handle();
  const QPoint centre(200, 60);
  ASSERT_GT(qAlpha(w->image().pixel(centre)), 0);
  const QPoint start = w->pos();

  // Transparent pixel: nothing moves.
  press(w, QPoint(2, 2));
  dragTo(w, w->mapToGlobal(QPoint(2, 2)) + QPoint(30, -40));
  EXPECT_EQ(w->pos(), start);

  // Right button: nothing moves.
  press(w, centre, Qt::RightButton);
  dragTo(w, w->mapToGlobal(centre) + QPoint(30, -40));
  EXPECT_EQ(w->pos(), start);

  press(w, centre);
  dragTo(w, w->mapToGlobal(centre) + QPoint(30, -40));
  EXPECT_EQ(w->pos(), start + QPoint(30, -40));

  lyrics.SetHitMove(false);
  const QPoint moved = w->pos();
  press(w, centre);
  dragTo(w, w->mapToGlobal(centre) + QPoint(-50, 10));
  EXPECT_EQ(w->pos(), moved);
}

// Clicks on transparent pixels pass through to what lies beneath: the window's input shape is
// exactly its drawn pixels, renewed with every redraw.
TEST(DesktopLyricsWindow, InputShapeIsTheDrawnPixels) {
  DesktopLyricsWindow lyrics([] { return QRect(0, 0, 1000, 800); });
  ASSERT_TRUE(lyrics.Create(400, 120));
  LyricsSurface* w = lyrics.Handle();
  lyrics.SetText("████");
  const QImage& image = w->image();
  int drawn = 0, shaped = 0, leaks = 0;
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) {
      const bool isDrawn = qAlpha(image.pixel(x, y)) > 0;
      const bool inShape = w->mask().contains(QPoint(x, y));
      drawn += isDrawn;
      shaped += isDrawn && inShape;
      leaks += !isDrawn && inShape;
    }
  }
  ASSERT_GT(drawn, 100);
  EXPECT_EQ(shaped, drawn);
  EXPECT_EQ(leaks, 0);
  EXPECT_FALSE(w->mask().contains(QPoint(2, 2)));

  // A shorter line takes its shape along; no text leaves no place to click.
  lyrics.SetText("█");
  EXPECT_FALSE(w->mask().contains(QPoint(100, 60)));
  EXPECT_TRUE(w->mask().contains(QPoint(200, 60)));
  lyrics.SetText("");
  EXPECT_LE(w->mask().boundingRect().width() * w->mask().boundingRect().height(), 1);
}

TEST(DesktopLyricsWindow, MoveKeepsWhatIsNotGivenAndRedrawsAtTheNewSize) {
  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(lyrics.Create(300, 100));
  lyrics.SetText("x");
  lyrics.Move(10, std::nullopt);
  EXPECT_EQ(lyrics.Left(), 10);
  EXPECT_EQ(lyrics.Top(), 940);
  lyrics.Move(std::nullopt, std::nullopt, std::nullopt, 120);
  EXPECT_EQ(lyrics.Width(), 300);
  EXPECT_EQ(lyrics.Height(), 120);
  EXPECT_EQ(lyrics.Left(), 10);
  EXPECT_EQ(lyrics.Handle()->image().size(), QSize(300, 120));
}

TEST(DesktopLyricsWindow, AttachAdoptsOnlyIntoAnEmptyObject) {
  DesktopLyricsWindow lyrics(fullHd);
  EXPECT_FALSE(lyrics.Attach(nullptr));
  EXPECT_FALSE(lyrics.IsCreated());
  EXPECT_EQ(lyrics.Handle(), nullptr);
  lyrics.SetText("no window yet");  // stored, nothing to draw on
  auto* surface = new LyricsSurface;
  surface->resize(200, 80);
  ASSERT_TRUE(lyrics.Attach(surface));
  EXPECT_EQ(lyrics.Handle(), surface);
  EXPECT_EQ(lyrics.look().text, "no window yet");
  ASSERT_TRUE(lyrics.look().font.has_value());

  auto* other = new LyricsSurface;
  EXPECT_FALSE(lyrics.Attach(other));
  delete other;

  lyrics.Destroy();
  EXPECT_FALSE(lyrics.IsCreated());
  EXPECT_TRUE(lyrics.Create(200, 80));
}

// A window made anew after the colours were set, with or without outlines (-1), is a window made:
// true, and kept.
TEST(DesktopLyricsWindow, MakingAWindowSucceedsWhateverTheColoursSet) {
  const int outlines[] = {-1, 0, kRed, kWhite};
  using Make = bool (*)(DesktopLyricsWindow&);
  const std::pair<const char*, Make> makes[] = {
      {"Create", [](DesktopLyricsWindow& l) { return l.Create(200, 80); }},
      {"CreateHidden", [](DesktopLyricsWindow& l) { return l.CreateHidden(200, 80); }},
      {"Attach", [](DesktopLyricsWindow& l) { return l.Attach(new LyricsSurface); }},
  };
  for (const auto& [name, make] : makes)
    for (const int fill : outlines)
      for (const int highlight : outlines) {
        SCOPED_TRACE(testing::Message() << name << " fill " << fill << " highlight " << highlight);
        DesktopLyricsWindow lyrics(fullHd);
        ASSERT_TRUE(lyrics.CreateHidden(200, 80));
        lyrics.SetFillColours(kBlue, kGreen, fill, 1);
        lyrics.SetHighlightColours(kRed, kWhite, highlight, 2);
        lyrics.Destroy();
        EXPECT_TRUE(make(lyrics));
        EXPECT_TRUE(lyrics.IsCreated());
        EXPECT_EQ(lyrics.look().fillOutline.has_value(), fill != -1);
      }
}

TEST(DesktopLyricsWindow, StartUpLeavesAStyledHiddenGreeting) {
  DesktopLyricsWindow lyrics(fullHd);
  ASSERT_TRUE(setUpDesktopLyricsAtStartup(lyrics, "DejaVu Sans", 36, false, true, false));
  LyricsSurface* w = lyrics.Handle();
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(lyrics.RenderCount(), 0);
  EXPECT_TRUE(w->hitMove);
  EXPECT_TRUE(w->noClose);
  const LyricsLook& look = lyrics.look();
  EXPECT_EQ(look.text, "欢迎进入Lumora");
  EXPECT_EQ(look.font->family(), "DejaVu Sans");
  EXPECT_EQ(look.font->pixelSize(), 36);
  EXPECT_TRUE(look.font->italic());
  EXPECT_FALSE(look.font->bold());
  EXPECT_EQ(look.fillColours[0], 0xFF006FDDu);
  EXPECT_EQ(look.fillColours[1], 0xFFFFFFFFu);
  EXPECT_EQ(look.fillOutline, std::optional<QRgb>(0xFF000000u));
  EXPECT_EQ(look.fillMode, 1);
  EXPECT_FALSE(boxOf(w->image(), drawn).empty());
  EXPECT_EQ(lyrics.Top(), 890);
}

}  // namespace
}  // namespace lumora::test
