#pragma once
// The login state: lives in memory only, every run starts logged out. The login routines fill
// it; the service routines read the cookie.
#include <string>
#include <vector>

namespace lumora {

inline constexpr const char* kLoggedIn = "已登录";
inline constexpr const char* kLoggedOut = "未登录";

struct Session {
  std::string cookie{};     // empty when logged out
  std::string accountId{};  // decimal text
  std::string nickname{};
  std::string avatarUrl{};
  std::string vipType{};     // the player acts on "0" and "11" only
  std::string loginState{};  // kLoggedIn, kLoggedOut, or empty before the first result
  // Parallel lists: the account's playlists, replaced by every successful login.
  std::vector<std::string> accountPlaylistNames{};
  std::vector<std::string> accountPlaylistIds{};
};

}  // namespace lumora
