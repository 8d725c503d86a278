// The settings panel: its style controls restyle the desktop lyrics, its values survive a
// restart, and its start-at-login box follows the autostart entry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>

#include "common/TextCodec.h"
#include "lyrics/LyricStyle.h"
#include "settings/Autostart.h"
#include "settings/SettingsCipher.h"
#include "settings/SettingsFile.h"
#include "support/Controls.h"
#include "support/MainWindowTestSupport.h"
#include "support/TempDir.h"
#include "widgets/ColourPicker.h"

namespace lumora::test {
namespace {

namespace fs = std::filesystem;

Options optionsIn(const fs::path& configHome) {
  Options options = ReadOptions();
  options.configHome = configHome.string();
  return options;
}

// Picks an item the way the keyboard does, which is how a user's choice arrives.
void choose(QComboBox* combo, int index) {
  auto key = [&](Qt::Key k) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(combo, &press);
  };
  key(Qt::Key_Home);
  for (int i = 0; i < index; ++i) key(Qt::Key_Down);
  ASSERT_EQ(combo->currentIndex(), index);
}

void press(QWidget* widget) {
  QMouseEvent e(QEvent::MouseButtonPress, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &e);
}

struct Panel {
  explicit Panel(MainWindow& w)
      : preset(control<QComboBox>(w, "预设方案")),
        face(control<QComboBox>(w, "字体型号")),
        size(control<QComboBox>(w, "字体大小")),
        gradient(control<QComboBox>(w, "文字渐变")),
        opacity(control<QComboBox>(w, "透明度")),
        bold(control<QCheckBox>(w, "字体加粗")),
        italic(control<QCheckBox>(w, "字体倾斜")),
        underline(control<QCheckBox>(w, "字体下划线")),
        edgeHide(control<QCheckBox>(w, "选择框_侧边隐藏")),
        autorun(control<QCheckBox>(w, "选择框_开机自启")),
        edgeHideLabel(control<QLabel>(w, "透明标签2")),
        boldLabel(control<QLabel>(w, "透明标签1")),
        autorunLabel(control<QLabel>(w, "透明标签4")),
        colour1(control<ColourPicker>(w, "颜色选择器1")),
        colour2(control<ColourPicker>(w, "颜色选择器2")),
        colour3(control<ColourPicker>(w, "颜色选择器3")) {}
  QComboBox *preset, *face, *size, *gradient, *opacity;
  QCheckBox *bold, *italic, *underline, *edgeHide, *autorun;
  QLabel *edgeHideLabel, *boldLabel, *autorunLabel;
  ColourPicker *colour1, *colour2, *colour3;
};

const LyricsLook& look(WindowFixture& f) { return f.objects.desktopLyrics.look(); }
QImage shown(WindowFixture& f) { return f.objects.desktopLyrics.Handle()->image(); }

TEST(SettingsPanel, EveryChangeRestylesTheHiddenLyrics) {
  TempDir home;
  WindowFixture f(true, optionsIn(home.path()));
  Panel p(*f.window);
  ASSERT_TRUE(f.objects.desktopLyrics.Handle()->isHidden());
  struct Case {
    const char* what;
    std::function<void()> act;
    std::function<bool(const LyricsLook&)> holds;
  };
  const Case cases[] = {
      {"字体加粗", [&] { p.bold->click(); }, [](const LyricsLook& l) { return !l.font->bold(); }},
      {"字体型号", [&] { choose(p.face, 2); },
       [](const LyricsLook& l) { return l.font->family() == ChooseLyricsFontFamily("楷体"); }},
      {"字体大小", [&] { choose(p.size, 12); },
       [](const LyricsLook& l) { return l.font->pixelSize() == 70; }},
      {"颜色选择器1", [&] { p.colour1->setColour(0x0000FF); },
       [](const LyricsLook& l) { return l.fillColours[0] == qRgb(255, 0, 0); }},
      {"颜色选择器2", [&] { p.colour2->setColour(0x00FF00); },
       [](const LyricsLook& l) { return l.fillColours[1] == qRgb(0, 255, 0); }},
      // The outline alone changes; fill colours and mode stay as the controls show them.
      {"颜色选择器3", [&] { p.colour3->setColour(0xFF0000); },
       [](const LyricsLook& l) {
         return l.fillOutline == qRgb(0, 0, 255) && l.fillColours[0] == qRgb(255, 0, 0) &&
                l.fillColours[1] == qRgb(0, 255, 0) && l.fillMode == 1;
       }},
      {"文字渐变", [&] { choose(p.gradient, 2); },
       [](const LyricsLook& l) { return l.fillMode == 2; }},
  };
  for (const Case& c : cases) {
    const QImage before = shown(f);
    c.act();
    EXPECT_TRUE(c.holds(look(f))) << c.what;
    EXPECT_NE(shown(f), before) << c.what << " was not redrawn";
  }
}

// Colour at the top, middle and bottom of the drawn text, from pixels well inside the strokes
// (away from the outline and the edge smoothing), and how bright the first drawn pixels above
// the strokes are: the outline.
struct TextColours {
  QColor top, middle, bottom;
  int topEdgeLightness = 0;
};

TextColours textColours(const QImage& image) {
  auto alpha = [&](int x, int y) {
    return image.rect().contains(x, y) ? qAlpha(image.pixel(x, y)) : 0;
  };
  auto opaque = [&](int x, int y) { return alpha(x, y) == 255; };
  auto inside = [&](int x, int y) {
    return opaque(x, y) && opaque(x - 2, y) && opaque(x + 2, y) && opaque(x, y - 2) &&
           opaque(x, y + 2);
  };
  auto topEdge = [&](int x, int y) {
    return alpha(x, y) > 0 && alpha(x, y - 1) == 0 && inside(x, y + 3);
  };
  int first = image.height(), last = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (inside(x, y)) first = std::min(first, y), last = std::max(last, y);
  auto mean = [&](int from, int to, const std::function<bool(int, int)>& take) {
    double r = 0, g = 0, b = 0, n = 0;
    for (int y = std::max(0, from); y <= std::min(to, image.height() - 1); ++y)
      for (int x = 0; x < image.width(); ++x) {
        if (!take(x, y)) continue;
        const QColor c = QColor::fromRgba(image.pixel(x, y));
        r += c.red(), g += c.green(), b += c.blue(), n += 1;
      }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
  };
  const int band = std::max(1, (last - first) / 10);
  const int middle = (first + last) / 2;
  TextColours t;
  t.top = mean(first, first + band, inside);
  t.middle = mean(middle - band / 2, middle + band / 2, inside);
  t.bottom = mean(last - band, last, inside);
  t.topEdgeLightness = mean(first - 6, first + band, topEdge).lightness();
  return t;
}

double distance(const QColor& a, QRgb b) {
  const double dr = a.red() - qRed(b), dg = a.green() - qGreen(b), db = a.blue() - qBlue(b);
  return std::sqrt(dr * dr + dg * dg + db * db);
}

TEST(SettingsPanel, PresetsSetTheirRowAndDrawIt) {
  TempDir home;
  WindowFixture f(true, optionsIn(home.path()));
  Panel p(*f.window);
  choose(p.size, 12);  // large strokes leave pixels clear of the outline
  f.objects.desktopLyrics.SetText("国王回田");
  for (int row = 0; row < static_cast<int>(kLyricPresets.size()); ++row) {
    choose(p.preset, row);
    const LyricColours& c = kLyricPresets[static_cast<std::size_t>(row)];
    EXPECT_EQ(p.colour1->colour(), static_cast<std::uint32_t>(c.colour1)) << row;
    EXPECT_EQ(p.colour2->colour(), static_cast<std::uint32_t>(c.colour2)) << row;
    EXPECT_EQ(p.colour3->colour(), 0u) << row;
    EXPECT_EQ(p.gradient->currentIndex(), c.gradientMode) << row;
    EXPECT_EQ(look(f).fillColours[0], ColourRefToArgb(c.colour1)) << row;
    EXPECT_EQ(look(f).fillColours[1], ColourRefToArgb(c.colour2)) << row;
    EXPECT_EQ(look(f).fillMode, c.gradientMode) << row;
  }

  const QRgb purple = qRgb(144, 0, 255), pink = qRgb(255, 168, 255);
  choose(p.preset, 4);  // 浪漫紫
  EXPECT_EQ(p.gradient->currentText().toStdString(), "三色渐变");
  TextColours t = textColours(shown(f));
  EXPECT_LT(distance(t.top, purple), distance(t.top, pink));
  EXPECT_LT(distance(t.middle, pink), 60) << t.middle.name().toStdString();
  EXPECT_LT(distance(t.bottom, purple), distance(t.bottom, pink));

  const QRgb silver = qRgb(192, 192, 192), black = qRgb(0, 0, 0);
  choose(p.preset, 3);  // 酷炫黑
  t = textColours(shown(f));
  EXPECT_LT(distance(t.top, silver), distance(t.top, black)) << t.top.name().toStdString();
  EXPECT_LT(distance(t.bottom, black), distance(t.bottom, silver));
  EXPECT_GT(t.top.lightness(), t.middle.lightness());
  EXPECT_GT(t.middle.lightness(), t.bottom.lightness());
  // Above the silver top of the strokes lies the black outline.
  EXPECT_LT(t.topEdgeLightness + 50, t.top.lightness());
}

TEST(SettingsPanel, PressingTheBoldLabelTwiceComesBack) {
  TempDir home;
  WindowFixture f(true, optionsIn(home.path()));
  Panel p(*f.window);
  const QImage first = shown(f);
  press(p.boldLabel);
  EXPECT_FALSE(p.bold->isChecked());
  EXPECT_FALSE(look(f).font->bold());
  EXPECT_NE(shown(f), first);
  press(p.boldLabel);
  EXPECT_TRUE(p.bold->isChecked());
  EXPECT_EQ(shown(f), first);
}

TEST(SettingsPanel, TooltipsAndAccessibleNames) {
  TempDir home;
  WindowFixture f(true, optionsIn(home.path()));
  Panel p(*f.window);
  EXPECT_EQ(p.preset->toolTip().toStdString(), "歌词颜色预设方案");
  EXPECT_EQ(p.autorun->toolTip().toStdString(), "开机自启动");
  EXPECT_EQ(p.autorunLabel->toolTip().toStdString(), "开机自启动");
  for (QWidget* w :
       std::initializer_list<QWidget*>{p.autorun, p.bold, p.colour1, p.colour2, p.colour3})
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
}

TEST(SettingsPanel, ARunsChoicesComeBackInTheNextRun) {
  TempDir home;
  const Options options = optionsIn(home.path());
  {
    WindowFixture f(true, options);
    Panel p(*f.window);
    p.edgeHide->click();
    choose(p.preset, 4);
    choose(p.face, 2);
    p.bold->click();
    choose(p.size, 8);
    p.colour1->setColour(0x123456);
    p.colour2->setColour(0xABCDEF);
    p.colour3->setColour(0x0000FF);
    choose(p.gradient, 0);
    choose(p.opacity, 7);
    p.italic->setChecked(true);
    p.underline->setChecked(true);
  }
  WindowFixture f(true, options);
  Panel p(*f.window);
  EXPECT_FALSE(p.edgeHide->isChecked());
  EXPECT_EQ(p.preset->currentIndex(), 4);
  EXPECT_EQ(p.face->currentText().toStdString(), "楷体");
  EXPECT_FALSE(p.bold->isChecked());
  EXPECT_EQ(p.size->currentText().toStdString(), "50");
  EXPECT_EQ(p.colour1->colour(), 0x123456u);
  EXPECT_EQ(p.colour2->colour(), 0xABCDEFu);
  EXPECT_EQ(p.colour3->colour(), 0x0000FFu);
  EXPECT_EQ(p.gradient->currentIndex(), 0);
  EXPECT_EQ(p.opacity->currentIndex(), 7);
  // Not kept in the file.
  EXPECT_FALSE(p.italic->isChecked());
  EXPECT_FALSE(p.underline->isChecked());
  EXPECT_FALSE(p.autorun->isChecked());
  // The lyrics wear the saved style from the start.
  const LyricsLook& l = look(f);
  EXPECT_EQ(l.font->family(), ChooseLyricsFontFamily("楷体"));
  EXPECT_EQ(l.font->pixelSize(), 50);
  EXPECT_FALSE(l.font->bold());
  EXPECT_EQ(l.fillColours[0], ColourRefToArgb(0x123456));
  EXPECT_EQ(l.fillColours[1], ColourRefToArgb(0xABCDEF));
  EXPECT_EQ(l.fillOutline, ColourRefToArgb(0x0000FF));
  EXPECT_EQ(l.fillMode, 0);
}

TEST(SettingsPanel, NoFileOrABadFileKeepsTheDesignedValues) {
  TempDir home;
  const fs::path file = SettingsFilePath(home.path());
  for (const char* text : {"", "真|9|3|真|13|-1|16777216|0|3|12", "garbage"}) {
    if (*text) {
      fs::create_directories(file.parent_path());
      std::ofstream(file, std::ios::binary) << EncipherSettings(utf8ToGbk(text));
    }
    WindowFixture f(true, optionsIn(home.path()));
    Panel p(*f.window);
    EXPECT_EQ(p.preset->currentIndex(), 1) << text;
    EXPECT_EQ(p.face->currentIndex(), 0) << text;
    EXPECT_EQ(p.size->currentText().toStdString(), "30") << text;
    EXPECT_EQ(p.gradient->currentIndex(), 1) << text;
    EXPECT_EQ(p.opacity->currentIndex(), 2) << text;
    EXPECT_EQ(look(f).font->pixelSize(), 30) << text;
    // The start-up colours, or the file's colours cut to 24 bits.
    EXPECT_EQ(p.colour1->colour(), *text == 'g' || !*text ? 0xDD6F00u : 0xFFFFFFu) << text;
    EXPECT_EQ(p.colour2->colour(), *text == 'g' || !*text ? 0xFFFFFFu : 0u) << text;
    EXPECT_EQ(p.colour3->colour(), 0u) << text;
    f.window.reset();
    EXPECT_TRUE(f.boxes.empty());
    fs::remove(file);
  }
}

TEST(SettingsPanel, AnUnwritableConfigFolderIsNotReported) {
  TempDir home;
  std::ofstream(home.file("config")) << "a file, not a folder";
  WindowFixture f(true, optionsIn(home.path() / "config"));
  f.window.reset();
  EXPECT_TRUE(f.boxes.empty());
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The entry starts the player installed on PATH when there is one, else the running program.
TEST(SettingsPanel, TheAutorunBoxWritesThenRemovesTheEntry) {
  for (const bool installed : {false, true}) {
    SCOPED_TRACE(installed ? "a lumora on PATH" : "none on PATH");
    TempDir home;
    TempDir bin;
    const fs::path installedPlayer = bin.path() / "lumora";
    if (installed) {
      std::ofstream(installedPlayer) << "#!/bin/sh\n";
      fs::permissions(installedPlayer, fs::perms::owner_all);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.path().string()));
    Options options = optionsIn(home.path());
    options.ApiBaseAddress = "http://127.0.0.1:4711";
    WindowFixture f(true, options);
    Panel p(*f.window);
    const fs::path entry = AutostartEntryPath(home.path(), "Lumora");
    ASSERT_FALSE(p.autorun->isChecked());

    p.autorun->click();
    qputenv("PATH", path);
    ASSERT_EQ(f.boxes.size(), 1u);
    EXPECT_EQ(f.boxes[0].text.toStdString(), "已设置开机启动");
    EXPECT_EQ(f.boxes[0].title.toStdString(), "信息：");
    EXPECT_EQ(f.boxes[0].icon, QMessageBox::NoIcon);
    const std::string text = readAll(entry);
    EXPECT_NE(text.find("LUMORA_API_BASE=http://127.0.0.1:4711"), std::string::npos) << text;
    EXPECT_NE(text.find(installed ? installedPlayer.string() : f.objects.programPath),
              std::string::npos)
        << text;

    if (!installed) {
      // The next start finds the entry.
      WindowFixture again(true, options);
      EXPECT_TRUE(Panel(*again.window).autorun->isChecked());
    }

    p.autorun->click();
    ASSERT_EQ(f.boxes.size(), 2u);
    EXPECT_EQ(f.boxes[1].text.toStdString(), "已取消开机启动");
    EXPECT_FALSE(fs::exists(entry));
  }
}

TEST(SettingsPanel, AFailedAutorunWriteSaysSoAndUnticksTheBox) {
  TempDir home;
  std::ofstream(home.file("autostart")) << "a file where the folder should be";
  WindowFixture f(true, optionsIn(home.path()));
  Panel p(*f.window);
  p.autorun->click();
  EXPECT_FALSE(p.autorun->isChecked());
  ASSERT_EQ(f.boxes.size(), 1u);
  EXPECT_EQ(f.boxes[0].text.toStdString().rfind("设置开机启动失败：", 0), 0u)
      << f.boxes[0].text.toStdString();
}

// Whichever way a control changes (a pick, the label beside a box, a preset's row), the change
// reaches the file written at exit.
TEST(SettingsPanel, EachKindOfChangeIsSaved) {
  const struct {
    const char* what;
    std::function<void(Panel&)> act;
    const char* saved;
  } cases[] = {
      {"nothing", [](Panel&) {}, "真|1|0|真|4|14511872|16777215|0|1|2"},
      {"侧边隐藏 label", [](Panel& p) { press(p.edgeHideLabel); },
       "假|1|0|真|4|14511872|16777215|0|1|2"},
      {"加粗 label", [](Panel& p) { press(p.boldLabel); }, "真|1|0|假|4|14511872|16777215|0|1|2"},
      {"浪漫紫", [](Panel& p) { choose(p.preset, 4); }, "真|4|0|真|4|16711824|16754943|0|2|2"},
      {"size, face, opacity",
       [](Panel& p) {
         choose(p.size, 0);
         choose(p.face, 1);
         choose(p.opacity, 11);
       },
       "真|1|1|真|0|14511872|16777215|0|1|11"},
      {"outline, then 无渐变",
       [](Panel& p) {
         p.colour3->setColour(0x0000FF);
         choose(p.gradient, 0);
       },
       "真|1|0|真|4|14511872|16777215|255|0|2"},
  };
  for (const auto& c : cases) {
    TempDir home;
    {
      WindowFixture f(true, optionsIn(home.path()));
      Panel p(*f.window);
      c.act(p);
    }
    const std::string file = readAll(SettingsFilePath(home.path()));
    EXPECT_EQ(gbkToUtf8(DecipherSettings(file)), c.saved) << c.what;
  }
}

}  // namespace
}  // namespace lumora::test
