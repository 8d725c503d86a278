#pragma once
// A plain strip of one colour that paints itself in full: resizing it ten times a second repaints
// only the strip, not the window beneath it, and skips the style sheet.
#include <QColor>
#include <QFrame>

namespace lumora {

class ColourStrip : public QFrame {
  Q_OBJECT
 public:
  ColourStrip(QColor colour, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
};

}  // namespace lumora
