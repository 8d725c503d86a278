#include "api/ApiServer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cstdio>
#include <random>
#include <tuple>

#include "accounts/AccountInput.h"
#include "api/ApiAnswer.h"
#include "library/Library.h"
#include "accounts/Secrets.h"
#include "api/ApiText.h"
#include "common/Text.h"

namespace fs = std::filesystem;

namespace lumora::server {

namespace {

void NeedLogin(HttpResponse& res) { Error(res, 301, "需要登录"); }

void NotStored(HttpResponse& res) { Error(res, 500, "保存失败，请稍后再试"); }

// Reads an optional count parameter; false (and a 400 answer) when it is malformed.
bool CountParam(const HttpRequest& req, HttpResponse& res, const std::string& name, int fallback,
                int* out) {
  if (!req.Has(name)) {
    *out = fallback;
    return true;
  }
  auto value = ParseCount(req.Param(name));
  if (!value) {
    Error(res, 400, "参数错误: " + name);
    return false;
  }
  *out = *value;
  return true;
}

// A required id parameter; nullopt (and a 400 answer) when missing or malformed.
std::optional<std::uint64_t> IdParam(const HttpRequest& req, HttpResponse& res,
                                     const std::string& name) {
  auto id = ParseId(req.Param(name));
  if (!id) Error(res, 400, req.Has(name) ? "参数错误: " + name : "缺少参数: " + name);
  return id;
}

// The ids of a list parameter ("a,b,c"; empty items are skipped); false (and a 400 answer)
// when it is missing, malformed or longer than kMaxIds.
bool IdsParam(const HttpRequest& req, HttpResponse& res, const std::string& name,
              std::vector<std::uint64_t>* ids) {
  if (!req.Has(name)) {
    Error(res, 400, "缺少参数: " + name);
    return false;
  }
  const std::string text = req.Param(name);
  for (std::string_view rest = text; !rest.empty();) {
    std::size_t comma = std::min(rest.find(','), rest.size());
    std::string_view item = rest.substr(0, comma);
    rest.remove_prefix(std::min(comma + 1, rest.size()));
    item.remove_prefix(std::min(item.find_first_not_of(' '), item.size()));
    item = item.substr(0, item.find_last_not_of(' ') + 1);
    if (item.empty()) continue;
    auto id = ParseId(std::string(item));
    if (!id) {
      Error(res, 400, "参数错误: " + name);
      return false;
    }
    if (ids->size() == kMaxIds) {
      Error(res, 400, "参数过多: " + name);
      return false;
    }
    ids->push_back(*id);
  }
  return true;
}

// A song's loudness for the player: ReplayGain's gains in dB and peaks (1.0: full scale), each
// only where it is known; nothing at all for a song whose loudness is not known yet.
std::string GainMembers(const std::optional<ReplayGain>& gain) {
  if (!gain) return "";
  std::string members;
  for (auto [name, figure, format] :
       {std::tuple{"gain", gain->trackGain, "%.2f"}, std::tuple{"peak", gain->trackPeak, "%.6f"},
        std::tuple{"albumGain", gain->albumGain, "%.2f"},
        std::tuple{"albumPeak", gain->albumPeak, "%.6f"}}) {
    if (!figure) continue;
    char number[32];
    std::snprintf(number, sizeof number, format, *figure);
    members += std::string(",\"") + name + "\":" + number;
  }
  return members;
}

}  // namespace

std::string SessionToken(const std::string& cookie) {
  const std::string name = std::string(kSessionCookie) + "=";
  std::size_t at = cookie.find(name);
  // The name itself, not the tail of a longer one ("x_lumora_session=").
  while (at != std::string::npos && at > 0 && cookie[at - 1] != ' ' && cookie[at - 1] != ';')
    at = cookie.find(name, at + 1);
  if (at == std::string::npos) return "";
  std::string token;
  for (std::size_t i = at + name.size(); i < cookie.size(); ++i) {
    char c = cookie[i];
    if (!std::isalnum(static_cast<unsigned char>(c))) break;
    token += c;
  }
  return token;
}

ApiServer::ApiServer(const CurrentCatalogue& catalogue, Store& store, ApiOptions options)
    : catalogue_(catalogue), store_(store), options_(std::move(options)) {}

std::string ApiServer::BaseUrl(const HttpRequest& req) const {
  std::string host = req.Header("host");
  if (host.empty() || host.find_first_of(" /\"\\") != std::string::npos)
    host = "127.0.0.1:" + std::to_string(http_ ? http_->Port() : 3000);
  return "http://" + host;
}

std::optional<Account> ApiServer::SessionAccount(const HttpRequest& req) {
  std::string token = SessionToken(req.Param("cookie"));
  if (token.empty()) token = SessionToken(req.Header("cookie"));
  return store_.AccountBySession(token);
}

std::string ApiServer::AlbumCoverUrl(const Song& s, const std::string& base) const {
  return base + "/cover/album/" + std::to_string(s.albumId) + ".jpg";
}

std::string ApiServer::PlaylistJson(const Playlist& p, const std::string& base,
                                    const std::string& shownName) const {
  std::string tags;
  for (const auto& c : p.categories) tags += (tags.empty() ? "" : ",") + JsonQuote(c);
  return "{\"id\":" + std::to_string(p.id) +
         ",\"name\":" + JsonQuote(shownName.empty() ? p.name : shownName) +
         ",\"coverImgUrl\":" +
         JsonQuote(base + "/cover/playlist/" + std::to_string(p.id) + ".jpg") +
         ",\"playCount\":" + std::to_string(p.playCount) +
         ",\"trackCount\":" + std::to_string(p.trackIds.size()) + ",\"tags\":[" + tags +
         "],\"creator\":{\"nickname\":\"Lumora\"}}";
}

std::string ApiServer::SongJson(const Catalogue& cat, const Song& s,
                                const std::string& base) const {
  std::string artists;
  for (const auto& a : s.artists)
    artists += std::string(artists.empty() ? "" : ",") + "{\"id\":" + std::to_string(a.id) +
               ",\"name\":" + JsonQuote(a.name) + "}";
  const Album* album = cat.FindAlbum(s.albumId);
  return "{\"id\":" + std::to_string(s.id) + ",\"name\":" + JsonQuote(s.name) + ",\"ar\":[" +
         artists + "],\"al\":{\"id\":" + std::to_string(s.albumId) +
         ",\"name\":" + JsonQuote(album ? album->name : "") +
         ",\"picUrl\":" + JsonQuote(AlbumCoverUrl(s, base)) +
         "},\"dt\":" + std::to_string(s.durationMs) + ",\"fee\":" + (s.membersOnly ? "1" : "0") +
         "}";
}

const Playlist* ApiServer::FindPlaylist(const Catalogue& cat, std::uint64_t id,
                                        std::optional<Playlist>& made) const {
  if (const Playlist* pl = cat.FindPlaylist(id)) return pl;
  if (auto text = searches_.Text(id)) {
    made = cat.TitlesPlaylist(*text);
    return &*made;
  }
  return nullptr;
}

Playlist ApiServer::LikedPlaylist(const Catalogue& cat, const Account& account) {
  Playlist p;
  p.id = kLikedPlaylistBase + account.uid;
  p.name = account.nickname + "喜欢的音乐";
  for (std::uint64_t id : store_.Likes(account.uid))
    if (cat.FindSong(id)) p.trackIds.push_back(id);
  return p;
}

std::optional<Fault> ApiServer::TakeFault(const std::string& path) {
  std::lock_guard lock(faultMutex_);
  for (Fault& f : faults_) {
    bool match = f.path.ends_with("*") ? path.rfind(f.path.substr(0, f.path.size() - 1), 0) == 0
                                       : path == f.path;
    if (!match || f.times == 0) continue;
    if (f.times > 0) --f.times;
    return f;
  }
  return std::nullopt;
}

void ApiServer::Handle(const HttpRequest& req, HttpResponse& res) {
  if (req.query.size() > kMaxQueryBytes) return Error(res, 414, "请求过长");
  if (req.path.rfind("/__control/", 0) == 0) {
    if (options_.testControls)
      Control(req, res);
    else
      Error(res, 404, "not found");
    return;
  }
  std::optional<Fault> fault = TakeFault(req.path);
  if (fault) {
    res.delayMs = fault->delayMs;
    if (fault->hasBody) {
      res.status = fault->status ? fault->status : 200;
      res.contentType = "text/plain; charset=utf-8";
      res.body = fault->body;
      return;
    }
    if (fault->status) {
      res.Json(fault->status,
               "{\"code\":" + std::to_string(fault->status) + ",\"msg\":\"injected fault\"}");
      return;
    }
  }
  // A player told "no songs" would show an empty square; told to come back, it tries again.
  if (!catalogue_.Ready()) {
    res.headers.emplace_back("Retry-After", "1");
    return Error(res, 503, "正在读取音乐库，请稍后再试");
  }
  // One catalogue from start to end, even when the library changes meanwhile.
  const std::shared_ptr<const Catalogue> cat = catalogue_.Get();
  Route(*cat, req, res, fault ? &*fault : nullptr);
}

void ApiServer::Route(const Catalogue& cat, const HttpRequest& req, HttpResponse& res,
                      const Fault* fault) {
  const std::string& p = req.path;
  const bool post = req.method == "POST";
  const bool get = req.method == "GET" || req.method == "HEAD";
  if (!get && !post) return Error(res, 405, "method not allowed");
  if (p == "/top/playlist") return TopPlaylists(cat, req, res);
  if (p == "/search" || p == "/cloudsearch") return Search(cat, req, res);
  if (p == "/playlist/detail") return PlaylistDetail(cat, req, res);
  if (p == "/song/detail") return SongDetail(cat, req, res);
  if (p == "/song/url") return SongUrl(cat, req, res);
  if (p == "/lyric") return Lyric(cat, req, res);
  if (p == "/personal_fm") return PersonalFm(cat, req, res);
  const bool onAccount = p == "/login/cellphone" || p == "/login" || p == "/logout" || p == "/like";
  if (onAccount && CrossSite(req)) return Error(res, 403, "来自其他网页的请求");
  if (p == "/login/cellphone") return Login(req, res, true);
  if (p == "/login") return Login(req, res, false);
  if (p == "/logout") return Logout(req, res);
  if (p == "/user/playlist") return UserPlaylists(cat, req, res);
  if (p == "/like") return Like(cat, req, res);
  if (p == "/" || p == "/index.html") return SongPage(res);
  if (get) return StaticFile(cat, req, res, fault);
  Error(res, 404, "not found");
}

void ApiServer::TopPlaylists(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  int limit, offset;
  if (!CountParam(req, res, "limit", 50, &limit) || !CountParam(req, res, "offset", 0, &offset))
    return;
  std::string category = req.Has("cat") ? req.Param("cat") : "全部";
  if (!IsCategory(category)) return Error(res, 400, "未知分类: " + category);
  std::string order = req.Has("order") ? req.Param("order") : "hot";
  if (order != "hot" && order != "new") return Error(res, 400, "参数错误: order");

  std::vector<const Playlist*> found;
  for (const Playlist* pl : cat.playlists())
    if (category == "全部" ||
        std::find(pl->categories.begin(), pl->categories.end(), category) != pl->categories.end())
      found.push_back(pl);
  std::stable_sort(found.begin(), found.end(), [&](const Playlist* a, const Playlist* b) {
    return order == "hot" ? a->playCount > b->playCount : a->id > b->id;
  });
  const std::string base = BaseUrl(req);
  std::string items;
  std::size_t end = std::min(found.size(), static_cast<std::size_t>(offset) + limit);
  for (std::size_t i = static_cast<std::size_t>(offset); i < end; ++i)
    items += (items.empty() ? "" : ",") + PlaylistJson(*found[i], base);
  Answer(res, 200,
         "{\"code\":200,\"cat\":" + JsonQuote(category) + ",\"playlists\":[" + items +
             "],\"total\":" + std::to_string(found.size()) +
             ",\"more\":" + (end < found.size() ? "true" : "false") + "}");
}

void ApiServer::Search(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  int limit, offset, type;
  if (!CountParam(req, res, "limit", 30, &limit) || !CountParam(req, res, "offset", 0, &offset) ||
      !CountParam(req, res, "type", 1, &type))
    return;
  std::string keywords = req.Param("keywords");
  if (keywords.empty()) return Error(res, 400, "缺少参数: keywords");
  if (type != 1000 && type != 1) return Error(res, 400, "不支持的搜索类型");
  const std::string base = BaseUrl(req);
  std::string items;
  const auto shown = [&](std::size_t n) {
    return n >= static_cast<std::size_t>(offset) && n < static_cast<std::size_t>(offset) + limit;
  };
  if (type == 1000) {
    // Playlists to play at once: the artists', the albums', the song titles', then those named so.
    const SearchFind find = cat.Search(keywords);
    std::vector<std::pair<const Playlist*, std::string>> found;  // and the name shown
    for (const Playlist* pl : find.artists) found.emplace_back(pl, "");
    for (const Playlist* pl : find.albums) found.emplace_back(pl, "专辑：" + pl->name);
    if (!find.titles.trackIds.empty()) {
      searches_.Remember(find.titles.id, keywords);
      found.emplace_back(&find.titles, "");
    }
    for (const Playlist* pl : find.named) found.emplace_back(pl, "");
    for (std::size_t i = offset; i < found.size() && shown(i); ++i)
      items += (items.empty() ? "" : ",") + PlaylistJson(*found[i].first, base, found[i].second);
    return Answer(res, 200,
                  "{\"code\":200,\"result\":{\"playlists\":[" + items +
                      "],\"playlistCount\":" + std::to_string(found.size()) + "}}");
  }
  const std::vector<const Song*> found = cat.FindSongs(keywords);
  for (std::size_t i = offset; i < found.size() && shown(i); ++i)
    items += (items.empty() ? "" : ",") + SongJson(cat, *found[i], base);
  Answer(res, 200,
         "{\"code\":200,\"result\":{\"songs\":[" + items +
             "],\"songCount\":" + std::to_string(found.size()) + "}}");
}

void ApiServer::PlaylistDetail(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  auto id = IdParam(req, res, "id");
  if (!id) return;
  std::optional<Playlist> made;
  const Playlist* pl = FindPlaylist(cat, *id, made);
  if (!pl && *id > kLikedPlaylistBase) {
    if (auto account = store_.AccountById(*id - kLikedPlaylistBase)) {
      made = LikedPlaylist(cat, *account);
      pl = &*made;
    }
  }
  if (!pl) return Error(res, 404, "歌单不存在");
  std::string json = "{\"code\":200,\"playlist\":" + PlaylistJson(*pl, BaseUrl(req));
  json.pop_back();  // reopen the object to add the tracks
  json.reserve(json.size() + pl->trackIds.size() * 24 + 16);
  json += ",\"trackIds\":[";
  for (std::size_t i = 0; i < pl->trackIds.size(); ++i)
    json += (i == 0 ? "{\"id\":" : ",{\"id\":") + std::to_string(pl->trackIds[i]) + "}";
  json += "]}}";
  Answer(res, 200, std::move(json));
}

void ApiServer::SongDetail(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  std::vector<std::uint64_t> ids;
  if (!IdsParam(req, res, "ids", &ids)) return;
  const std::string base = BaseUrl(req);
  std::string json = "{\"songs\":[";
  bool first = true;
  for (std::uint64_t id : ids)
    if (const Song* s = cat.FindSong(id)) {
      if (!first) json += ',';
      json += SongJson(cat, *s, base);
      first = false;
    }
  json += "],\"privileges\":[],\"code\":200}";
  Answer(res, 200, std::move(json));
}

void ApiServer::SongUrl(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  std::vector<std::uint64_t> ids;
  if (!IdsParam(req, res, "id", &ids)) return;
  if (ids.empty()) return Error(res, 400, "参数错误: id");
  int br = 999000;
  if (!CountParam(req, res, "br", 999000, &br)) return;
  auto account = SessionAccount(req);
  const bool member = account && account->vipType != 0;
  const std::string base = BaseUrl(req);
  std::string json = "{\"data\":[";
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const std::uint64_t id = ids[i];
    std::string item = (i == 0 ? "{\"id\":" : ",{\"id\":") + std::to_string(id);
    const Song* s = cat.FindSong(id);
    std::error_code ec;
    auto size = s ? fs::file_size(s->audioFile, ec) : 0;
    if (!s || ec) {
      item += ",\"url\":null,\"br\":0,\"size\":0,\"type\":null,\"code\":404,\"fee\":0}";
    } else if (s->membersOnly && !member) {
      item += ",\"url\":null,\"br\":0,\"size\":0,\"type\":null,\"code\":-110,\"fee\":1}";
    } else {
      // The bit rate of the file itself; the demo's files are constant-rate.
      std::int64_t fileBr =
          s->durationMs > 0 ? static_cast<std::int64_t>(size) * 8000 / s->durationMs / 1000 * 1000
                            : 128000;
      item +=
          ",\"url\":" +
          JsonQuote(base + "/audio/" + std::to_string(id) + "." + s->format->extension) +
          ",\"br\":" + std::to_string(std::min<std::int64_t>(fileBr, br)) +
          ",\"size\":" + std::to_string(size) + ",\"type\":" + JsonQuote(s->format->extension) +
          ",\"code\":200,\"fee\":" + (s->membersOnly ? "1" : "0") +
          (cat.root().empty() || !options_.library ? "" : GainMembers(options_.library->Gain(*s))) +
          "}";
    }
    json += item;
  }
  json += "],\"code\":200}";
  Answer(res, 200, std::move(json));
}

void ApiServer::Lyric(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  auto id = IdParam(req, res, "id");
  if (!id) return;
  const Song* s = cat.FindSong(*id);
  if (!s) return Error(res, 404, "歌曲不存在");
  const std::string lyric = cat.root().empty() || !options_.library
                                ? cat.GeneratedLyric(s->id)
                                : options_.library->Lyric(cat.root(), *s);
  if (lyric.empty()) return Answer(res, 200, "{\"nolyric\":true,\"code\":200}");
  // The player cuts the lyric out between ,"lyric":" and "},"klyric": so the lrc
  // object keeps lyric as its last member, directly followed by klyric.
  Answer(res, 200,
         "{\"sgc\":false,\"sfy\":false,\"qfy\":false,\"lrc\":{\"version\":" +
             std::to_string(1 + s->id % 9) + ",\"lyric\":" + JsonQuote(lyric) +
             "},\"klyric\":{\"version\":0,\"lyric\":\"\"},\"tlyric\":{\"version\":0,\"lyric\":"
             "\"\"},\"code\":200}");
}

void ApiServer::PersonalFm(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  auto account = SessionAccount(req);
  if (!account) return NeedLogin(res);
  const bool member = account->vipType != 0;
  std::vector<const Song*> pool;
  for (const Song* s : cat.fmPool())
    if (member || !s->membersOnly) pool.push_back(s);
  std::vector<const Song*> liked;
  for (std::uint64_t id : store_.Likes(account->uid))
    if (const Song* s = cat.FindSong(id); s && (member || !s->membersOnly)) liked.push_back(s);

  std::random_device rd;
  std::mt19937 rng(rd());
  std::vector<const Song*> batch;
  auto add = [&](const Song* s) {
    if (batch.size() < 3 && std::find(batch.begin(), batch.end(), s) == batch.end())
      batch.push_back(s);
  };
  if (!liked.empty() && rng() % 2 == 0) add(liked[rng() % liked.size()]);
  for (int tries = 0; batch.size() < 3 && !pool.empty() && tries < 100; ++tries)
    add(pool[rng() % pool.size()]);

  const std::string base = BaseUrl(req);
  std::string data;
  for (const Song* s : batch) {
    std::string artists;
    for (const auto& a : s->artists)
      artists += std::string(artists.empty() ? "" : ",") + "{\"id\":" + std::to_string(a.id) +
                 ",\"name\":" + JsonQuote(a.name) + "}";
    const Album* album = cat.FindAlbum(s->albumId);
    data += std::string(data.empty() ? "" : ",") + "{\"id\":" + std::to_string(s->id) +
            ",\"name\":" + JsonQuote(s->name) + ",\"artists\":[" + artists +
            "],\"album\":{\"id\":" + std::to_string(s->albumId) +
            ",\"name\":" + JsonQuote(album ? album->name : "") +
            ",\"type\":" + JsonQuote(album ? album->type : "") +
            ",\"picUrl\":" + JsonQuote(AlbumCoverUrl(*s, base)) +
            "},\"duration\":" + std::to_string(s->durationMs) + "}";
  }
  Answer(res, 200, "{\"popAdjust\":false,\"data\":[" + data + "],\"code\":200}");
}

void ApiServer::Login(const HttpRequest& req, HttpResponse& res, bool byPhone) {
  const std::string name = byPhone ? req.Param("phone") : req.Param("email");
  const std::string md5 = ToLowerAscii(req.Param("md5_password"));
  if (byPhone ? !IsPhone(name) : !IsEmail(name))
    return Error(res, 400, byPhone ? "手机号格式错误" : "邮箱格式错误");
  if (!IsMd5(md5)) return Error(res, 400, "密码格式错误");
  const LoginThrottle::Admission admitted = throttle_.Begin(req.peer, name);
  const std::shared_ptr<LoginThrottle::Attempt> attempt = admitted.attempt;
  if (!attempt) {
    res.headers.emplace_back("Retry-After", std::to_string((admitted.retryAfterMs + 999) / 1000));
    return Error(res, 429, "登录太频繁，请稍后再试");
  }
  res.delayMs = attempt->delayMs;
  // The hash runs on the server's worker once the wait is over, not on a request thread.
  res.work = [this, byPhone, name, md5, attempt, base = BaseUrl(req)](HttpResponse& out) {
    auto account = byPhone ? store_.AccountByPhone(name) : store_.AccountByEmail(name);
    if (!account) {
      attempt->Failed();
      return Error(out, 501, "账号不存在");
    }
    if (!PasswordMatches(md5, account->passwordHash)) {
      attempt->Failed();
      return Error(out, 502, "密码错误");
    }
    attempt->Succeeded();
    const std::optional<std::string> token = store_.CreateSession(account->uid);
    if (!token) return NotStored(out);
    out.undelivered = [this, token = *token] { store_.EndSession(token); };
    const std::string cookie = std::string(kSessionCookie) + "=" + *token;
    out.headers.emplace_back("Set-Cookie", cookie + "; Path=/; HttpOnly; SameSite=Strict");
    Answer(out, 200,
           "{\"loginType\":" + std::string(byPhone ? "1" : "0") +
               ",\"code\":200,\"account\":{\"id\":" + std::to_string(account->uid) +
               ",\"userName\":" + JsonQuote(byPhone ? account->phone : account->email) +
               ",\"vipType\":" + std::to_string(account->vipType) + "},\"token\":" +
               JsonQuote(*token) + ",\"profile\":{\"userId\":" + std::to_string(account->uid) +
               ",\"nickname\":" + JsonQuote(account->nickname) + ",\"avatarUrl\":" +
               JsonQuote(base + "/avatar/" + std::to_string(account->uid) + ".jpg") +
               ",\"vipType\":" + std::to_string(account->vipType) +
               "},\"cookie\":" + JsonQuote(cookie) + "}");
  };
}

void ApiServer::Logout(const HttpRequest& req, HttpResponse& res) {
  for (const std::string& text : {req.Param("cookie"), req.Header("cookie")}) {
    std::string token = SessionToken(text);
    if (!token.empty() && !store_.EndSession(token)) return NotStored(res);
  }
  res.headers.emplace_back("Set-Cookie",
                           std::string(kSessionCookie) + "=; Path=/; Max-Age=0; SameSite=Strict");
  Answer(res, 200, "{\"code\":200}");
}

void ApiServer::UserPlaylists(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  auto uid = IdParam(req, res, "uid");
  if (!uid) return;
  int limit, offset;
  if (!CountParam(req, res, "limit", 30, &limit) || !CountParam(req, res, "offset", 0, &offset))
    return;
  auto account = store_.AccountById(*uid);
  if (!account) return Error(res, 404, "用户不存在");
  // Every account owns its liked-songs playlist and keeps a few of the catalogue's.
  std::vector<Playlist> owned = {LikedPlaylist(cat, *account)};
  for (std::size_t i = 0; i < cat.playlists().size(); ++i)
    if (i % 3 == *uid % 3) owned.push_back(*cat.playlists()[i]);
  const std::string base = BaseUrl(req);
  std::string items;
  std::size_t end = std::min(owned.size(), static_cast<std::size_t>(offset) + limit);
  for (std::size_t i = static_cast<std::size_t>(offset); i < end; ++i)
    items += (items.empty() ? "" : ",") + PlaylistJson(owned[i], base);
  Answer(res, 200,
         "{\"version\":\"1\",\"more\":" + std::string(end < owned.size() ? "true" : "false") +
             ",\"playlist\":[" + items + "],\"code\":200}");
}

void ApiServer::Like(const Catalogue& cat, const HttpRequest& req, HttpResponse& res) {
  auto id = IdParam(req, res, "id");
  if (!id) return;
  auto account = SessionAccount(req);
  if (!account) return NeedLogin(res);
  if (!cat.FindSong(*id)) return Error(res, 460, "歌曲不存在");
  if (!store_.AddLike(account->uid, *id)) return NotStored(res);
  Answer(res, 200,
         "{\"songs\":[],\"playlistId\":" + std::to_string(kLikedPlaylistBase + account->uid) +
             ",\"code\":200}");
}

void ApiServer::Control(const HttpRequest& req, HttpResponse& res) {
  if (req.path == "/__control/reset") {
    std::lock_guard lock(faultMutex_);
    faults_.clear();
    return Answer(res, 200, "{\"code\":200}");
  }
  if (req.path != "/__control/fault") return Error(res, 404, "not found");
  Fault f;
  f.path = req.Param("path");
  if (f.path.empty() || f.path[0] != '/') return Error(res, 400, "path must start with /");
  auto number = [&](const char* name, auto& out) {
    if (!req.Has(name)) return true;
    auto v = ParseCount(req.Param(name));
    if (!v) return false;
    out = *v;
    return true;
  };
  if (!number("delay_ms", f.delayMs) || !number("status", f.status) || !number("times", f.times) ||
      !number("cut_after", f.audio.cutAfter) || !number("stall_after", f.audio.stallAfter) ||
      !number("stall_ms", f.audio.stallMs))
    return Error(res, 400, "bad number");
  if (f.status != 0 && (f.status < 100 || f.status > 599)) return Error(res, 400, "bad status");
  if (req.Has("body")) {
    f.hasBody = true;
    f.body = req.Param("body");
  }
  std::lock_guard lock(faultMutex_);
  faults_.insert(faults_.begin(), f);  // the newest fault wins
  Answer(res, 200, "{\"code\":200}");
}

}  // namespace lumora::server
