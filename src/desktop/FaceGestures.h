#pragma once
// Volume and seeking on the face, with no control of their own: the mouse wheel over the face
// steps the volume by 5 % (shown for a moment as the face's tooltip), and a click on the row of
// the progress bar 进度条 seeks to that point of the song; resting there shows the bar's times.
#include <QObject>
#include <QPoint>
#include <QString>
#include <vector>

#include "face/MainWindowControls.h"

namespace lumora {

class Transport;

inline constexpr int kVolumeStepPercent = 5;
inline constexpr int kVolumeShownMs = 1500;

// The volume `notches` steps of the wheel away, on the 5 % grid, within 0..1.
double SteppedVolume(double volume, int notches);
// What the face says about a volume: "音量 55%".
QString VolumeText(double volume);

class FaceGestures : public QObject {
 public:
  // `overlays` are the boxes and panels laid over the face; over them the face is not touched.
  FaceGestures(QWidget* window, const FaceControls& face, std::vector<QWidget*> overlays,
               Transport& transport);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool onFace(QPoint windowPos) const;
  bool onProgressRow(QPoint windowPos) const;
  void turnWheel(int angleDelta, QPoint globalPos);

  QWidget* window_;
  FaceControls face_;
  std::vector<QWidget*> overlays_;
  Transport& transport_;
  // Eighths of a degree not yet worth a whole notch (fine-grained wheels and touchpads).
  int pendingAngle_ = 0;
};

}  // namespace lumora
