#pragma once
// Whether anything playback draws can be seen: the face in sight (see faceInSight) or the desktop
// lyrics shown. Told to its listener on each change, from the windows' own events, never polled.
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace lumora {

class FaceSight : public QObject {
 public:
  using Listener = std::function<void(bool seen)>;

  // `lyrics` may be null: the desktop lyrics could not be made.
  FaceSight(QWidget& face, QWidget* lyrics, Listener listener);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Events arrive before the window system's state settles; it is read once they are handled.
  void lookSoon();
  void look();

  QWidget& face_;
  QPointer<QWidget> lyrics_;
  QPointer<QObject> faceWindow_;
  Listener listener_;
  bool looking_ = false;
  bool seen_ = true;
};

}  // namespace lumora
