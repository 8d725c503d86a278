#pragma once
// A login window and a main window that record what the flow does to them, in one event list so
// the order of the handlers' steps shows, over the real account routines and lumora-server.
#include <functional>
#include <string>
#include <vector>

#include "common/Song.h"
#include "login/LoginFlow.h"
#include "net/ApiClient.h"
#include "support/ServerSuite.h"

namespace lumora::test {

inline constexpr const char* kDemoPassword = "lumora123";

class RecordingLoginWindow : public LoginWindowView {
 public:
  explicit RecordingLoginWindow(std::vector<std::string>& events) : events_(events) {}

  LoginMode checkedMode() const override { return mode; }
  void checkMode(LoginMode m) override {
    mode = m;
    events_.push_back(m == LoginMode::Phone ? "check phone" : "check email");
  }
  void setAccountCaption(const std::string& text) override { events_.push_back("caption " + text); }
  void focusAccountCaption() override { events_.push_back("focus caption"); }
  std::string accountText() const override { return account; }
  void setAccountText(const std::string& text) override {
    account = text;
    events_.push_back("account " + text);
  }
  void setAccountDigitsOnly(bool digitsOnly) override {
    events_.push_back(digitsOnly ? "digits only" : "any input");
  }
  std::string passwordText() const override { return password; }
  void setPasswordText(const std::string& text) override {
    password = text;
    events_.push_back("password " + text);
  }
  void setPasswordMasked(bool masked) override { events_.push_back(masked ? "masked" : "plain"); }
  void setMessage(const std::string& text) override {
    message = text;
    events_.push_back("message " + text);
  }
  void setPanelVisible(bool visible) override {
    panelVisible = visible;
    events_.push_back(visible ? "panel shown" : "panel hidden");
  }
  void setNicknameCaption(const std::string& text) override {
    events_.push_back("nickname " + text);
  }
  void setAvatar(const Bytes& picture) override {
    avatar = picture;
    events_.push_back("avatar");
  }
  void closeWindow() override { events_.push_back("close"); }

  LoginMode mode = LoginMode::Phone;
  std::string account = kPhonePrompt;
  std::string password = kPasswordPrompt;
  std::string message;
  bool panelVisible = false;
  Bytes avatar;

 private:
  std::vector<std::string>& events_;
};

// The main window's side. playNext asks for a personal FM batch the way the play modes do when
// the queue is empty, so a test sees which account it was asked for.
class RecordingMainWindow : public LoginHost {
 public:
  RecordingMainWindow(std::vector<std::string>& events, JsonDocument& apiJson,
                      const Session& session, const std::string& base)
      : api(apiJson, session, base), events_(events) {}

  void setLoginItemCaption(const std::string& text) override { events_.push_back("menu " + text); }
  void setLikeItemVisible(bool visible) override {
    likeItemVisible = visible;
    events_.push_back(visible ? "like shown" : "like hidden");
  }
  bool personalFmSelected() const override { return mode == "私人FM模式"; }
  void clearFmQueue() override {
    fmQueue.clear();
    events_.push_back("clear fm");
  }
  void playNext() override {
    events_.push_back("play next");
    if (whilePlaying) whilePlaying();
    if (fmQueue.empty()) fmQueue = api.FetchPersonalFm();
  }
  void showAccountPlaylists(const std::vector<std::string>& names,
                            const std::vector<std::string>& ids) override {
    shownNames = names;
    shownIds = ids;
    events_.push_back("square " + std::to_string(ids.size()));
  }

  std::string mode = "歌单模式";
  bool likeItemVisible = true;
  std::vector<Song> fmQueue;
  // Runs inside playNext, as the window's events do while a song starts.
  std::function<void()> whilePlaying;
  std::vector<std::string> shownNames;
  std::vector<std::string> shownIds;
  ApiClient api;

 private:
  std::vector<std::string>& events_;
};

class LoginFlowTest : public ServerSuite {
 protected:
  void SetUp() override {
    ServerSuite::SetUp();
    events.clear();  // what the flow did when it was made
  }

  // Types the account and the password into the window and presses 登录按钮.
  void logIn(LoginMode mode, const std::string& account,
             const std::string& password = kDemoPassword) {
    window.mode = mode;
    window.account = account;
    window.password = password;
    events.clear();
    flow.login(window);
  }

  std::vector<std::string> events;
  JsonDocument apiJson;
  AccountClient client{server_->baseUrl()};
  const Session& session = client.session();
  RecordingMainWindow mainWindow{events, apiJson, session, server_->baseUrl()};
  LoginFlow flow{client, mainWindow};
  RecordingLoginWindow window{events};
};

}  // namespace lumora::test
