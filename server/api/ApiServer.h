#pragma once
// The music API: every path the player asks for, over a catalogue and the account store,
// plus the test controls that make chosen paths slow, wrong or broken.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "accounts/LoginThrottle.h"
#include "accounts/Store.h"
#include "api/RecentSearches.h"
#include "catalogue/Catalogue.h"
#include "http/HttpServer.h"

namespace lumora::server {

class Library;

struct ApiOptions {
  std::string assetsDir;      // avatars and the fallback cover
  bool testControls = false;  // serve /__control/...
  Library* library = nullptr;  // the user's library served: its songs' lyrics and covers
};

// One injected misbehaviour. path is exact, or a prefix when it ends with "*".
struct Fault {
  std::string path;
  int delayMs = 0;
  int status = 0;  // 0: answer normally
  bool hasBody = false;
  std::string body;  // answered as is (text/plain), instead of the real answer
  BodyFault audio;
  int times = -1;  // how many more requests it applies to; -1 = all
};

class ApiServer {
 public:
  ApiServer(const CurrentCatalogue& catalogue, Store& store, ApiOptions options);

  // The handler for HttpServer.
  void Handle(const HttpRequest& req, HttpResponse& res);
  void SetHttpServer(HttpServer* server) { http_ = server; }

  // The pictures of assetsDir it serves: each account's avatar, and the cover of whatever has
  // none of its own. The program draws them.
  static std::string AvatarFile(const std::string& assetsDir, std::uint64_t uid);
  static std::string CoverFile(const std::string& assetsDir);

 private:
  void Route(const Catalogue& cat, const HttpRequest& req, HttpResponse& res, const Fault* fault);
  void TopPlaylists(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void Search(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void PlaylistDetail(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void SongDetail(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void SongUrl(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void Lyric(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void PersonalFm(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void Login(const HttpRequest& req, HttpResponse& res, bool byPhone);
  void Logout(const HttpRequest& req, HttpResponse& res);
  void UserPlaylists(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void Like(const Catalogue& cat, const HttpRequest& req, HttpResponse& res);
  void Control(const HttpRequest& req, HttpResponse& res);
  void StaticFile(const Catalogue& cat, const HttpRequest& req, HttpResponse& res,
                  const Fault* fault);
  void SongPage(HttpResponse& res);

  std::optional<Account> SessionAccount(const HttpRequest& req);
  std::string BaseUrl(const HttpRequest& req) const;
  // shownName: the name the square shows, when not its own.
  std::string PlaylistJson(const Playlist& p, const std::string& base,
                           const std::string& shownName = "") const;
  // The catalogue's playlist of that id, else the song titles of a recent search (made into
  // made); nullptr when neither.
  const Playlist* FindPlaylist(const Catalogue& cat, std::uint64_t id,
                               std::optional<Playlist>& made) const;
  std::string SongJson(const Catalogue& cat, const Song& s, const std::string& base) const;
  void SendAlbumCover(const Catalogue& cat, HttpResponse& res, const Album* album);
  std::string AlbumCoverUrl(const Song& s, const std::string& base) const;
  std::optional<Fault> TakeFault(const std::string& path);
  // The playlist of an account's liked songs.
  Playlist LikedPlaylist(const Catalogue& cat, const Account& account);

  const CurrentCatalogue& catalogue_;
  Store& store_;
  ApiOptions options_;
  HttpServer* http_ = nullptr;
  std::mutex faultMutex_;
  std::vector<Fault> faults_;
  LoginThrottle throttle_;
  RecentSearches searches_;
};

// The name of the session cookie.
inline constexpr const char* kSessionCookie = "lumora_session";

// The session token inside a cookie text ("lumora_session=<token>", possibly with
// attributes, or a whole Cookie header); empty when there is none.
std::string SessionToken(const std::string& cookie);

// The most ids one request may ask for; the player asks for at most 500 at a time.
inline constexpr std::size_t kMaxIds = 2000;

inline constexpr std::uint64_t kLikedPlaylistBase = 7000000000ull;

}  // namespace lumora::server
