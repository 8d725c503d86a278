#include "login/LoginWiring.h"

#include <QAction>

#include "login/LoginWindow.h"

namespace lumora {

LoginWiring::LoginWiring(QWidget* window, QAction* loginItem, AccountClient& account,
                         LoginHost& host)
    : QObject(window), window_(window), flow_(account, host) {
  connect(loginItem, &QAction::triggered, this, &LoginWiring::openLoginWindow);
}

void LoginWiring::openLoginWindow() {
  if (loginWindow_) {
    loginWindow_->raise();
    loginWindow_->activateWindow();
    return;
  }
  // Its created handler may wait for the avatar; a second click meanwhile opens nothing more.
  if (opening_) return;
  opening_ = true;
  loginWindow_ = new LoginWindow(flow_, window_);
  opening_ = false;
  loginWindow_->show();
}

}  // namespace lumora
