#include "app/SettingsWiring.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <string>

#include "app/LyricStyleWiring.h"
#include "app/ProgramObjects.h"
#include "settings/Autostart.h"
#include "settings/SettingsFile.h"
#include "widgets/ColourPicker.h"

namespace lumora {
namespace {

constexpr const char* kAutorunName = "Lumora";

}  // namespace

Settings collectSettings(const SettingsPanelControls& c) {
  Settings s;
  s.edgeHide = c.edgeHide->isChecked();
  s.preset = c.preset->currentIndex();
  s.fontFace = c.fontFace->currentIndex();
  s.bold = c.bold->isChecked();
  s.fontSize = c.fontSize->currentIndex();
  s.colour1 = c.colour1->colour();
  s.colour2 = c.colour2->colour();
  s.colour3 = c.colour3->colour();
  s.gradient = c.gradient->currentIndex();
  s.opacity = c.opacity->currentIndex();
  return s;
}

void putSettings(const Settings& s, const SettingsPanelControls& c) {
  // The style is applied once afterwards, not once per colour.
  const QSignalBlocker b1(c.colour1), b2(c.colour2), b3(c.colour3);
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

SettingsWiring::SettingsWiring(const SettingsPanelControls& controls, ProgramObjects& objects,
                               Notify notify, QObject* parent)
    : QObject(parent),
      controls_(controls),
      objects_(objects),
      notify_(std::move(notify)),
      style_(new LyricStyleWiring(controls, objects.desktopLyrics, this)) {
  const QString tip = QString::fromUtf8("开机自启动");
  controls_.autorun->setToolTip(tip);
  controls_.autorun->setAccessibleName(tip);
  controls_.autorunLabel->setToolTip(tip);
  connect(controls_.autorun, &QCheckBox::clicked, this, &SettingsWiring::onAutorunClicked);
}

// What the entry starts: the installed player when there is one on PATH (a build tree may be
// gone by the next login), and the server's address unless it is the default or ends with this
// session.
SettingsWiring::AutorunEntry SettingsWiring::autorunEntry() const {
  const QString installed = QStandardPaths::findExecutable(QStringLiteral("lumora"));
  const Options& options = objects_.options;
  const bool keepBase =
      !options.apiBaseTemporary && options.apiBaseAddress != Options{}.apiBaseAddress;
  return {installed.isEmpty() ? objects_.programPath : installed.toStdString(),
          keepBase ? options.apiBaseAddress : std::string()};
}

void SettingsWiring::reflectAutorun() {
  const AutorunEntry entry = autorunEntry();
  controls_.autorun->setChecked(
      refreshAutorun(objects_.options.configHome, kAutorunName, entry.program, entry.apiBase));
}

void SettingsWiring::applySavedSettings() {
  Settings settings = collectSettings(controls_);
  if (!ReadSettingsFile(SettingsFilePath(objects_.options.configHome), settings)) return;
  putSettings(settings, controls_);
  style_->ApplyLyricFont();
  style_->ApplyLyricColours();
}

void SettingsWiring::saveSettings() {
  WriteSettingsFile(SettingsFilePath(objects_.options.configHome), collectSettings(controls_));
}

void SettingsWiring::onAutorunClicked() {
  const bool set = controls_.autorun->isChecked();
  const AutorunEntry entry = autorunEntry();
  std::string why;
  if (setAutorun(objects_.options.configHome, kAutorunName, entry.program, entry.apiBase, !set,
                 false, &why)) {
    notify_(QString::fromUtf8(set ? "已设置开机启动" : "已取消开机启动"));
    return;
  }
  reflectAutorun();
  notify_(QString::fromUtf8(set ? "设置开机启动失败：" : "取消开机启动失败：") +
          QString::fromStdString(why));
}

}  // namespace lumora
