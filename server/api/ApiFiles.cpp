// The music API's files: songs' audio, album and playlist covers, avatars.
#include <filesystem>

#include "api/ApiAnswer.h"
#include "api/ApiServer.h"
#include "api/ApiText.h"
#include "common/Text.h"
#include "library/Library.h"

namespace fs = std::filesystem;

namespace lumora::server {

namespace {

// "/audio/123.mp3" with prefix "/audio/" and suffix ".mp3" -> 123.
std::optional<std::uint64_t> IdInPath(const std::string& path, const std::string& prefix,
                                      const std::string& suffix) {
  if (path.rfind(prefix, 0) != 0 || !path.ends_with(suffix)) return std::nullopt;
  if (path.size() < prefix.size() + suffix.size()) return std::nullopt;
  return ParseId(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
}

}  // namespace

std::string ApiServer::AvatarFile(const std::string& assetsDir, std::uint64_t uid) {
  return assetsDir + "/avatar-" + std::to_string(uid) + ".jpg";
}

std::string ApiServer::CoverFile(const std::string& assetsDir) { return assetsDir + "/cover.jpg"; }

// The album's picture from its song's file or that song's folder, or its own file; the shared
// cover when it has none (or no album).
void ApiServer::SendAlbumCover(const Catalogue& cat, HttpResponse& res, const Album* a) {
  if (a && a->coverSongId && options_.library) {
    if (auto picture = options_.library->Cover(cat, *a)) {
      res.contentType = picture->mime;
      res.body = picture->bytes;
      return;
    }
  }
  res.file = a && !a->coverFile.empty() ? a->coverFile : CoverFile(options_.assetsDir);
  if (ToLowerAscii(res.file).ends_with(".png")) res.contentType = "image/png";
}

void ApiServer::StaticFile(const Catalogue& cat, const HttpRequest& req, HttpResponse& res,
                           const Fault* fault) {
  const std::string& p = req.path;
  if (p.rfind("/audio/", 0) == 0) {
    // "/audio/<id>.<the song's own extension>"
    const std::size_t dot = p.rfind('.');
    const auto id = dot == std::string::npos ? std::nullopt : IdInPath(p, "/audio/", p.substr(dot));
    const Song* s = id ? cat.FindSong(*id) : nullptr;
    if (!s || p.substr(dot + 1) != s->format->extension) return Error(res, 404, "歌曲不存在");
    res.contentType = s->format->mime;
    res.file = s->audioFile;
    res.fileRoot = cat.root();
    if (fault) res.fault = fault->audio;
    return;
  }
  res.contentType = "image/jpeg";
  if (auto id = IdInPath(p, "/cover/album/", ".jpg")) {
    const Album* a = cat.FindAlbum(*id);
    if (!a) return Error(res, 404, "专辑不存在");
    SendAlbumCover(cat, res, a);
    return;
  }
  if (auto id = IdInPath(p, "/cover/playlist/", ".jpg")) {
    std::optional<Playlist> made;
    const Playlist* pl = FindPlaylist(cat, *id, made);
    if (!pl && *id <= kLikedPlaylistBase) return Error(res, 404, "歌单不存在");
    if (pl && !pl->coverFile.empty()) {
      res.file = pl->coverFile;
      return;
    }
    // No picture of its own: the cover of its first track's album.
    const Song* first = pl && !pl->trackIds.empty() ? cat.FindSong(pl->trackIds[0]) : nullptr;
    SendAlbumCover(cat, res, first ? cat.FindAlbum(first->albumId) : nullptr);
    return;
  }
  if (auto uid = IdInPath(p, "/avatar/", ".jpg")) {
    std::string path = AvatarFile(options_.assetsDir, *uid);
    res.file = fs::exists(path) ? path : CoverFile(options_.assetsDir);
    return;
  }
  Error(res, 404, "not found");
}

}  // namespace lumora::server
