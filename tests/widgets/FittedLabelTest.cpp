// Long captions keep their first letters: smaller type first, then a cut at the end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImage>
#include <QToolTip>

#include "widgets/FittedLabel.h"

namespace lumora::test {
namespace {

TEST(FittedLabel, ShortTextKeepsItsFont) {
  QFont font;
  font.setPixelSize(14);
  const FittedText fitted = FitText(QStringLiteral("晴天"), font, 146, 10);
  EXPECT_EQ(fitted.text, QStringLiteral("晴天"));
  EXPECT_EQ(fitted.font.pixelSize(), 14);
}

TEST(FittedLabel, SlightlyLongTextShrinksButStaysWhole) {
  QFont font;
  font.setPixelSize(14);
  const QString line = QStringLiteral("We walk the long road home");
  const FittedText fitted = FitText(line, font, 146, 8);
  EXPECT_EQ(fitted.text, line);
  EXPECT_LT(fitted.font.pixelSize(), 14);
  EXPECT_LE(QFontMetrics(fitted.font).horizontalAdvance(fitted.text), 146);
}

TEST(FittedLabel, VeryLongTextIsCutAtTheEndNeverAtTheStart) {
  QFont font;
  font.setPixelSize(14);
  QString line = QStringLiteral("/e walk the long road home ");
  while (line.size() < 200) line += QStringLiteral("并且一直唱下去 ");
  const FittedText fitted = FitText(line, font, 146, 10);
  EXPECT_EQ(fitted.font.pixelSize(), 10);
  EXPECT_TRUE(fitted.text.startsWith(QStringLiteral("/e walk"))) << fitted.text.toStdString();
  EXPECT_TRUE(fitted.text.endsWith(QChar(0x2026)));
  EXPECT_LE(QFontMetrics(fitted.font).horizontalAdvance(fitted.text), 146);
}

// The rendered label draws its fitted, centred text: its ink begins inside the label, where the
// fitted text's first letter stands, rather than before the left edge.
TEST(FittedLabel, RendersTheFirstCharactersOfA200CharacterLine) {
  FittedLabel label(QString(200, QChar('W')));
  label.setGeometry(0, 0, 146, 18);
  label.setAlignment(Qt::AlignCenter);
  QPalette palette = label.palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  label.setPalette(palette);
  QImage image(label.size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  label.render(&image);
  int firstInk = -1;
  for (int x = 0; x < image.width() && firstInk < 0; ++x)
    for (int y = 0; y < image.height(); ++y)
      if (qGray(image.pixel(x, y)) < 128) {
        firstInk = x;
        break;
      }
  const FittedText fitted = FitText(label.text(), label.font(), 146, FittedLabel::kMinPixelSize);
  const int slack = (146 - QFontMetrics(fitted.font).horizontalAdvance(fitted.text)) / 2;
  ASSERT_GE(firstInk, 0);
  EXPECT_GE(firstInk, slack - 1);
  EXPECT_LE(firstInk, slack + 2);
}

// Hovering a cut caption shows it whole; a caption that fits needs no tooltip.
TEST(FittedLabel, ACutTextShowsWholeOnHover) {
  const QString cutText =
      QStringLiteral("连不上音乐服务器，稍后自动重试，") + QString(120, QChar('W'));
  const struct {
    QString text;
    QString tip;
  } cases[] = {{QStringLiteral("晴天"), QString()}, {cutText, cutText}};
  for (const auto& c : cases) {
    FittedLabel label(c.text);
    label.setGeometry(0, 0, 146, 18);
    label.show();
    QToolTip::hideText();
    QHelpEvent hover(QEvent::ToolTip, QPoint(10, 9), label.mapToGlobal(QPoint(10, 9)));
    QApplication::sendEvent(&label, &hover);
    EXPECT_EQ(label.cut(), !c.tip.isEmpty());
    EXPECT_EQ(QToolTip::text(), c.tip) << c.text.toStdString();
  }
  QToolTip::hideText();
}

}  // namespace
}  // namespace lumora::test
