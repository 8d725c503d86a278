#include "login/LoginFlow.h"

#include <string.h>

namespace lumora {

std::optional<std::string> ShownNickname(const Session& session) {
  if (session.vipType == "0") return session.nickname;
  if (session.vipType == "11") return kVipPrefix + session.nickname;
  return std::nullopt;
}

std::string TooManyLoginsText(int retryAfterSeconds) {
  if (retryAfterSeconds <= 0) return kTooManyLogins;
  return "登录太频繁，请" + std::to_string(retryAfterSeconds) + "秒后再试";
}

std::string LoginInputProblem(const std::string& account, const std::string& password) {
  if (account.empty() && password.empty()) return kEnterAccountAndPassword;
  if (password.empty()) return kEnterPassword;
  if (account.empty()) return kEnterAccount;
  return {};
}

LoginFlow::LoginFlow(AccountClient& client, LoginHost& host) : client_(client), host_(host) {
  host_.setLikeItemVisible(false);
}

void LoginFlow::windowCreated(LoginWindowView& view) {
  // The window opens in phone mode, so the account box takes digits from the start.
  view.setAccountDigitsOnly(true);
  if (session().loginState != kLoggedIn) {
    view.setPanelVisible(false);
    return;
  }
  view.setPanelVisible(true);
  if (const auto shown = ShownNickname(session())) {
    view.setNicknameCaption(*shown);
    view.setAvatar(client_.fetchAvatar());
  }
}

void LoginFlow::selectMode(LoginWindowView& view, LoginMode mode) {
  const bool phone = mode == LoginMode::Phone;
  view.checkMode(mode);
  view.setAccountCaption(phone ? kPhoneCaption : kEmailCaption);
  view.setAccountText(phone ? kPhonePrompt : kEmailPrompt);
  view.focusAccountCaption();
  view.setAccountDigitsOnly(phone);
}

void LoginFlow::accountFocused(LoginWindowView& view) { view.setAccountText({}); }

void LoginFlow::passwordFocused(LoginWindowView& view) {
  view.setPasswordText({});
  view.setPasswordMasked(true);
}

void LoginFlow::login(LoginWindowView& view) {
  const std::string account = view.accountText();
  std::string password = view.passwordText();
  if (const std::string problem = LoginInputProblem(account, password); !problem.empty()) {
    view.setMessage(problem);
    return;
  }
  const bool hadCookie = !session().cookie.empty();
  const std::string code = client_.Login(view.checkedMode(), account, password);
  explicit_bzero(password.data(), password.size());

  if (code == "200") return loggedIn(view);
  // Not a verdict on the password: the one shown for an earlier try must not stand for it.
  if (code == "429") view.setMessage(TooManyLoginsText(client_.loginRetryAfter()));
  const char* refusal = code == "400"   ? kBadInput
                        : code == "501" ? kNoSuchAccount
                        : code == "502" ? kWrongPassword
                                        : nullptr;
  if (refusal) {
    view.setMessage(refusal);
    client_.recordLoginState(kLoggedOut);
  }
  // An answer without a cookie ended the earlier login: the face must not go on showing it.
  if (hadCookie && session().cookie.empty()) {
    client_.recordLoginState(kLoggedOut);
    showLoggedOut(view);
  }
}

void LoginFlow::loggedIn(LoginWindowView& view) {
  view.setMessage(kLoginSucceeded);
  if (const auto shown = ShownNickname(session())) {
    host_.setLoginItemCaption(*shown);
    view.setNicknameCaption(*shown);
    view.setAvatar(client_.fetchAvatar());
  }
  host_.setLikeItemVisible(true);
  view.setPanelVisible(true);
  // Personal FM starts over with songs picked for the account.
  if (host_.personalFmSelected()) {
    host_.clearFmQueue();
    host_.playNext();
  }
  client_.recordLoginState(kLoggedIn);
  client_.LoadAccountPlaylists(session().accountId);
  view.setAccountText({});
  view.setPasswordText({});
}

void LoginFlow::showAccountPlaylists(LoginWindowView& view) {
  host_.showAccountPlaylists(session().accountPlaylistNames, session().accountPlaylistIds);
  view.closeWindow();
}

void LoginFlow::logout(LoginWindowView& view) {
  client_.Logout();
  showLoggedOut(view);
  view.closeWindow();
}

void LoginFlow::showLoggedOut(LoginWindowView& view) {
  host_.setLoginItemCaption(kLoginItemCaption);
  view.setPanelVisible(false);
  host_.setLikeItemVisible(false);
}

}  // namespace lumora
