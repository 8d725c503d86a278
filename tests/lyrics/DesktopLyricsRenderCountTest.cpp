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

}  // namespace
}  // namespace lumora::test
