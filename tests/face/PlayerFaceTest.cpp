// What each write of the play modes does to the face's controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QTreeWidget>

#include "app/Fonts.h"
#include "app/PlaybackWiring.h"
#include "face/MainWindowControls.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/PictureBytes.h"
#include "support/PlaybackWindowSupport.h"
#include "widgets/FittedLabel.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

struct FaceTest : ::testing::Test {
  PlaybackWindow w;
  MainWindow& window = *w.window;
  FaceView& face = window.face();
};

TEST_F(FaceTest, CaptionsAndTitleAreWrittenAndReadBack) {
  face.setSongNameCaption("晴天");
  face.setArtistCaption("周杰伦,某人");
  face.setWindowTitle("暂停播放");
  EXPECT_EQ(control<QLabel>(window, "歌曲名称")->text().toStdString(), "晴天");
  EXPECT_EQ(control<QLabel>(window, "歌手名称")->text().toStdString(), "周杰伦,某人");
  EXPECT_EQ(window.windowTitle().toStdString(), "暂停播放");
}

TEST_F(FaceTest, CoverIsScaledToTheFaceAndFallsBackToTheDesignedPicture) {
  auto* pic = control<QLabel>(window, "Pic");
  const QImage designed = pic->pixmap().toImage();
  face.setCoverPicture(pictureBytes({40, 20}, Qt::red));
  QImage shown = pic->pixmap().toImage();
  EXPECT_EQ(shown.size(), QSize(155, 155));
  EXPECT_EQ(QColor(shown.pixel(77, 77)), QColor(Qt::red));

  for (const std::string& notAPicture : {std::string(), std::string("<html>404</html>")}) {
    face.setCoverPicture(pictureBytes({10, 10}, Qt::green));
    face.setCoverPicture(notAPicture);
    EXPECT_EQ(pic->pixmap().toImage(), designed) << notAPicture;
  }
}

TEST_F(FaceTest, PlayAndPauseButtonsFollowTheirFlags) {
  auto* play = control<PictureButton>(window, "图形按钮_播放");
  auto* pause = control<PictureButton>(window, "图形按钮_暂停");
  face.setPlayButtonVisible(false);
  face.setPauseButtonVisible(true);
  EXPECT_TRUE(play->isHidden());
  EXPECT_FALSE(pause->isHidden());
  face.setPlayButtonVisible(true);
  face.setPauseButtonVisible(false);
  EXPECT_FALSE(play->isHidden());
  EXPECT_TRUE(pause->isHidden());
}

TEST_F(FaceTest, ProgressBarWidthAndTimesTooltip) {
  auto* bar = control<QFrame>(window, "进度条");
  face.setProgressWidth(77);
  EXPECT_EQ(bar->geometry(), QRect(0, 155, 77, 2));
  face.setProgressWidth(-3);
  EXPECT_EQ(bar->width(), 0);
  face.setPlayTimes("01:05", "03:07");
  EXPECT_EQ(bar->toolTip().toStdString(), "01:05 / 03:07");
}

// The program's own texts are read whole where they are shown, in the faces the program starts
// with: none is cut at its end.
TEST_F(FaceTest, TheProgramsOwnTextsFitTheirLabels) {
  installFontFallbacks();
  auto* artist = control<FittedLabel>(window, "歌手名称");
  for (const char* text :
       {kServerUnreachable, kServerRefused, kFmNeedsLogin, kNoPlaylists, "歌曲下载中... 100%"}) {
    artist->setText(QString::fromUtf8(text));
    EXPECT_FALSE(artist->cut()) << text;
  }
  // The square's note, over its rows as they are laid out on the shown face, on one line.
  window.show();
  control<QFrame>(window, "外形框1")->show();
  QApplication::processEvents();
  auto* note = window.findChild<QLabel*>("emptySquareNote");
  ASSERT_NE(note, nullptr);
  for (const char* text : {SquareWidgets::kNothingToShow, SquareWidgets::kLoadFailed,
                           SquareWidgets::kLoadRefused, SquareWidgets::kLoading}) {
    EXPECT_LE(note->fontMetrics().horizontalAdvance(QString::fromUtf8(text)), note->width())
        << text;
  }
}

TEST_F(FaceTest, LikeBoxSquareAndFmButton) {
  auto* likeBox = control<QFrame>(window, "信息提示框");
  face.setLikeInfoVisible(true);
  EXPECT_FALSE(likeBox->isHidden());
  face.setLikeInfoVisible(false);
  EXPECT_TRUE(likeBox->isHidden());

  window.toggleSquare();
  face.hidePlaylistSquare();
  EXPECT_TRUE(control<QFrame>(window, "外形框1")->isHidden());

  auto* fm = control<PictureButton>(window, "图形按钮_私人FM");
  face.setFmButtonSelected(true);
  EXPECT_TRUE(fm->isChecked());
  face.setFmButtonSelected(false);
  EXPECT_FALSE(fm->isChecked());
}

TEST_F(FaceTest, SquareRowsComeFromTheSquaresOwnRows) {
  const SquareWidgets& square = *window.squareWidgets();
  EXPECT_EQ(square.rowCount(), 8);
  EXPECT_EQ(square.playlistIdAt(0), "p0");
  EXPECT_EQ(square.playlistIdAt(7), "p7");
  EXPECT_EQ(square.playlistIdAt(8), "");
  EXPECT_EQ(square.playlistIdAt(-1), "");
  // The list shows the same rows.
  auto* list = control<QTreeWidget>(window, "超级列表框1");
  ASSERT_EQ(list->topLevelItemCount(), 8);
  EXPECT_EQ(list->topLevelItem(7)->text(1).toStdString(), "p7");
}

TEST_F(FaceTest, LyricLinesGoToTheDesktopWindow) {
  const std::string lyric;
  DesktopLyricsFollower follower(w.objects.desktopLyrics,
                                 [&]() -> const std::string& { return lyric; });
  follower.lyricLineChanged("第一行");
  EXPECT_EQ(w.objects.desktopLyrics.look().text.toStdString(), "第一行");
  EXPECT_EQ(w.objects.desktopLyrics.look().highlightPercent, 0);
}

TEST_F(FaceTest, WithTheSweepOnEachTickLightsTheLineByItsTimeFraction) {
  const std::string lyric = "[00:10.00]一\\n[00:12.00]二\\n";
  DesktopLyricsWindow& lyrics = w.objects.desktopLyrics;
  DesktopLyricsFollower follower(lyrics, [&]() -> const std::string& { return lyric; });
  PlaybackPosition at;
  at.totalSeconds = 30;
  // One progress tick: the position, then the line when the second has one.
  const auto tick = [&](double seconds, const char* line) {
    at.seconds = seconds;
    follower.positionChanged(at);
    if (line) follower.lyricLineChanged(line);
    return lyrics.look().highlightPercent;
  };
  EXPECT_EQ(tick(11.0, "一"), 0);  // off by default
  follower.setSweep(true);
  const int rendersWhileHidden = lyrics.RenderCount();
  const struct {
    double seconds;
    const char* line;
    int percent;
  } rows[] = {{10.0, "一", 0},
              {11.0, nullptr, 50},
              {11.5, nullptr, 75},
              {12.0, "二", 0},
              {21.0, nullptr, 50}};
  for (const auto& row : rows) EXPECT_EQ(tick(row.seconds, row.line), row.percent) << row.seconds;
  EXPECT_EQ(lyrics.look().text.toStdString(), "二");
  EXPECT_EQ(lyrics.RenderCount(), rendersWhileHidden);  // nothing drawn while hidden
  follower.setSweep(false);
  EXPECT_EQ(lyrics.look().highlightPercent, 0);
}

TEST_F(FaceTest, LikeResultAndMessages) {
  face.setLikeResult("喜欢歌曲成功");
  EXPECT_EQ(control<QLabel>(window, "提示1")->text().toStdString(), "喜欢歌曲成功");
  face.showMessage("找不到歌单，ID是否错误！");
  ASSERT_EQ(w.boxes.size(), 1u);
  EXPECT_EQ(w.boxes[0].text.toStdString(), "找不到歌单，ID是否错误！");
  EXPECT_EQ(w.boxes[0].title.toStdString(), "信息：");
}

TEST(DesktopLyricsAtStart, IsCreatedHiddenGreetingAndStyledFromTheSettingsControls) {
  PlaybackWindow w;
  const DesktopLyricsWindow& lyrics = w.objects.desktopLyrics;
  ASSERT_TRUE(lyrics.IsCreated());
  ASSERT_NE(lyrics.Handle(), nullptr);
  EXPECT_TRUE(lyrics.Handle()->isHidden());
  EXPECT_TRUE(lyrics.Handle()->hitMove);
  EXPECT_TRUE(lyrics.Handle()->noClose);
  const LyricsLook& look = lyrics.look();
  EXPECT_EQ(look.text.toStdString(), "欢迎进入Lumora");
  EXPECT_EQ(look.fillColours[0], ColourRefToArgb(0xDD6F00));
  EXPECT_EQ(look.fillColours[1], ColourRefToArgb(0xFFFFFF));
  EXPECT_EQ(look.fillOutline, ColourRefToArgb(0x000000));
  EXPECT_EQ(look.fillMode, 1);
  // The designed selections: 微软雅黑 (or its stand-in), 30, bold, no italic, no underline.
  ASSERT_TRUE(look.font.has_value());
  const QString family =
      ChooseLyricsFontFamily(control<QComboBox>(*w.window, "字体型号")->currentText());
  EXPECT_EQ(look.font->family(), family);
  EXPECT_EQ(look.font->pixelSize(), 30);
  EXPECT_TRUE(look.font->bold());
  EXPECT_FALSE(look.font->italic());
  EXPECT_FALSE(look.font->underline());
}

}  // namespace
}  // namespace lumora::test
