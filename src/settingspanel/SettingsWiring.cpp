#include "settingspanel/SettingsWiring.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <utility>

#include "lyrics/DesktopLyricsWindow.h"
#include "settings/Autostart.h"
#include "settings/SettingsFile.h"
#include "widgets/ColourPicker.h"

namespace lumora {
namespace {

constexpr const char* kAutorunName = "Lumora";

}  // namespace

SettingsWiring::SettingsWiring(const SettingsPanelControls& controls, DesktopLyricsWindow& lyrics,
                               SettingsPlaces places, Notify notify, QObject* parent)
    : QObject(parent),
      controls_(controls),
      lyrics_(lyrics),
      places_(std::move(places)),
      notify_(std::move(notify)) {
  const SettingsPanelControls& c = controls_;
  const QString tip = QString::fromUtf8("开机自启动");
  c.autorun->setToolTip(tip);
  c.autorun->setAccessibleName(tip);
  c.autorunLabel->setToolTip(tip);
  c.preset->setToolTip(QString::fromUtf8("歌词颜色预设方案"));
  // The pickers have no caption of their own; these are the panel's labels for them.
  c.colour1->setAccessibleName(QString::fromUtf8("文字颜色1"));
  c.colour2->setAccessibleName(QString::fromUtf8("文字颜色2"));
  c.colour3->setAccessibleName(QString::fromUtf8("文字边框"));
  c.bold->setAccessibleName(c.boldLabel->text());
  showInControls();
  connectControls();
  c.boldLabel->installEventFilter(this);
}

// Each control changes its field of the value; a style field restyles the lyrics at once and
// redraws them, shown or hidden.
void SettingsWiring::connectControls() {
  const SettingsPanelControls& c = controls_;
  Settings& s = settings_;
  connect(c.edgeHide, &QCheckBox::toggled, this, [&s](bool on) { s.edgeHide = on; });
  connect(c.opacity, &QComboBox::currentIndexChanged, this, [&s](int index) { s.opacity = index; });
  // A pick of the same preset again puts its row back over colours chosen since.
  connect(c.preset, &QComboBox::activated, this, &SettingsWiring::applyPreset);
  connect(c.fontFace, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.fontFace = index;
    ApplyLyricFont();
  });
  connect(c.fontSize, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.fontSize = index;
    ApplyLyricFont();
  });
  connect(c.bold, &QCheckBox::toggled, this, [this](bool on) {
    settings_.bold = on;
    ApplyLyricFont();
  });
  // Hidden and without events of their own: their states only travel with the next font.
  connect(c.italic, &QCheckBox::toggled, this, [this](bool on) { italic_ = on; });
  connect(c.underline, &QCheckBox::toggled, this, [this](bool on) { underline_ = on; });
  for (auto [picker, field] :
       {std::pair{c.colour1, &Settings::colour1}, std::pair{c.colour2, &Settings::colour2},
        std::pair{c.colour3, &Settings::colour3}}) {
    connect(picker, &ColourPicker::colourChanged, this, [this, field](std::uint32_t colour) {
      settings_.*field = colour;
      ApplyLyricColours();
    });
  }
  connect(c.gradient, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.gradient = index;
    ApplyLyricColours();
  });
  connect(c.autorun, &QCheckBox::clicked, this, &SettingsWiring::onAutorunClicked);
}

// The style controls are silenced: the caller styles the lyrics once for the whole value.
void SettingsWiring::showInControls() {
  const SettingsPanelControls& c = controls_;
  const Settings s = settings_;
  const QSignalBlocker b1(c.preset), b2(c.fontFace), b3(c.bold), b4(c.fontSize), b5(c.colour1),
      b6(c.colour2), b7(c.colour3), b8(c.gradient);
  c.edgeHide->setChecked(s.edgeHide);
  c.preset->setCurrentIndex(s.preset);
  c.fontFace->setCurrentIndex(s.fontFace);
  c.bold->setChecked(s.bold);
  c.fontSize->setCurrentIndex(s.fontSize);
  c.colour1->setColour(s.colour1);
  c.colour2->setColour(s.colour2);
  c.colour3->setColour(s.colour3);
  c.gradient->setCurrentIndex(s.gradient);
  c.opacity->setCurrentIndex(s.opacity);
}

void SettingsWiring::setUpDesktopLyrics() {
  setUpDesktopLyricsAtStartup(lyrics_, QString::fromUtf8(kFontFaceNames[settings_.fontFace]),
                              kFontSizes[settings_.fontSize], settings_.bold, italic_, underline_);
}

void SettingsWiring::applySavedSettings() {
  if (!ReadSettingsFile(SettingsFilePath(places_.configHome), settings_)) return;
  showInControls();
  ApplyLyricFont();
  ApplyLyricColours();
}

void SettingsWiring::saveSettings() {
  WriteSettingsFile(SettingsFilePath(places_.configHome), settings_);
}

void SettingsWiring::ApplyLyricFont() {
  lyrics_.SetFont(QString::fromUtf8(kFontFaceNames[settings_.fontFace]),
                  kFontSizes[settings_.fontSize], settings_.bold, italic_, underline_);
  lyrics_.Redraw();
}

void SettingsWiring::ApplyLyricColours() {
  lyrics_.SetFillColours(static_cast<int>(settings_.colour1), static_cast<int>(settings_.colour2),
                         static_cast<int>(settings_.colour3), settings_.gradient);
  lyrics_.Redraw();
}

void SettingsWiring::applyPreset(int index) {
  const std::optional<LyricColours> preset = lyricPreset(index);
  settings_.preset = index;
  if (!preset) return;
  settings_.colour1 = static_cast<std::uint32_t>(preset->colour1);
  settings_.colour2 = static_cast<std::uint32_t>(preset->colour2);
  settings_.colour3 = static_cast<std::uint32_t>(preset->outline);
  settings_.gradient = preset->gradientMode;
  showInControls();
  ApplyLyricColours();
}

// What the entry starts: the installed player when there is one on PATH (a build tree may be
// gone by the next login).
std::string SettingsWiring::autorunProgram() const {
  const QString installed = QStandardPaths::findExecutable(QStringLiteral("lumora"));
  return installed.isEmpty() ? places_.programPath : installed.toStdString();
}

void SettingsWiring::reflectAutorun() {
  controls_.autorun->setChecked(
      refreshAutorun(places_.configHome, kAutorunName, autorunProgram(), places_.apiBase));
}

void SettingsWiring::onAutorunClicked() {
  const bool set = controls_.autorun->isChecked();
  std::string why;
  if (setAutorun(places_.configHome, kAutorunName, autorunProgram(), places_.apiBase,
                 {.remove = !set}, &why)) {
    notify_(QString::fromUtf8(set ? "已设置开机启动" : "已取消开机启动"));
    return;
  }
  reflectAutorun();
  notify_(QString::fromUtf8(set ? "设置开机启动失败：" : "取消开机启动失败：") +
          QString::fromStdString(why));
}

// 透明标签1 is the caption of 字体加粗: pressing it ticks the box like a click on the box would.
bool SettingsWiring::eventFilter(QObject* watched, QEvent* event) {
  if (watched == controls_.boldLabel && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    controls_.bold->toggle();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora
