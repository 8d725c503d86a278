#include "app/LoginWiring.h"

#include <QAction>

#include "app/ProgramObjects.h"
#include "face/MainWindowControls.h"
#include "login/LoginWindow.h"
#include "playback/PlaybackController.h"
#include "square/PlaylistSquarePanel.h"

namespace lumora {

LoginWiring::LoginWiring(QWidget* window, const MenuControls& menu, ProgramObjects& objects,
                         PlaybackController& playback, PlaylistSquarePanel& square)
    : QObject(window),
      window_(window),
      loginItem_(menu.login),
      likeItem_(menu.like),
      playback_(playback),
      square_(square),
      client_(accountJson_, objects.session, objects.options.apiBaseAddress),
      flow_(objects.session, client_, *this) {
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

bool LoginWiring::personalFmSelected() const {
  return playback_.state().playMode == kPersonalFmMode;
}

void LoginWiring::clearFmQueue() { playback_.forgetFmBatch(); }

void LoginWiring::playNext() { playback_.playNext(); }

void LoginWiring::showAccountPlaylists(const std::vector<std::string>& names,
                                       const std::vector<std::string>& ids) {
  square_.ShowAccountPlaylists(names, ids);
}

}  // namespace lumora
