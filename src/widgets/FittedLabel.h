#pragma once
// A one-line label that never loses the start of its text: a caption too wide for the label is
// drawn in a smaller font, down to a readable size, and only then cut at its end with "…"; the
// cut text shows in full as the label's tooltip.
#include <QFont>
#include <QLabel>
#include <QString>

namespace lumora {

struct FittedText {
  QFont font;
  QString text;
};

// How `text` is drawn in `width` pixels, starting from `font` and shrinking it no further than
// `minPixelSize`.
FittedText FitText(const QString& text, const QFont& font, int width, int minPixelSize);

class FittedLabel : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kMinPixelSize = 10;

  explicit FittedLabel(const QString& text, QWidget* parent = nullptr);

  // Whether the text is cut at its current width.
  bool cut() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace lumora
