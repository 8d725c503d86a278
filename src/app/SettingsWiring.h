#pragma once
// The settings panel's stored values and its start-at-login box: read back at start-up, written
// at exit, the box following the autostart entry on disk.
#include <QObject>
#include <functional>
#include <string>

#include "face/MainWindowControls.h"
#include "settings/Settings.h"

namespace lumora {

class LyricStyleWiring;
struct ProgramObjects;

// The ten stored values as the controls hold them.
Settings collectSettings(const SettingsPanelControls& controls);
// Puts the values into the controls. The lyric style controls answer only the user's choices,
// so nothing is restyled until the caller applies the style.
void putSettings(const Settings& settings, const SettingsPanelControls& controls);

class SettingsWiring : public QObject {
  Q_OBJECT
 public:
  using Notify = std::function<void(const QString& text)>;

  // `notify` shows a message box with the default title.
  SettingsWiring(const SettingsPanelControls& controls, ProgramObjects& objects, Notify notify,
                 QObject* parent);

  LyricStyleWiring& style() { return *style_; }

  // Ticks the box when the autostart entry is in place, and brings the entry up to date.
  void reflectAutorun();
  // Puts the saved values into the controls and styles the desktop lyrics from them.
  void applySavedSettings();
  // Writes the controls' values; a failure is not reported.
  void saveSettings();

 private:
  struct AutorunEntry {
    std::string program;
    std::string apiBase;  // empty: none in the entry
  };
  AutorunEntry autorunEntry() const;
  void onAutorunClicked();

  SettingsPanelControls controls_;
  ProgramObjects& objects_;
  Notify notify_;
  LyricStyleWiring* style_;
};

}  // namespace lumora
