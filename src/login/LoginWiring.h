#pragma once
// The login on the main window: the menu item 登录 opens the login window; what a login changes
// outside it goes through the main window, the flow's LoginHost.
#include <QObject>
#include <QPointer>

#include "login/LoginFlow.h"
#include "net/AccountClient.h"

class QAction;
class QWidget;

namespace lumora {

class LoginWindow;

class LoginWiring : public QObject {
  Q_OBJECT
 public:
  // A child of `window`, which owns the login window too; `account` and `host` outlive it.
  LoginWiring(QWidget* window, QAction* loginItem, AccountClient& account, LoginHost& host);

  // The menu item 登录: the login window, modal over the main window.
  void openLoginWindow();

 private:
  QWidget* window_;
  LoginFlow flow_;
  QPointer<LoginWindow> loginWindow_;
  bool opening_ = false;
};

}  // namespace lumora
