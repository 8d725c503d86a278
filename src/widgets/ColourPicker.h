#pragma once
// A colour swatch that opens the colour dialog. The value is kept as 0x00BBGGRR, the form the
// settings file and the lyric style store.
#include <QPushButton>
#include <cstdint>

namespace lumora {

class ColourPicker : public QPushButton {
  Q_OBJECT
 public:
  explicit ColourPicker(QWidget* parent = nullptr);
  std::uint32_t colour() const { return colour_; }
  void setColour(std::uint32_t bgr);
  static QColor toQColor(std::uint32_t bgr);
  static std::uint32_t fromQColor(const QColor& colour);

 signals:
  void colourChanged(std::uint32_t bgr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void choose();
  std::uint32_t colour_ = 0;
};

}  // namespace lumora
