// The form's Windows face names stand for installed faces of the same style.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QImage>
#include <QProcess>

#include "lyrics/DesktopLyricsWindow.h"
#include "lyrics/LyricStyle.h"

namespace lumora::test {
namespace {

// The set-up installs one face of each style.
TEST(LyricStyle, EachFormFaceDrawsInAnInstalledFaceOfItsStyle) {
  struct Case {
    const char* designed;
    const char* installed;
  };
  const Case cases[] = {
      {"微软雅黑", "WenQuanYi Micro Hei"},
      {"黑体", "WenQuanYi Zen Hei"},
      {"楷体", "AR PL UKai CN"},
  };
  DesktopLyricsWindow lyrics([] { return QRect(0, 0, 800, 600); });
  ASSERT_TRUE(lyrics.Create(600, 150));
  lyrics.SetText("欢迎进入Lumora");
  std::vector<QImage> images;
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLyricsFontFamily(c.designed).toStdString(), c.installed);
    lyrics.SetFont(c.designed, 40, true, false, false);
    lyrics.Redraw();
    images.push_back(lyrics.Handle()->image());
  }
  EXPECT_NE(images[0], images[1]);
  EXPECT_NE(images[1], images[2]);
  EXPECT_NE(images[0], images[2]);
}

TEST(LyricStyle, AMissingFaceFallsThroughTheListToAStandIn) {
  // 宋体's stand-ins are not installed here; the list goes on with 微软雅黑 first.
  if (QFontDatabase::families().contains("AR PL UMing CN")) GTEST_SKIP();
  EXPECT_EQ(ChooseLyricsFontFamily("宋体").toStdString(), "WenQuanYi Micro Hei");
  EXPECT_EQ(ChooseLyricsFontFamily("No Such Face").toStdString(), "WenQuanYi Micro Hei");
}

// A Chinese desktop lists the faces by their Chinese names; the form's faces find the same
// stand-ins there, so the two tests above run again in a process of that locale.
TEST(LyricStyle, FacesAreFoundByAnyOfTheirNamesInAChineseLocale) {
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("LC_ALL");
  env.insert("LANG", "zh_CN.UTF-8");
  env.insert("LANGUAGE", "zh_CN");
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=LyricStyle.EachFormFace*:LyricStyle.AMissingFace*"});
  ASSERT_TRUE(child.waitForFinished(120000));
  EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
}

TEST(LyricStyle, PresetsAreAddressedByTheirIndexOnly) {
  EXPECT_FALSE(lyricPreset(-1));
  EXPECT_FALSE(lyricPreset(6));
  EXPECT_EQ(lyricPreset(4)->colour1, 0xFF0090);
  EXPECT_EQ(lyricPreset(4)->gradientMode, 2);
}

}  // namespace
}  // namespace lumora::test
