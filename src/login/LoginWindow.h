#pragma once
// The login window: a frameless 318 × 238 dialog whose controls carry their designed names. It
// owns the widgets only; every handler goes to the LoginFlow it was opened with.
#include <QDialog>
#include <functional>

#include "login/LoginFlow.h"

class QFrame;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace lumora {

class PictureButton;

class LoginWindow : public QDialog, private LoginWindowView {
  Q_OBJECT
 public:
  // Modal over `owner`, deleted once closed. Runs the created handler.
  LoginWindow(LoginFlow& flow, QWidget* owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void buildForm();
  void buildPanel();
  void connectHandlers();
  // Runs a handler of the flow. The window may be closed while the handler waits for the server:
  // it is deleted only once the handler is done with it. Meanwhile it looks busy, and a second
  // request of its own does not start.
  void handle(const std::function<void()>& handler);
  void sendOnce(const std::function<void()>& handler);
  void showWaiting(const std::function<void()>& handler);

  // LoginWindowView
  LoginMode checkedMode() const override;
  void checkMode(LoginMode mode) override;
  void setAccountCaption(const std::string& text) override;
  void focusAccountCaption() override;
  std::string accountText() const override;
  void setAccountText(const std::string& text) override;
  void setAccountDigitsOnly(bool digitsOnly) override;
  std::string passwordText() const override;
  void setPasswordText(const std::string& text) override;
  void setPasswordMasked(bool masked) override;
  void setMessage(const std::string& text) override;
  void setPanelVisible(bool visible) override;
  void setNicknameCaption(const std::string& text) override;
  void setAvatar(const Bytes& picture) override;
  void closeWindow() override;

  LoginFlow& flow_;
  QRadioButton* phoneRadio_ = nullptr;        // 单选框1
  QRadioButton* emailRadio_ = nullptr;        // 单选框2
  QLabel* phoneLabel_ = nullptr;              // 透明标签5
  QLabel* emailLabel_ = nullptr;              // 透明标签6
  QLabel* accountCaption_ = nullptr;          // 透明标签2
  QLineEdit* accountBox_ = nullptr;           // 编辑框1
  QLineEdit* passwordBox_ = nullptr;          // 编辑框2
  PictureButton* loginButton_ = nullptr;      // 登录按钮
  QLabel* message_ = nullptr;                 // 标签3
  QFrame* panel_ = nullptr;                   // 外形框1
  QLabel* nickname_ = nullptr;                // 透明标签4
  QLabel* avatar_ = nullptr;                  // 图片框1
  PictureButton* playlistsButton_ = nullptr;  // 个人歌单
  PictureButton* logoutButton_ = nullptr;     // 退出登录
  PictureButton* closeButton_ = nullptr;      // 图形按钮1
  int handling_ = 0;
  bool closed_ = false;
};

}  // namespace lumora
