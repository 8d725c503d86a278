// Start-up, shutdown and the window's own handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "app/ProgramExit.h"
#include "desktop/MprisService.h"
#include "settings/PlayerMemory.h"
#include "settings/SettingsFile.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/MainWindowTestSupport.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

QFrame* panel(MainWindow& w, const char* name) { return control<QFrame>(w, name); }

TEST(MainWindowStartUp, SetsTheProgramValuesAndOpensTheDeviceOnce) {
  WindowFixture f;
  EXPECT_EQ(f.initCalls, 1);
  EXPECT_TRUE(f.boxes.empty());
  EXPECT_EQ(f.window->playback().state().playMode, "歌单模式");
  EXPECT_EQ(f.window->playback().state().now.currentTitle, "Lumora");
  const SquarePaging& browse = f.window->squareWidgets()->square().paging();
  EXPECT_EQ(browse.browseMode, "默认");
  EXPECT_EQ(browse.browseKeyword, "全部");
  EXPECT_EQ(browse.browseOffset, 0);
  EXPECT_EQ(f.window->windowTitle().toStdString(), "暂无播放");
}

TEST(MainWindowStartUp, FailedDeviceWarnsOnceAndStartUpGoesOn) {
  WindowFixture f(false);
  ASSERT_EQ(f.boxes.size(), 1u);
  EXPECT_EQ(f.boxes[0].text.toStdString(),
            "你的电脑声卡故障导致无法播放声音，可能是声卡驱动问题，重启电脑试试！");
  EXPECT_EQ(f.boxes[0].title.toStdString(), "声卡故障提示信息");
  EXPECT_EQ(f.boxes[0].icon, QMessageBox::Warning);
  EXPECT_EQ(f.owners[0], f.window.get());
  EXPECT_EQ(f.window->windowTitle().toStdString(), "暂无播放");
  EXPECT_NE(f.window->trayIcon(), nullptr);
  f.window->showAbout();
  EXPECT_EQ(f.boxes.size(), 2u);  // no second warning on later boxes
}

TEST(MainWindowStartUp, RealPlayerOpensTheNoSoundDevice) {
  // LUMORA_AUDIO_DEVICE=0 from the test environment: no box, and the device is released later.
  ProgramObjects objects{ReadOptions()};
  std::vector<MessageBoxRequest> boxes;
  {
    MainWindow window(
        objects, [&](QWidget*, const MessageBoxRequest& request) { boxes.push_back(request); });
    EXPECT_TRUE(boxes.empty());
  }
  EXPECT_FALSE(objects.player.free());  // already released by the destroy handler
}

TEST(MainWindowTray, PutsTheIconWithItsTooltip) {
  WindowFixture f;
  QSystemTrayIcon* tray = f.window->trayIcon();
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->toolTip().toStdString(), "Lumora");
  // Drawn at whatever size the tray asks for, in the screen's pixels.
  for (const int side : {16, 22, 48})
    EXPECT_EQ(tray->icon().pixmap(side, side).size(), QSize(side, side)) << side;
  EXPECT_EQ(tray->icon().pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
}

TEST(MainWindowTray, ActivationsMapToTheirOperations) {
  const std::pair<QSystemTrayIcon::ActivationReason, int> rows[] = {
      {QSystemTrayIcon::Trigger, 1},
      {QSystemTrayIcon::DoubleClick, 2},
      {QSystemTrayIcon::Context, 3},
      {QSystemTrayIcon::MiddleClick, 0},
      {QSystemTrayIcon::Unknown, 0}};
  for (auto [reason, operation] : rows)
    EXPECT_EQ(MainWindow::trayOperation(reason), operation) << reason;
}

TEST(MainWindowTray, OnlyTheContextOperationPopsUpTheMenu) {
  WindowFixture f;
  for (int operation : {1, 2, 0, 3}) {
    SCOPED_TRACE(operation);
    f.window->onTrayOperation(operation);
    EXPECT_EQ(f.window->menu()->isVisible(), operation == 3);
    f.window->menu()->hide();
  }
}

void rightPress(QWidget* target, QPoint at) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(target->mapToGlobal(at)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

TEST(MainWindowMenu, RightButtonOnTheFaceOrTheCoverPopsItUp) {
  WindowFixture f;
  f.window->show();
  struct Row {
    const char* target;  // nullptr: the window itself
    QPoint at;
    bool pops;
  };
  const Row rows[] = {{nullptr, QPoint(3, 228), true},
                      {"Pic", QPoint(70, 70), true},
                      {"歌曲名称", QPoint(10, 5), false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.target ? row.target : "window");
    QWidget* target = row.target ? control<QWidget>(*f.window, row.target) : f.window.get();
    rightPress(target, row.at);
    EXPECT_EQ(f.window->menu()->isVisible(), row.pops);
    f.window->menu()->hide();
  }
}

TEST(MainWindowMenu, AboutShowsTheTwoLineNotice) {
  WindowFixture f;
  f.window->menu()->findChild<QAction*>(QString::fromUtf8("关于"))->trigger();
  ASSERT_EQ(f.boxes.size(), 1u);
  const QStringList lines = f.boxes[0].text.split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Lumora By ")));
  EXPECT_GT(lines[0].size(), 10);
  EXPECT_FALSE(lines[1].isEmpty());
  EXPECT_FALSE(lines[1].contains('\n'));
  EXPECT_EQ(f.boxes[0].title.toStdString(), "信息：");
  EXPECT_EQ(f.boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(f.owners[0], f.window.get());
}

TEST(MainWindowPanels, ListAndSettingsAreNeverShownTogether) {
  struct Step {
    const char* button;
    bool squareShown;
    bool settingsShown;
  };
  const Step steps[] = {{"图形按钮_列表", true, false}, {"图形按钮_列表", false, false},
                        {"图形按钮_设置", false, true}, {"图形按钮_列表", true, false},
                        {"图形按钮_设置", false, true}, {"图形按钮_设置", false, false},
                        {"图形按钮_设置", false, true}};
  WindowFixture f;
  for (const Step& step : steps) {
    control<PictureButton>(*f.window, step.button)->click();
    EXPECT_EQ(!panel(*f.window, "外形框1")->isHidden(), step.squareShown) << step.button;
    EXPECT_EQ(!panel(*f.window, "外形框2")->isHidden(), step.settingsShown) << step.button;
  }
}

TEST(MainWindowPanels, ShownPanelCoversTheFaceButNotTheButtonRow) {
  WindowFixture f;
  f.window->show();
  auto coveredBy = [&](QPoint at, QWidget* cover) {
    QWidget* hit = f.window->childAt(at);
    return hit == cover || cover->isAncestorOf(hit);
  };
  QWidget* cover = control<QWidget>(*f.window, "Pic");
  EXPECT_TRUE(coveredBy(QPoint(77, 100), cover));
  for (const char* name : {"外形框1", "外形框2"}) {
    SCOPED_TRACE(name);
    QFrame* shown = panel(*f.window, name);
    shown->show();
    EXPECT_TRUE(coveredBy(QPoint(77, 100), shown));
    EXPECT_TRUE(coveredBy(QPoint(2, 175), shown));
    EXPECT_EQ(f.window->childAt(137, 244), control<QWidget>(*f.window, "图形按钮_退出"));
    shown->hide();
  }
}

TEST(MainWindowShutdown, EveryWayOutRunsTheDestroyHandlerOnce) {
  struct Way {
    const char* name;
    std::function<void(MainWindow&)> destroy;
  };
  const Way ways[] = {
      {"exit button", [](MainWindow& w) { control<PictureButton>(w, "图形按钮_退出")->click(); }},
      {"menu item",
       [](MainWindow& w) { w.menu()->findChild<QAction*>(QString::fromUtf8("退出"))->trigger(); }},
      {"window close", [](MainWindow& w) { w.close(); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    WindowFixture f;
    f.window->show();
    way.destroy(*f.window);
    EXPECT_FALSE(f.window->isVisible());
    EXPECT_EQ(f.freeCalls, 1);
    EXPECT_EQ(f.window->trayIcon(), nullptr);
    f.window.reset();
    EXPECT_EQ(f.freeCalls, 1);
  }
}

// Every road out while a message box is up, wired as the program wires its window: the destroy
// handler runs once, the settings and the state are written, the window is deleted (the box with
// it) and the event loop returns 0.
TEST(MainWindowShutdown, EveryRoadOutWithABoxOpenEndsTheLoopWithZeroAndWritesBothFiles) {
  struct Road {
    const char* name;
    std::function<void(MainWindow&)> take;
  };
  auto signal = [](int number) { return [number](MainWindow&) { std::raise(number); }; };
  const Road roads[] = {
      {"exit button", [](MainWindow& w) { control<PictureButton>(w, "图形按钮_退出")->click(); }},
      {"退出",
       [](MainWindow& w) { w.menu()->findChild<QAction*>(QString::fromUtf8("退出"))->trigger(); }},
      {"sleep timer", [](MainWindow& w) { control<QTimer>(w, "时钟_倒计时")->start(0); }},
      {"SIGTERM", signal(SIGTERM)},
      {"SIGINT, Ctrl+C", signal(SIGINT)},
      {"SIGHUP, the end of the session", signal(SIGHUP)},
      {"media-player Quit", [](MainWindow& w) { w.findChild<MprisService*>()->quit(); }},
  };
  QApplication::setQuitOnLastWindowClosed(false);
  for (const Road& road : roads) {
    SCOPED_TRACE(road.name);
    Options options = ReadOptions();
    options.ApiBaseAddress = "http://127.0.0.1:1";
    const auto settingsFile = SettingsFilePath(options.configHome);
    const auto stateFile = PlayerMemoryPath(options.stateHome);
    std::filesystem::remove(settingsFile);
    std::filesystem::remove(stateFile);
    ProgramObjects objects(options);
    int freed = 0;
    objects.audio.init = [] { return true; };
    objects.audio.free = [&] { return ++freed, true; };
    QPointer<MainWindow> window = new MainWindow(objects);
    endProgramWithWindow(window);
    window->show();
    bool boxUp = false;
    QTimer::singleShot(0, window, [&] { window->showAbout(); });
    QTimer::singleShot(0, window, [&] {
      boxUp = QApplication::activeModalWidget() != nullptr;
      road.take(*window);
    });
    QObject watchdog;
    QTimer::singleShot(10000, &watchdog, [] { QApplication::exit(3); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(boxUp);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(freed, 1);
    EXPECT_TRUE(std::filesystem::exists(settingsFile));
    EXPECT_TRUE(std::filesystem::exists(stateFile));
    delete window;
  }
  QApplication::setQuitOnLastWindowClosed(true);
}

TEST(MainWindowShutdown, DeletingAnOpenWindowStillRunsTheDestroyHandler) {
  WindowFixture f;
  f.window.reset();
  EXPECT_EQ(f.freeCalls, 1);
}

}  // namespace
}  // namespace lumora::test
