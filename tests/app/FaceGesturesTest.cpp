// The wheel over the face steps the volume and the click on the progress bar's row seeks, on the
// real player (no-sound device) with a ten-second MP3 file as the current song.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <chrono>
#include <memory>

#include "app/MainWindow.h"
#include "desktop/FaceGestures.h"
#include "support/Controls.h"
#include "support/Mp3Fixture.h"
#include "support/PlaybackAccess.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

TEST(SteppedVolume, MovesOnTheFivePercentGridWithinBounds) {
  const struct {
    double volume;
    int notches;
    double stepped;
  } cases[] = {
      {1.0, 1, 1.0},   {1.0, -1, 0.95}, {0.5, 2, 0.6},   {0.05, -1, 0.0},
      {0.0, -1, 0.0},  {0.0, 25, 1.0},  {1.0, -30, 0.0}, {0.52, 1, 0.55},
      {0.53, 0, 0.55}, {-0.2, 1, 0.05}, {1.7, -1, 0.95},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(SteppedVolume(c.volume, c.notches), c.stepped) << c.volume << " " << c.notches;
}

class FaceGesturesOnWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    objects.options.ApiBaseAddress = "http://127.0.0.1:9";
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
    const std::string mp3 = tmp.file("ten.mp3");
    ASSERT_TRUE(writeFile(mp3, makeMp3(10.0)));
    stream = objects.player.createStream(mp3);
    ASSERT_NE(stream, 0u);
    // An MP3 without an index tells its length once it plays.
    ASSERT_TRUE(objects.player.play(stream, false));
    ASSERT_TRUE(waitFor([this] { return objects.player.getLength(stream) > 0; }, 3s));
    ASSERT_TRUE(objects.player.pause(stream));
    PlaybackControllerAccess::state(window->playback()).now.currentStream = stream;
  }

  double seconds() {
    return objects.player.bytesToSeconds(stream, objects.player.getPosition(stream));
  }
  double length() {
    return objects.player.bytesToSeconds(stream, objects.player.getLength(stream));
  }

  // A left press at a point of the window, sent to whatever lies there, as a mouse would.
  void press(QPoint at) {
    QWidget* target = window->childAt(at);
    if (!target) target = window.get();
    const QPointF local = target->mapFrom(window.get(), QPointF(at));
    QMouseEvent event(QEvent::MouseButtonPress, local, target->mapToGlobal(local), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  // Qt hands a synthesized wheel event to its receiver only; a real one reaches the window
  // from whatever child let it pass, so it goes to the window here.
  void wheel(QPoint at, int angle) {
    QWheelEvent event(QPointF(at), window->mapToGlobal(QPointF(at)), {}, QPoint(0, angle),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.get(), &event);
  }
  // The pointer resting at a point of the window: the tooltip it brings up, as Qt hands the
  // event from whatever lies there to its parents.
  std::string restAt(QPoint at) {
    QWidget* target = window->childAt(at);
    if (!target) target = window.get();
    const QPoint local = target->mapFrom(window.get(), at);
    QToolTip::showText(target->mapToGlobal(local), QStringLiteral("none"), window.get());
    QHelpEvent event(QEvent::ToolTip, local, target->mapToGlobal(local));
    QApplication::sendEvent(target, &event);
    return QToolTip::text().toStdString();
  }
  int progressRow() { return control<QFrame>(*window, "进度条")->geometry().center().y(); }

  TempDir tmp;
  ProgramObjects objects{ReadOptions()};
  std::unique_ptr<MainWindow> window;
  std::uint32_t stream = 0;
};

TEST_F(FaceGesturesOnWindow, TheWheelStepsTheVolumeAndShowsIt) {
  const QPoint cover(77, 80);
  ASSERT_FLOAT_EQ(objects.player.getVolume(), 1.0f);
  wheel(cover, 120);
  EXPECT_FLOAT_EQ(objects.player.getVolume(), 1.0f);
  EXPECT_EQ(QToolTip::text().toStdString(), "音量 100%");

  for (int i = 0; i < 3; ++i) wheel(cover, -120);
  EXPECT_NEAR(objects.player.getVolume(), 0.85, 1e-6);
  EXPECT_EQ(QToolTip::text().toStdString(), "音量 85%");

  // A fine wheel's half notches add up to one step.
  wheel(cover, 60);
  EXPECT_NEAR(objects.player.getVolume(), 0.85, 1e-6);
  wheel(cover, 60);
  EXPECT_NEAR(objects.player.getVolume(), 0.9, 1e-6);

  for (int i = 0; i < 25; ++i) wheel(QPoint(77, 200), -120);  // over the captions
  EXPECT_FLOAT_EQ(objects.player.getVolume(), 0.0f);
  EXPECT_EQ(QToolTip::text().toStdString(), "音量 0%");
}

TEST_F(FaceGesturesOnWindow, TheWheelOverAnOpenPanelLeavesTheVolume) {
  control<QFrame>(*window, "外形框2")->show();  // the settings panel over the face
  wheel(QPoint(77, 80), -120);
  EXPECT_FLOAT_EQ(objects.player.getVolume(), 1.0f);
}

TEST_F(FaceGesturesOnWindow, AClickOnTheProgressRowSeeksInProportion) {
  const double total = length();
  ASSERT_NEAR(total, 10.0, 0.2);
  const struct {
    int x;
    double fraction;
  } cases[] = {{77, 0.5}, {0, 0.0}, {38, 38.0 / 154}, {153, 153.0 / 154}};
  for (const auto& c : cases) {
    for (const int dy : {0, -3, 3}) {  // the bar is two pixels high; a margin makes it hittable
      press(QPoint(c.x, progressRow() + dy));
      EXPECT_NEAR(seconds(), total * c.fraction, 0.05) << c.x << "," << dy;
    }
  }
}

TEST_F(FaceGesturesOnWindow, ClicksAwayFromTheRowOrUnderAPanelDoNotSeek) {
  press(QPoint(77, progressRow()));
  const double before = seconds();
  ASSERT_GT(before, 4.0);
  press(QPoint(20, 100));                // on the cover
  press(QPoint(20, progressRow() + 8));  // below the row
  EXPECT_NEAR(seconds(), before, 0.05);
  control<QFrame>(*window, "外形框1")->show();  // the playlist square over the face
  press(QPoint(20, progressRow()));
  EXPECT_NEAR(seconds(), before, 0.05);
}

TEST_F(FaceGesturesOnWindow, TheTimesShowOnTheCoverAndAlongTheWholeProgressRow) {
  press(QPoint(77, progressRow()));  // half-way: the bar ends in the middle of the row
  window->playback().progressTick();
  const struct {
    QPoint at;
    const char* tip;
  } rows[] = {
      {{77, 80}, "00:05 / 00:10"},                  // the cover
      {{10, progressRow()}, "00:05 / 00:10"},       // the bar
      {{140, progressRow() + 3}, "00:05 / 00:10"},  // the row past the bar's end
      {{140, progressRow() + 9}, "none"},           // below the row
  };
  for (const auto& row : rows)
    EXPECT_EQ(restAt(row.at), row.tip) << row.at.x() << "," << row.at.y();
}

// A tip that shows the times goes on with them while the song plays on under it, wherever it
// was brought up.
TEST_F(FaceGesturesOnWindow, TheTimesTipMovesWhileShown) {
  for (const QPoint at : {QPoint(77, 80), QPoint(140, progressRow())}) {
    objects.player.setPosition(stream, objects.player.secondsToBytes(stream, 5.0));
    window->playback().progressTick();
    ASSERT_EQ(restAt(at), "00:05 / 00:10");
    objects.player.setPosition(stream, objects.player.secondsToBytes(stream, 8.0));
    window->playback().progressTick();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text().toStdString(), "00:08 / 00:10") << at.x() << "," << at.y();
  }
}

TEST_F(FaceGesturesOnWindow, WithNoSongAClickDoesNothing) {
  PlaybackControllerAccess::state(window->playback()).now.currentStream = 0;
  const std::int64_t before = objects.player.getPosition(stream);
  press(QPoint(77, progressRow()));
  EXPECT_EQ(objects.player.getPosition(stream), before);
  EXPECT_EQ(objects.player.getPosition(0), -1);
}

}  // namespace
}  // namespace lumora::test
