#pragma once
// The account routines: log in, the account's own playlists, log out. Answers are read through
// its own document, never apiJson, so a login does not disturb what playback last parsed. The
// client owns the Session and is its only writer; everyone else reads it through session().
// Its requests wait through the runner it is handed.
#include <string>
#include <string_view>

#include "common/Runners.h"
#include "json/JsonDocument.h"
#include "net/HttpClient.h"
#include "net/Session.h"

namespace lumora {

// Which radio button of the login window is checked; None sends nothing.
enum class LoginMode { None, Phone, Email };

// MD5 of the password's GBK bytes as 32 lower-case hex digits: the only form in which the
// password leaves the program.
std::string PasswordDigest(std::string_view password);

// The request target of a login, after the base address. The account is percent-encoded, so
// an address holding "+", "&", "#", "%" or a space reaches the server as typed.
std::string LoginTarget(LoginMode mode, std::string_view account, std::string_view digest,
                        std::string_view timestamp);

class AccountClient {
 public:
  // Every run starts logged out; a test may start from another session.
  explicit AccountClient(std::string baseAddress, BlockingRunner& runner = InPlaceRunner(),
                         Session start = {});

  const Session& session() const { return session_; }

  // The answer's code ("200", "400", "501", "502", ...), or the empty text when nothing was
  // sent or the answer did not parse. Every answer that parses overwrites cookie, accountId,
  // nickname, avatarUrl and vipType, with the empty text for a member it lacks.
  std::string Login(LoginMode mode, std::string_view account, std::string_view password);
  // Of the last login the server turned away unchecked ("429"): after how many seconds it takes
  // one again; 0 when it did not say.
  int loginRetryAfter() const { return loginRetryAfter_; }
  // Replaces the session's playlist lists with the account's first 30 playlists; leaves them
  // as they are when logged out or when the answer holds no playlist list.
  void LoadAccountPlaylists(const std::string& accountId);
  // Tells the server, handing it the session to end, and forgets the cookie; the profile fields
  // and playlists stay.
  void Logout();
  // The session's avatar picture; empty when it could not be fetched.
  Bytes fetchAvatar() const;
  // What the login handler made of an answer: kLoggedIn or kLoggedOut.
  void recordLoginState(const char* state) { session_.loginState = state; }

 private:
  JsonDocument accountJson_;
  Session session_;
  const std::string baseAddress_;
  BlockingRunner& runner_;
  int loginRetryAfter_ = 0;
};

}  // namespace lumora
