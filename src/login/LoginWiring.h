#pragma once
// The login on the main window: the menu item 登录 opens the login window, and a login reaches
// back into the menu, the play modes and the playlist square.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "login/LoginFlow.h"
#include "net/AccountClient.h"

class QAction;
class QWidget;

namespace lumora {

class LoginWindow;

// What a login changes beyond the menu, as the main window wires it.
struct LoginReach {
  std::function<bool()> personalFmSelected;
  std::function<void()> clearFmQueue;
  std::function<void()> playNext;
  std::function<void(const std::vector<std::string>& names, const std::vector<std::string>& ids)>
      showAccountPlaylists;
};

class LoginWiring : public QObject, private LoginHost {
  Q_OBJECT
 public:
  // A child of `window`, which owns the login window too; `account` outlives it.
  LoginWiring(QWidget* window, QAction* loginItem, QAction* likeItem, AccountClient& account,
              LoginReach reach);

  // The menu item 登录: the login window, modal over the main window.
  void openLoginWindow();

 private:
  // LoginHost
  void setLoginItemCaption(const std::string& text) override;
  void setLikeItemVisible(bool visible) override;
  bool personalFmSelected() const override { return reach_.personalFmSelected(); }
  void clearFmQueue() override { reach_.clearFmQueue(); }
  void playNext() override { reach_.playNext(); }
  void showAccountPlaylists(const std::vector<std::string>& names,
                            const std::vector<std::string>& ids) override {
    reach_.showAccountPlaylists(names, ids);
  }

  QWidget* window_;
  QAction* loginItem_;
  QAction* likeItem_;
  LoginReach reach_;
  LoginFlow flow_;
  QPointer<LoginWindow> loginWindow_;
  bool opening_ = false;
};

}  // namespace lumora
