#pragma once
// The settings panel: the one settings value, read from the file at start-up, kept up to date by
// the panel's controls, styling the desktop lyrics and written at exit; and the start-at-login
// box, which follows the autostart entry on disk instead.
#include <QObject>
#include <functional>
#include <string>

#include "settings/Settings.h"
#include "settingspanel/SettingsPanelControls.h"

namespace lumora {

class DesktopLyricsWindow;

// Where the settings go and what the autostart entry starts.
struct SettingsPlaces {
  std::string configHome;
  std::string programPath;
  // The server's address for the entry; empty: none.
  std::string apiBase;
};

class SettingsWiring : public QObject {
  Q_OBJECT
 public:
  using Notify = std::function<void(const QString& text)>;

  // `notify` shows a message box with the default title. `lyrics` outlives the wiring.
  SettingsWiring(const SettingsPanelControls& controls, DesktopLyricsWindow& lyrics,
                 SettingsPlaces places, Notify notify, QObject* parent);

  const Settings& settings() const { return settings_; }

  // Ticks the box when the autostart entry is in place, and brings the entry up to date.
  void reflectAutorun();
  // Makes the desktop lyrics window, hidden, in the style the value holds.
  void setUpDesktopLyrics();
  // The saved values into the value, the controls and the lyrics; nothing without a file.
  void applySavedSettings();
  // Writes the value; a failure is not reported.
  void saveSettings();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void connectControls();
  void showInControls();
  void ApplyLyricFont();
  void ApplyLyricColours();
  void applyPreset(int index);
  std::string autorunProgram() const;
  void onAutorunClicked();

  SettingsPanelControls controls_;
  DesktopLyricsWindow& lyrics_;
  const SettingsPlaces places_;
  Notify notify_;
  Settings settings_;
  // Italic and underline style the lyrics too but are not kept between runs.
  bool italic_ = false;
  bool underline_ = false;
};

}  // namespace lumora
