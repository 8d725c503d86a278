#pragma once
// Docking at the screen edge on the window: the box 选择框_侧边隐藏 (or a press on its label)
// switches it, and the timer 时钟_靠边 moves the window a step at a time.
#include <QObject>
#include <QSize>

class QCheckBox;
class QLabel;
class QTimer;
class QWidget;

namespace lumora {

class DockedPointerWatch;

class EdgeDockingTimer : public QObject {
 public:
  // Puts the window, of the face's size `face`, in the middle of the primary screen: opened in
  // a corner, the face would slide out of sight the moment it appears.
  EdgeDockingTimer(QWidget* window, QCheckBox* box, QLabel* label, QTimer* timer, QSize face);

  // The timer runs while the box is checked and a step can change something: started by the box
  // and by every move, resize or show of the window, it stops itself after a step that leaves
  // the window away from every edge.
  void align();
  // Shutdown: no docking step may run after the window is destroyed.
  void stop();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void step();

  QWidget* window_;
  QCheckBox* box_;
  QLabel* label_;
  QTimer* timer_;
  DockedPointerWatch* dockedWatch_;
  bool stopped_ = false;
};

}  // namespace lumora
