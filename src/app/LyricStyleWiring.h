#pragma once
// The settings panel's lyric style controls: every change restyles the desktop lyrics at once
// and redraws them, shown or hidden.
#include <QObject>

#include "face/MainWindowControls.h"

namespace lumora {

class DesktopLyricsWindow;

class LyricStyleWiring : public QObject {
  Q_OBJECT
 public:
  LyricStyleWiring(const SettingsPanelControls& controls, DesktopLyricsWindow& lyrics,
                   QObject* parent);

  // Font face, size, bold, italic and underline from the controls.
  void ApplyLyricFont();
  // The three colours and the gradient mode from the controls.
  void ApplyLyricColours();
  // The 预设方案 row's colours into the pickers and 文字渐变, and onto the lyrics.
  void applyPreset();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  SettingsPanelControls controls_;
  DesktopLyricsWindow& lyrics_;
};

}  // namespace lumora
