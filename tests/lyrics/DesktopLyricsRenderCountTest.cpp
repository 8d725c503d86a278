#include <gtest/gtest.h>

#include <functional>

#include "lyrics/DesktopLyricsWindow.h"

namespace lumora::test {
namespace {

QRect workArea() { return QRect(0, 0, 1920, 1040); }

TEST(DesktopLyricsRenderCount, RendersOnlyWhatChanges) {
  DesktopLyricsWindow lyrics(workArea);
  ASSERT_TRUE(lyrics.Create(600, 150));
  const int start = lyrics.RenderCount();
  for (int tick = 0; tick < 10; ++tick) lyrics.SetText("same line");
  EXPECT_EQ(lyrics.RenderCount(), start + 1);

  struct Step {
    const char* what;
    std::function<void()> act;
    int renders;
  };
  const Step steps[] = {
      {"same style again", [&] { lyrics.SetShadow(0, 150, 2, true); }, 0},
      {"plain redraw", [&] { lyrics.Redraw(); }, 0},
      {"highlight", [&] { lyrics.SetText("same line", 40); }, 1},
      {"style", [&] { lyrics.SetShadow(0xFF, 150, 3, true); }, 1},
      {"font then redraw",
       [&] {
         lyrics.SetFont("DejaVu Sans", 30, false, false, false);
         lyrics.Redraw();
       },
       1},
      {"size", [&] { lyrics.Move(std::nullopt, std::nullopt, 500, 120); }, 1},
      {"move only",
       [&] {
         lyrics.Move(10, 20);
         lyrics.Redraw();
       },
       0},
  };
  for (const Step& step : steps) {
    const int before = lyrics.RenderCount();
    step.act();
    EXPECT_EQ(lyrics.RenderCount() - before, step.renders) << step.what;
  }
  EXPECT_EQ(lyrics.Handle()->image(), lyrics.Render(QSize(500, 120)));
}

TEST(DesktopLyricsRenderCount, AHiddenWindowRendersWhenShown) {
  DesktopLyricsWindow lyrics(workArea);
  ASSERT_TRUE(lyrics.Create(600, 150));
  lyrics.SetText("first");
  lyrics.Hide();
  const int hidden = lyrics.RenderCount();
  for (int tick = 0; tick < 10; ++tick) lyrics.SetText(tick % 2 ? "odd" : "even", tick * 10);
  lyrics.SetFillColours(0xFF, 0xFF00, -1, 2);
  lyrics.Move(std::nullopt, std::nullopt, 700, 140);
  EXPECT_EQ(lyrics.RenderCount(), hidden);

  lyrics.Show();
  EXPECT_EQ(lyrics.RenderCount(), hidden + 1);
  EXPECT_EQ(lyrics.Handle()->image(), lyrics.Render(QSize(700, 140)));
  // Showing again with nothing changed keeps the image.
  lyrics.Hide();
  lyrics.Show();
  EXPECT_EQ(lyrics.RenderCount(), hidden + 1);
}

// The sweep lights a line in steps without shaping it again; every step must show exactly what
// one render at that share shows, and the input shape must stay the drawn pixels.
TEST(DesktopLyricsRenderCount, ASweepInStepsShowsWhatOneRenderShows) {
  struct Outlines {
    int fill;
    int highlight;
  };
  for (const Outlines outlines : {Outlines{0, 0}, Outlines{-1, -1}, Outlines{-1, 0xFFFFFF}}) {
    SCOPED_TRACE(testing::Message() << "outlines " << outlines.fill << ", " << outlines.highlight);
    DesktopLyricsWindow lyrics(workArea);
    ASSERT_TRUE(lyrics.Create(600, 150));
    lyrics.SetFillColours(0xFF, 0xFF00, outlines.fill, 2);
    lyrics.SetHighlightColours(0xFF0000, 0xFF, outlines.highlight, 1);
    for (const int percent : {0, 1, 7, 35, 36, 80, 20, 99, 100}) {
      lyrics.SetText("a swept line", percent);
      const QImage& shown = lyrics.Handle()->image();
      ASSERT_EQ(shown, lyrics.Render(QSize(600, 150))) << percent;
      int leaks = 0;
      int missing = 0;
      for (int y = 0; y < shown.height(); y += 2) {
        for (int x = 0; x < shown.width(); x += 2) {
          const bool drawn = qAlpha(shown.pixel(x, y)) > 0;
          const bool inShape = lyrics.Handle()->mask().contains(QPoint(x, y));
          leaks += !drawn && inShape;
          missing += drawn && !inShape;
        }
      }
      EXPECT_EQ(leaks, 0) << percent;
      EXPECT_EQ(missing, 0) << percent;
    }
  }
}

}  // namespace
}  // namespace lumora::test
