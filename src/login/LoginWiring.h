#pragma once
// The login on the main window: the menu item 登录 opens the login window, and a login reaches
// back into the menu, the play modes and the playlist square.
#include <QObject>
#include <QPointer>

#include "json/JsonDocument.h"
#include "login/LoginFlow.h"
#include "net/AccountClient.h"

class QAction;
class QWidget;

namespace lumora {

class LoginWindow;
class PlaybackController;
class PlaylistSquarePanel;
struct MenuControls;
struct ProgramObjects;

class LoginWiring : public QObject, private LoginHost {
  Q_OBJECT
 public:
  // A child of `window`, which owns the login window too.
  LoginWiring(QWidget* window, const MenuControls& menu, ProgramObjects& objects,
              PlaybackController& playback, PlaylistSquarePanel& square);

  // The menu item 登录: the login window, modal over the main window.
  void openLoginWindow();

 private:
  // LoginHost
  void setLoginItemCaption(const std::string& text) override;
  void setLikeItemVisible(bool visible) override;
  bool personalFmSelected() const override;
  void clearFmQueue() override;
  void playNext() override;
  void showAccountPlaylists(const std::vector<std::string>& names,
                            const std::vector<std::string>& ids) override;

  QWidget* window_;
  QAction* loginItem_;
  QAction* likeItem_;
  PlaybackController& playback_;
  PlaylistSquarePanel& square_;
  // Login answers only: a login never disturbs what playback last parsed.
  JsonDocument accountJson_;
  AccountClient client_;
  LoginFlow flow_;
  QPointer<LoginWindow> loginWindow_;
  bool opening_ = false;
};

}  // namespace lumora
