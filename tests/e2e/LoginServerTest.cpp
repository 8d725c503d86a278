// The login on the real main window against lumora-server, with the real player on the no-sound
// device: the menu item, personal FM for the account, the account's playlists in the square,
// logout.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <memory>

#include "app/MainWindow.h"
#include "login/LoginWindow.h"
#include "support/Controls.h"
#include "support/ServerProcess.h"
#include "support/TimerTicks.h"
#include "support/WaitFor.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

using namespace std::chrono_literals;

struct LoginWindowOnServer : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(server.start()) << server.errors();
    objects.options.ApiBaseAddress = server.baseUrl();
    window = std::make_unique<MainWindow>(objects, [](QWidget*, const MessageBoxRequest&) {});
    window->show();
  }

  bool pump(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    return waitFor(done, limit, [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
  }
  const MenuControls& menu() const { return window->controls().menu; }
  const PlaybackState& state() const { return window->playback().state(); }
  bool playing() {
    return objects.player.isActive(state().now.currentStream) == ChannelState::Playing;
  }
  // The logged requests whose target starts with prefix, once the server logged all sent so far.
  std::vector<std::string> requests(const std::string& prefix) {
    server.get("/settle");
    pump([&] { return !server.requestsTo("/settle").empty(); }, 5s);
    return server.requestsTo(prefix);
  }

  LoginWindow* openLogin() {
    menu().login->trigger();
    login = window->findChild<LoginWindow*>();
    return login;
  }

  void logIn(const char* phone) {
    ASSERT_NE(openLogin(), nullptr);
    control<QLineEdit>(*login, "编辑框1")->setText(QString::fromUtf8(phone));
    control<QLineEdit>(*login, "编辑框2")->setText("lumora123");
    control<PictureButton>(*login, "登录按钮")->click();
  }

  ServerProcess server;
  ProgramObjects objects{ReadOptions()};
  std::unique_ptr<MainWindow> window;
  QPointer<LoginWindow> login;
};

TEST_F(LoginWindowOnServer, TheMenuItemOpensTheModalWindowOverTheFace) {
  EXPECT_FALSE(menu().like->isVisible()) << "nothing to like before a login";
  ASSERT_NE(openLogin(), nullptr);
  EXPECT_TRUE(login->isVisible());
  EXPECT_TRUE(login->isModal());
  EXPECT_EQ(login->parentWidget(), window.get());
  menu().login->trigger();
  EXPECT_EQ(window->findChildren<LoginWindow*>().size(), 1) << "one window at a time";
}

TEST_F(LoginWindowOnServer, ALoginInPersonalFmStartsASongForTheAccount) {
  control<PictureButton>(*window, "图形按钮_私人FM")->click();
  ASSERT_EQ(state().playMode, kPersonalFmMode);
  logIn("13800000001");
  ASSERT_TRUE(pump([&] { return playing(); }, 10s));
  EXPECT_EQ(menu().login->text(), QString::fromUtf8("小鹿听歌"));
  EXPECT_TRUE(menu().like->isVisible());
  const auto fm = requests("/personal_fm");
  ASSERT_EQ(fm.size(), 1u);
  // The server's log hides the cookie's value; the account's song playing shows it was valid.
  EXPECT_FALSE(window->account().session().cookie.empty());
  EXPECT_EQ(fm[0].rfind("GET /personal_fm?cookie=-&timestamp=", 0), 0u) << fm[0];
  EXPECT_FALSE(state().now.currentSongId.empty());
}

TEST_F(LoginWindowOnServer, ALoginInPlaylistModeStartsNothing) {
  ASSERT_EQ(state().playMode, kPlaylistMode);
  logIn("13800000011");
  EXPECT_EQ(menu().login->text(), QString::fromUtf8("【VIP】夜莺"));
  // Whatever the login posted has run once a mark posted after it has, and the one ticker that
  // could start a song has ticked twice or rests.
  bool marked = false;
  QTimer::singleShot(0, window.get(), [&marked] { marked = true; });
  const TimerTicks autoPlay(control<QTimer>(*window, "时钟_自动播放"));
  EXPECT_TRUE(pump([&] { return marked && autoPlay.passedOrResting(2); }, 10s));
  EXPECT_FALSE(playing());
  EXPECT_TRUE(requests("/personal_fm").empty());
  EXPECT_TRUE(requests("/song/url").empty());
  EXPECT_TRUE(state().playlistQueue.empty());
}

TEST_F(LoginWindowOnServer, ThePlaylistsGoToTheSquareAndLogoutEndsTheLogin) {
  logIn("13800000001");
  const std::vector<std::string> ids = window->account().session().accountPlaylistIds;
  ASSERT_FALSE(ids.empty());
  control<PictureButton>(*login, "个人歌单")->click();
  pump([&] { return login.isNull(); }, 2s);
  EXPECT_TRUE(login.isNull()) << "closed";
  auto* list = control<QTreeWidget>(*window, "超级列表框1");
  ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(ids.size()));
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    EXPECT_EQ(list->topLevelItem(row)->text(1).toStdString(), ids[row]);
  EXPECT_TRUE(window->controls().square.frame->isVisible());

  ASSERT_NE(openLogin(), nullptr);
  control<PictureButton>(*login, "退出登录")->click();
  pump([&] { return login.isNull(); }, 2s);
  EXPECT_TRUE(login.isNull()) << "closed";
  EXPECT_EQ(menu().login->text(), QString::fromUtf8("登录"));
  EXPECT_FALSE(menu().like->isVisible());
  EXPECT_EQ(window->account().session().cookie, "");
  EXPECT_EQ(requests("/logout").size(), 1u);

  ASSERT_NE(openLogin(), nullptr);
  EXPECT_FALSE(control<QFrame>(*login, "外形框1")->isVisible());
}

// While the server holds the login back the window looks busy, a second click sends nothing, and
// the window closes at once; the answer still logs in, and the closed window goes afterwards.
TEST_F(LoginWindowOnServer, WhileTheLoginIsHeldBackTheWindowLooksBusyAndCloses) {
  ASSERT_TRUE(server.addDelay("/login/cellphone", 3000));
  ASSERT_NE(openLogin(), nullptr);
  control<QLineEdit>(*login, "编辑框1")->setText("13800000001");
  control<QLineEdit>(*login, "编辑框2")->setText("lumora123");
  struct {
    bool done = false, closed = false, unanswered = false;
  } seen;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (seen.done || !login || login->cursor().shape() != Qt::BusyCursor) return;
    seen.done = true;
    control<PictureButton>(*login, "登录按钮")->click();
    control<PictureButton>(*login, "图形按钮1")->click();
    seen.closed = !login->isVisible();
    seen.unanswered = server.requestsTo("/login").empty();
  });
  probe.start(20);
  QMetaObject::invokeMethod(control<PictureButton>(*login, "登录按钮"), "click",
                            Qt::QueuedConnection);
  ASSERT_TRUE(pump([&] { return seen.done && login.isNull(); }, 15s));
  EXPECT_TRUE(seen.closed);
  EXPECT_TRUE(seen.unanswered);
  EXPECT_EQ(menu().login->text(), QString::fromUtf8("小鹿听歌"));
  EXPECT_EQ(requests("/login/cellphone").size(), 1u);
}

// While the login is out, 标签3 says so; then it shows what the answer says, or, for an answer
// that says nothing (not JSON), the message it had before.
TEST_F(LoginWindowOnServer, TheMessageSaysTheLoginIsWaitingUntilTheAnswerIsShown) {
  const struct {
    const char* name;
    const char* password;
    bool garbage;
    const char* after;
  } cases[] = {
      {"refused", "wrong", false, "密码错误"},
      {"no answer worth reading", "lumora123", true, "密码错误"},
      {"logged in", "lumora123", false, "登录成功,请关闭窗口"},
  };
  ASSERT_NE(openLogin(), nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(server.clearFaults());
    // One fault per path: held back 600 ms, and for one case not JSON when it comes.
    const auto held = server.post("/__control/fault?path=%2Flogin%2Fcellphone&delay_ms=600" +
                                  std::string(c.garbage ? "&status=503&body=busy" : ""));
    ASSERT_TRUE(held && held->status == 200);
    control<QLineEdit>(*login, "编辑框1")->setText("13800000001");
    control<QLineEdit>(*login, "编辑框2")->setText(QString::fromUtf8(c.password));
    QLabel* message = control<QLabel>(*login, "标签3");
    QString whileWaiting;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      // The first look while busy: a login goes on to ask for the account's playlists, with
      // its answer already shown.
      if (whileWaiting.isEmpty() && login->cursor().shape() == Qt::BusyCursor)
        whileWaiting = message->text();
    });
    probe.start(20);
    QMetaObject::invokeMethod(control<PictureButton>(*login, "登录按钮"), "click",
                              Qt::QueuedConnection);
    ASSERT_TRUE(pump(
        [&] { return !whileWaiting.isEmpty() && login->cursor().shape() != Qt::BusyCursor; }, 15s));
    EXPECT_EQ(whileWaiting.toStdString(), kLoggingIn);
    EXPECT_EQ(message->text().toStdString(), c.after);
  }
}

}  // namespace
}  // namespace lumora::test
