#include "login/LoginWiring.h"

#include <QAction>
#include <utility>

#include "login/LoginWindow.h"

namespace lumora {

LoginWiring::LoginWiring(QWidget* window, QAction* loginItem, QAction* likeItem,
                         AccountClient& account, LoginReach reach)
    : QObject(window),
      window_(window),
      loginItem_(loginItem),
      likeItem_(likeItem),
      reach_(std::move(reach)),
      flow_(account, *this) {
  connect(loginItem_, &QAction::triggered, this, &LoginWiring::openLoginWindow);
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

void LoginWiring::setLoginItemCaption(const std::string& text) {
  // A nickname is the account's own text: an "&" in it is shown, not taken for a shortcut mark.
  loginItem_->setText(QString::fromStdString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
}

void LoginWiring::setLikeItemVisible(bool visible) { likeItem_->setVisible(visible); }

}  // namespace lumora
