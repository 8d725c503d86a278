#include "app/LyricStyleWiring.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>

#include "lyrics/DesktopLyricsWindow.h"
#include "lyrics/LyricStyle.h"
#include "widgets/ColourPicker.h"

namespace lumora {

LyricStyleWiring::LyricStyleWiring(const SettingsPanelControls& controls,
                                   DesktopLyricsWindow& lyrics, QObject* parent)
    : QObject(parent), controls_(controls), lyrics_(lyrics) {
  const SettingsPanelControls& c = controls_;
  c.preset->setToolTip(QString::fromUtf8("歌词颜色预设方案"));
  // The pickers have no caption of their own; these are the panel's labels for them.
  c.colour1->setAccessibleName(QString::fromUtf8("文字颜色1"));
  c.colour2->setAccessibleName(QString::fromUtf8("文字颜色2"));
  c.colour3->setAccessibleName(QString::fromUtf8("文字边框"));
  c.bold->setAccessibleName(c.boldLabel->text());

  // `activated` is the user's choice; values put in from code apply through the routines.
  connect(c.fontFace, &QComboBox::activated, this, &LyricStyleWiring::ApplyLyricFont);
  connect(c.fontSize, &QComboBox::activated, this, &LyricStyleWiring::ApplyLyricFont);
  connect(c.bold, &QCheckBox::clicked, this, &LyricStyleWiring::ApplyLyricFont);
  for (ColourPicker* picker : {c.colour1, c.colour2, c.colour3}) {
    connect(picker, &ColourPicker::colourChanged, this, &LyricStyleWiring::ApplyLyricColours);
  }
  connect(c.gradient, &QComboBox::activated, this, &LyricStyleWiring::ApplyLyricColours);
  connect(c.preset, &QComboBox::activated, this, &LyricStyleWiring::applyPreset);
  c.boldLabel->installEventFilter(this);
}

void LyricStyleWiring::ApplyLyricFont() {
  const SettingsPanelControls& c = controls_;
  lyrics_.SetFont(c.fontFace->currentText(), c.fontSize->currentText().toInt(), c.bold->isChecked(),
                  c.italic->isChecked(), c.underline->isChecked());
  lyrics_.Redraw();
}

void LyricStyleWiring::ApplyLyricColours() {
  const SettingsPanelControls& c = controls_;
  lyrics_.SetFillColours(static_cast<int>(c.colour1->colour()),
                         static_cast<int>(c.colour2->colour()),
                         static_cast<int>(c.colour3->colour()), c.gradient->currentIndex());
  lyrics_.Redraw();
}

void LyricStyleWiring::applyPreset() {
  const SettingsPanelControls& c = controls_;
  const std::optional<LyricColours> preset = lyricPreset(c.preset->currentIndex());
  if (!preset) return;
  {
    // One redraw for the whole row rather than one per picker.
    const QSignalBlocker b1(c.colour1), b2(c.colour2), b3(c.colour3);
    c.colour1->setColour(static_cast<std::uint32_t>(preset->colour1));
    c.colour2->setColour(static_cast<std::uint32_t>(preset->colour2));
    c.colour3->setColour(static_cast<std::uint32_t>(preset->outline));
  }
  c.gradient->setCurrentIndex(preset->gradientMode);
  lyrics_.SetFillColours(preset->colour1, preset->colour2, preset->outline, preset->gradientMode);
  lyrics_.Redraw();
}

// 透明标签1 is the caption of 字体加粗: pressing it ticks the box like a click on the box would.
bool LyricStyleWiring::eventFilter(QObject* watched, QEvent* event) {
  if (watched == controls_.boldLabel && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    controls_.bold->setChecked(!controls_.bold->isChecked());
    ApplyLyricFont();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumora
