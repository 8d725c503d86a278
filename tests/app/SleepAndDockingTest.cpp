// The sleep timer and the docking at the screen edge on the real window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "app/BehaviourWindowSupport.h"

namespace lumora::test {
namespace {

struct SleepCountdownOnWindow : ::testing::Test {
  BehaviourWindow w;
  MainWindow& window = *w.window;
  QComboBox* period = control<QComboBox>(window, "组合框_时间");
  QPushButton* confirm = control<QPushButton>(window, "设定倒计时");
  QTimer* countdown = control<QTimer>(window, "时钟_倒计时");
  QFrame* box = control<QFrame>(window, "信息框");

  void choose(const char* item) {
    w.item("定时关闭")->trigger();
    ASSERT_FALSE(box->isHidden());
    period->setCurrentIndex(period->findText(QString::fromUtf8(item)));
    confirm->click();
    EXPECT_TRUE(box->isHidden());
  }
  // Only a tooltip of its own shows in the menu; without one the item reads as its caption.
  std::string timeLeftTip() {
    w.item("定时关闭")->hover();
    return w.item("定时关闭")->toolTip().toStdString();
  }
  // The seconds of a "剩余 H:MM:SS" tip; -1 for any other text.
  long secondsLeft() {
    const QStringList clock =
        QString::fromStdString(timeLeftTip()).remove(QString::fromUtf8("剩余 ")).split(':');
    if (clock.size() != 3) return -1;
    return clock[0].toLong() * 3600 + clock[1].toLong() * 60 + clock[2].toLong();
  }
  // The tip tells the time left of a countdown of total seconds started since: never more, and
  // never less than the whole seconds gone by since, rounded up.
  void expectTimeLeft(long total, const QElapsedTimer& since) {
    const long left = secondsLeft();
    EXPECT_LE(left, total) << timeLeftTip();
    EXPECT_GE(left, total - (since.elapsed() + 999) / 1000) << timeLeftTip();
  }
};

TEST_F(SleepCountdownOnWindow, ConfirmCaptionForEveryItem) {
  ASSERT_EQ(period->count(), 10);
  EXPECT_EQ(period->currentIndex(), 0);
  EXPECT_EQ(confirm->text().toStdString(), "取消");
  for (int index : {3, 0, 1, 9, 5, 0, 2, 4, 6, 7, 8}) {
    period->setCurrentIndex(index);
    EXPECT_EQ(confirm->text().toStdString(), index == 0 ? "取消" : "确认设定") << index;
  }
  // Nothing selected leaves the caption.
  period->setCurrentIndex(-1);
  EXPECT_EQ(confirm->text().toStdString(), "确认设定");
}

TEST_F(SleepCountdownOnWindow, ConfirmStartsStopsAndShowsTheTimeLeft) {
  EXPECT_NE(timeLeftTip().rfind("剩余", 0), 0u);
  QElapsedTimer since;
  since.start();
  choose("10分钟后");
  EXPECT_TRUE(countdown->isActive());
  EXPECT_TRUE(countdown->isSingleShot());
  EXPECT_EQ(countdown->interval(), 600000);
  expectTimeLeft(600, since);

  since.restart();
  choose("1小时15分钟后");
  EXPECT_EQ(countdown->interval(), 4500000);
  expectTimeLeft(4500, since);

  // No selection leaves the countdown running.
  w.item("定时关闭")->trigger();
  period->setCurrentIndex(-1);
  confirm->click();
  EXPECT_TRUE(countdown->isActive());
  EXPECT_EQ(countdown->interval(), 4500000);

  choose("不开启");
  EXPECT_FALSE(countdown->isActive());
  EXPECT_NE(timeLeftTip().rfind("剩余", 0), 0u);
}

TEST_F(SleepCountdownOnWindow, MenuItemShowsAndHidesTheBox) {
  ASSERT_TRUE(box->isHidden());
  w.item("定时关闭")->trigger();
  EXPECT_FALSE(box->isHidden());
  w.item("定时关闭")->trigger();
  EXPECT_TRUE(box->isHidden());
}

// The countdown ends the program the way "退出" does: the destroy handler runs, the last window
// closes and the event loop returns 0. The ten minutes are cut short on the timer itself.
TEST_F(SleepCountdownOnWindow, AFiredCountdownEndsTheProgramWithStatusZero) {
  int freed = 0;
  w.objects.audio.free = [&] {
    ++freed;
    return true;
  };
  choose("10分钟后");
  countdown->start(50);
  QTimer::singleShot(10000, [] { QApplication::exit(3); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(freed, 1);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(countdown->isActive());
  EXPECT_FALSE(w.hotkeys->isActive());
}

struct EdgeDockingOnWindow : ::testing::Test {
  BehaviourWindow w;
  MainWindow& window = *w.window;
  QCheckBox* edgeHide = control<QCheckBox>(window, "选择框_侧边隐藏");
  QTimer* dock = control<QTimer>(window, "时钟_靠边");
  QRect screen = QGuiApplication::primaryScreen()->geometry();

  bool settlesAt(int top) {
    return w.pump([&] { return window.y() == screen.y() + top; });
  }
};

// In the middle of the screen one step clears always-on-top and the check rests until the window
// moves; at an edge it keeps running, and unchecking the box stops it wherever the window is.
TEST_F(EdgeDockingOnWindow, TimerRunsWhileTheBoxIsCheckedAndAStepCanMoveTheWindow) {
  EXPECT_FALSE(dock->isActive());
  edgeHide->click();
  EXPECT_TRUE(dock->isActive());
  EXPECT_EQ(dock->interval(), 10);
  ASSERT_TRUE(w.pump([&] { return !dock->isActive(); }));
  EXPECT_FALSE(w.onTop());
  EXPECT_EQ(window.pos(), QPoint(300, 200));

  QCursor::setPos(screen.x() + 700, screen.y() + 500);
  window.move(screen.x() - 3, screen.y() + 200);
  EXPECT_TRUE(dock->isActive());
  ASSERT_TRUE(w.pump([&] { return window.x() == screen.x() + 2 - 154; }));
  w.pump([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_TRUE(dock->isActive());
  edgeHide->click();
  EXPECT_FALSE(dock->isActive());
  window.move(screen.x() - 3, screen.y() + 210);
  EXPECT_FALSE(dock->isActive());
  edgeHide->click();
  EXPECT_TRUE(dock->isActive());
  edgeHide->click();

  // A left press on the box's label toggles it.
  QLabel* label = control<QLabel>(window, "透明标签2");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), label->mapToGlobal(QPointF(3, 3)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(label, &press);
  EXPECT_TRUE(edgeHide->isChecked());
  EXPECT_TRUE(dock->isActive());
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(3, 3), label->mapToGlobal(QPointF(3, 3)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(label, &right);
  EXPECT_TRUE(edgeHide->isChecked());

  // A restored setting brings the timer along too.
  edgeHide->setChecked(false);
  EXPECT_FALSE(dock->isActive());
}

TEST_F(EdgeDockingOnWindow, AWindowPastTheTopSlidesAwayAndComesBack) {
  const int left = screen.x() + 300;
  QCursor::setPos(screen.x() + 700, screen.y() + 500);
  window.move(left, screen.y() - 5);
  edgeHide->setChecked(true);
  ASSERT_TRUE(settlesAt(2 - 260));
  EXPECT_EQ(window.x(), left);
  EXPECT_TRUE(w.onTop());

  QCursor::setPos(left + 20, screen.y() + 1);
  ASSERT_TRUE(settlesAt(0));
  EXPECT_TRUE(w.onTop());

  // Away from every edge it is an ordinary window again.
  window.move(left, screen.y() + 100);
  ASSERT_TRUE(w.pump([&] { return !w.onTop(); }));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.y(), screen.y() + 100);
}

}  // namespace
}  // namespace lumora::test
