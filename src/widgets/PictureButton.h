#pragma once
// A flat button drawn from one SVG picture, with hover, pressed and checked looks.
#include <QAbstractButton>

#include "widgets/SvgPicture.h"

namespace lumora {

class PictureButton : public QAbstractButton {
  Q_OBJECT
 public:
  PictureButton(const QString& picture, QWidget* parent = nullptr);
  QString picture() const { return picture_; }
  int renderCount() const { return svg_.renderCount(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QString picture_;
  SvgPicture svg_;
  bool hovered_ = false;
};

}  // namespace lumora
