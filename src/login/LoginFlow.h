#pragma once
// The login window's decisions without its widgets: what each handler reads, sends and shows.
// The window and the main window implement the two views below; the flow itself lives as long
// as the main window, the login window only while it is open.
#include <optional>
#include <string>
#include <vector>

#include "net/AccountClient.h"
#include "net/HttpClient.h"
#include "net/Session.h"

namespace lumora {

inline constexpr const char* kPhoneCaption = "手机号：";
inline constexpr const char* kEmailCaption = "邮箱：";
inline constexpr const char* kPhonePrompt = "请输入手机号";
inline constexpr const char* kEmailPrompt = "请输入邮箱";
inline constexpr const char* kPasswordPrompt = "请输入密码";
inline constexpr const char* kEnterAccountAndPassword = "请输入账号密码";
inline constexpr const char* kEnterPassword = "请输入密码";
inline constexpr const char* kEnterAccount = "请输入账号";
inline constexpr const char* kLoginSucceeded = "登录成功,请关闭窗口";
// Shown in 标签3 while the login waits for the server's answer.
inline constexpr const char* kLoggingIn = "登录中，请稍候…";
inline constexpr const char* kBadInput = "输入错误";
inline constexpr const char* kNoSuchAccount = "账号不存在";
inline constexpr const char* kWrongPassword = "密码错误";
// The server turned the login away before looking at the password (code 429).
inline constexpr const char* kTooManyLogins = "登录太频繁，请稍后再试";
inline constexpr const char* kLoginItemCaption = "登录";
inline constexpr const char* kVipPrefix = "【VIP】";

// The controls of the login window the flow reads and writes.
class LoginWindowView {
 public:
  virtual ~LoginWindowView() = default;
  virtual LoginMode checkedMode() const = 0;                    // 单选框1 / 单选框2
  virtual void checkMode(LoginMode mode) = 0;                   // checks one, unchecks the other
  virtual void setAccountCaption(const std::string& text) = 0;  // 透明标签2
  virtual void focusAccountCaption() = 0;                       // keyboard focus to 透明标签2
  virtual std::string accountText() const = 0;                  // 编辑框1
  virtual void setAccountText(const std::string& text) = 0;
  virtual void setAccountDigitsOnly(bool digitsOnly) = 0;
  virtual std::string passwordText() const = 0;  // 编辑框2
  virtual void setPasswordText(const std::string& text) = 0;
  virtual void setPasswordMasked(bool masked) = 0;
  virtual void setMessage(const std::string& text) = 0;          // 标签3
  virtual void setPanelVisible(bool visible) = 0;                // 外形框1
  virtual void setNicknameCaption(const std::string& text) = 0;  // 透明标签4
  virtual void setAvatar(const Bytes& picture) = 0;              // 图片框1
  virtual void closeWindow() = 0;
};

// What a login changes outside its window: the main window's menu and playback.
class LoginHost {
 public:
  virtual ~LoginHost() = default;
  virtual void setLoginItemCaption(const std::string& text) = 0;  // menu item 登录
  virtual void setLikeItemVisible(bool visible) = 0;              // menu item 喜欢当前歌曲
  // The play mode is "私人FM模式".
  virtual bool personalFmSelected() const = 0;
  virtual void clearFmQueue() = 0;
  virtual void playNext() = 0;
  // Fills the playlist square's list and shows it.
  virtual void showAccountPlaylists(const std::vector<std::string>& names,
                                    const std::vector<std::string>& ids) = 0;
};

// The caption the menu and the nickname label show for an account: the nickname, marked for a
// member ("11"); nothing for any other membership type.
std::optional<std::string> ShownNickname(const Session& session);

// What 标签3 says of a login turned away unchecked: when to try again, if the server said.
std::string TooManyLoginsText(int retryAfterSeconds);

// The validation text for what the two boxes hold; empty when both are filled.
std::string LoginInputProblem(const std::string& account, const std::string& password);

class LoginFlow {
 public:
  // Both outlive the flow. Hides the like item: nothing can be liked before a login.
  LoginFlow(AccountClient& client, LoginHost& host);

  void windowCreated(LoginWindowView& view);
  // A click on a radio button or a press on the label beside it.
  void selectMode(LoginWindowView& view, LoginMode mode);
  void accountFocused(LoginWindowView& view);
  void passwordFocused(LoginWindowView& view);
  // 登录按钮, or Enter in the password box.
  void login(LoginWindowView& view);
  // 个人歌单
  void showAccountPlaylists(LoginWindowView& view);
  // 退出登录
  void logout(LoginWindowView& view);

 private:
  void loggedIn(LoginWindowView& view);
  void showLoggedOut(LoginWindowView& view);

  const Session& session() const { return client_.session(); }

  AccountClient& client_;
  LoginHost& host_;
};

}  // namespace lumora
