// The login window's widgets over the real flow and lumora-server: the designed controls, the
// handlers reached by clicks, presses and keys, and screenshots of what a user sees.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "LoginFlowSupport.h"
#include "login/LoginWindow.h"
#include "support/Controls.h"
#include "support/TempDir.h"
#include "widgets/PictureButton.h"

namespace lumora::test {
namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

class LoginWindowTest : public LoginFlowTest {
 protected:
  void SetUp() override {
    LoginFlowTest::SetUp();
    owner.resize(154, 260);
    owner.show();
    open();
  }

  void open() {
    login = new LoginWindow(flow, &owner);
    login->show();
    login->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(login));
  }

  template <class T>
  T* find(const char* name) const {
    return control<T>(*login, name);
  }
  QLineEdit* account() const { return find<QLineEdit>("编辑框1"); }
  QLineEdit* password() const { return find<QLineEdit>("编辑框2"); }
  QString message() const { return find<QLabel>("标签3")->text(); }
  bool panelShown() const { return find<QFrame>("外形框1")->isVisible(); }

  // Clicks into a box (which empties it) and types.
  void type(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClicks(box, text);
  }

  void shoot(const char* name) {
    const QString dir = QString::fromStdString((buildDir() / "screenshots").string());
    QDir().mkpath(dir);
    EXPECT_TRUE(login->grab().save(dir + "/login-" + name + ".png"));
  }

  QWidget owner;
  QPointer<LoginWindow> login;
};

TEST_F(LoginWindowTest, HoldsTheDesignedControls) {
  EXPECT_EQ(login->size(), QSize(318, 238));
  EXPECT_TRUE(login->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(login->isModal());
  EXPECT_EQ(login->parentWidget(), &owner);
  EXPECT_FALSE(login->mask().contains(QPoint(0, 0))) << "the corners are cut";
  EXPECT_TRUE(login->mask().contains(QPoint(1, 1)));

  const struct {
    const char* name;
    const char* caption;
  } labels[] = {{"透明标签1", "登录窗口"}, {"透明标签2", "手机号："}, {"透明标签3", "密码："},
                {"透明标签5", "手机号"},   {"透明标签6", "邮箱"},     {"标签3", ""},
                {"透明标签4", ""}};
  for (const auto& l : labels) {
    ASSERT_NE(find<QLabel>(l.name), nullptr) << l.name;
    EXPECT_EQ(find<QLabel>(l.name)->text(), utf8(l.caption)) << l.name;
  }
  ASSERT_NE(find<QLabel>("图片框1"), nullptr);
  EXPECT_TRUE(find<QRadioButton>("单选框1")->isChecked());
  EXPECT_FALSE(find<QRadioButton>("单选框2")->isChecked());
  EXPECT_EQ(find<QRadioButton>("单选框1")->accessibleName(), utf8("手机号"));
  EXPECT_EQ(find<QRadioButton>("单选框2")->accessibleName(), utf8("邮箱"));
  EXPECT_EQ(account()->text(), utf8(kPhonePrompt));
  EXPECT_EQ(password()->text(), utf8(kPasswordPrompt));
  EXPECT_FALSE(account()->hasFocus()) << "the prompt would vanish at once";
  for (const char* name : {"登录按钮", "个人歌单", "退出登录", "图形按钮1"}) {
    ASSERT_NE(find<PictureButton>(name), nullptr) << name;
    EXPECT_FALSE(find<PictureButton>(name)->toolTip().isEmpty()) << name;
  }
  EXPECT_EQ(find<QFrame>("外形框1")->x(), 26);
  EXPECT_FALSE(panelShown());
  shoot("empty-form");
}

TEST_F(LoginWindowTest, TheLabelsSwitchModesAndThePhoneBoxTakesDigitsOnly) {
  type(account(), "ab12c3");
  EXPECT_EQ(account()->text(), "123");

  QTest::mouseClick(find<QLabel>("透明标签6"), Qt::LeftButton);
  EXPECT_TRUE(find<QRadioButton>("单选框2")->isChecked());
  EXPECT_FALSE(find<QRadioButton>("单选框1")->isChecked());
  EXPECT_EQ(find<QLabel>("透明标签2")->text(), utf8("邮箱："));
  EXPECT_EQ(account()->text(), utf8("请输入邮箱"));
  EXPECT_TRUE(find<QLabel>("透明标签2")->hasFocus());
  type(account(), "a+b@lumora.test");
  EXPECT_EQ(account()->text(), "a+b@lumora.test");
  shoot("email-mode");

  QTest::mouseClick(find<QRadioButton>("单选框1"), Qt::LeftButton);
  EXPECT_EQ(find<QLabel>("透明标签2")->text(), utf8("手机号："));
  EXPECT_EQ(account()->text(), utf8("请输入手机号"));
}

TEST_F(LoginWindowTest, FocusEmptiesTheBoxesAndMasksThePassword) {
  type(account(), "13800000001");
  type(password(), "secret");
  EXPECT_EQ(password()->echoMode(), QLineEdit::Password);
  EXPECT_EQ(password()->text(), "secret");
  QTest::mouseClick(account(), Qt::LeftButton);
  EXPECT_EQ(account()->text(), "");
  QTest::mouseClick(password(), Qt::LeftButton);
  EXPECT_EQ(password()->text(), "");
}

TEST_F(LoginWindowTest, EnterInThePasswordBoxLogsIn) {
  type(account(), "13800000011");
  type(password(), kDemoPassword);
  QTest::keyClick(password(), Qt::Key_Return);
  EXPECT_EQ(message(), utf8("登录成功,请关闭窗口"));
  EXPECT_TRUE(panelShown());
  EXPECT_EQ(find<QLabel>("透明标签4")->text(), utf8("【VIP】夜莺"));
  ASSERT_FALSE(find<QLabel>("图片框1")->pixmap().isNull()) << "the avatar is shown";
  EXPECT_EQ(account()->text(), "");
  EXPECT_EQ(password()->text(), "");
  shoot("logged-in");
}

TEST_F(LoginWindowTest, ARefusalIsShownUnderTheForm) {
  type(account(), "13800000001");
  type(password(), "not-the-password");
  find<PictureButton>("登录按钮")->click();
  EXPECT_EQ(message(), utf8("密码错误"));
  EXPECT_FALSE(panelShown());
  EXPECT_TRUE(find<QLabel>("标签3")->isVisible());
  shoot("refused");

  // The picture button takes no focus, so the password box keeps it; the account box gets it
  // and is emptied.
  QTest::mouseClick(account(), Qt::LeftButton);
  find<PictureButton>("登录按钮")->click();
  EXPECT_EQ(message(), utf8("请输入账号"));
}

TEST_F(LoginWindowTest, ReopenedAfterALoginItShowsTheAccountAndClosesByItsButton) {
  type(account(), "13800000001");
  type(password(), kDemoPassword);
  find<PictureButton>("登录按钮")->click();
  find<PictureButton>("图形按钮1")->click();
  QApplication::processEvents();
  EXPECT_TRUE(login.isNull()) << "closed and deleted";

  open();
  EXPECT_TRUE(panelShown());
  EXPECT_EQ(find<QLabel>("透明标签4")->text(), utf8("小鹿听歌"));
  EXPECT_FALSE(find<QLabel>("图片框1")->pixmap().isNull());
}

// Closed from inside the handler's local event loop, the window lives until the handler ends.
TEST_F(LoginWindowTest, ClosedWhileAPersonalFmSongStartsItOutlivesTheLogin) {
  mainWindow.mode = "私人FM模式";
  mainWindow.whilePlaying = [this] {
    find<PictureButton>("图形按钮1")->click();
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(login.isNull()) << "still in use by the login handler";
  };
  type(account(), "13800000001");
  type(password(), kDemoPassword);
  find<PictureButton>("登录按钮")->click();
  EXPECT_EQ(session.loginState, kLoggedIn);
  EXPECT_FALSE(mainWindow.fmQueue.empty());
  QEventLoop loop;
  QTimer::singleShot(50, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_TRUE(login.isNull()) << "deleted once the handler returned";
}

}  // namespace
}  // namespace lumora::test
