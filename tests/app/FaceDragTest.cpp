// The face moves when dragged by the cover or by its bare background; a click, a tremble within
// the drag distance, a press on a button or on the progress row moves nothing. The test platform
// has no window manager to hand the move to, so the window follows the pointer itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

#include "support/Controls.h"
#include "support/MainWindowTestSupport.h"

namespace lumora::test {
namespace {

// Sends a mouse event at a point of the window to whatever lies there, as a mouse would.
void mouse(MainWindow& window, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QWidget* target = window.childAt(at);
  if (!target) target = &window;
  const QPointF local = target->mapFrom(&window, QPointF(at));
  QMouseEvent event(type, local, target->mapToGlobal(local),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

TEST(FaceDrag, TheCoverAndTheBareFaceDragTheWindowAClickDoesNot) {
  WindowFixture f;
  MainWindow& w = *f.window;
  w.show();
  const QPoint bare(3, 200);
  ASSERT_EQ(w.childAt(bare), nullptr);
  ASSERT_EQ(w.childAt(QPoint(77, 80)), control<QLabel>(w, "Pic"));
  const struct {
    const char* name;
    QPoint at;
    QPoint by;  // pointer movement while held
    bool moves;
  } cases[] = {
      {"drag on the cover", {77, 80}, {40, 25}, true},
      {"drag on the bare face", bare, {-30, 50}, true},
      {"click on the cover", {77, 80}, {0, 0}, false},
      {"tremble within the drag distance", {77, 80}, {1, 1}, false},
      {"drag from the play button", {78, 173}, {40, 25}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    w.move(100, 100);
    mouse(w, QEvent::MouseButtonPress, c.at, Qt::LeftButton);
    // In steps, as a pointer goes; each position is relative to where the window is now.
    for (int step = 1; step <= 4; ++step) {
      const QPoint pointer = QPoint(100, 100) + c.at + c.by * step / 4 - w.pos();
      mouse(w, QEvent::MouseMove, pointer, Qt::LeftButton);
    }
    mouse(w, QEvent::MouseButtonRelease, QPoint(100, 100) + c.at + c.by - w.pos(), Qt::NoButton);
    EXPECT_EQ(w.pos(), c.moves ? QPoint(100, 100) + c.by : QPoint(100, 100));
  }
}

}  // namespace
}  // namespace lumora::test
