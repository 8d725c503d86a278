#include "net/ApiClient.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "net/UrlEncode.h"

namespace lumora {

namespace {

// Built by appending: g++ 12 at -O2 warns falsely (-Wrestrict) on literal + temporary string.
std::string Indexed(const char* head, std::size_t i, const char* tail) {
  std::string path(head);
  path += std::to_string(i);
  path += tail;
  return path;
}

}  // namespace

std::string MakeTimestamp(std::chrono::system_clock::time_point now) {
  // Counted from the Unix epoch itself, not from a local wall-clock time, so the value is the
  // same in every time zone.
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
  std::string text = std::to_string(ms.count());
  while (text.size() < 13) text += '0';
  return text;
}

std::string MakeTimestamp() { return MakeTimestamp(std::chrono::system_clock::now()); }

ApiClient::ApiClient(JsonDocument& apiJson, const Session& session, ApiView& view,
                     std::string baseAddress)
    : apiJson_(apiJson), session_(session), view_(view), baseAddress_(std::move(baseAddress)) {}

bool ApiClient::Fetch(const std::string& pathAndQuery, int method) {
  return apiJson_.Parse(
      BodyText(HttpClient::Request(baseAddress_ + pathAndQuery, {.method = method})));
}

std::string ApiClient::Code() const { return apiJson_.GetSubDocument("code").ToText(); }

std::string ApiClient::CookieParameter() const {
  if (session_.cookie.empty()) return {};
  return "cookie=" + UrlEncode(session_.cookie, 1) + "&";
}

void ApiClient::LikeSong(const std::string& songId) {
  if (session_.cookie.empty()) return;
  // The cookie is encoded here too: raw, its ";", "=" and spaces would split the query.
  if (!Fetch("/like?id=" + songId + "&cookie=" + UrlEncode(session_.cookie, 1) +
                 "&timestamp=" + MakeTimestamp(),
             1))
    return;
  const std::string code = Code();
  if (code == "200") view_.setLikeResult(kLikeSucceeded);
  if (code == "460") view_.setLikeResult(kLikeFailed);
}

std::string ApiClient::GetSongUrl(const std::string& songId, const std::string& bitRate) {
  if (!Fetch("/song/url?" + CookieParameter() + "id=" + songId + "&br=" + bitRate +
             "&timestamp=" + MakeTimestamp()))
    return {};
  return apiJson_.GetText("data[0].url");
}

std::string ApiClient::GetLyric(const std::string& songId) {
  // Cut out as text, not parsed: the caller wants the LRC with its escapes as they arrived.
  const std::string text = BodyText(HttpClient::Request(baseAddress_ + "/lyric?id=" + songId));
  return TextBetween(text, ",\"lyric\":\"", "\"},\"klyric\":");
}

Bytes ApiClient::GetCoverImage(const std::string& songId) {
  std::string pictureUrl;
  if (Fetch("/song/detail?ids=" + songId)) pictureUrl = apiJson_.GetText("songs[0].al.picUrl");
  if (pictureUrl.empty()) return {};
  return HttpClient::Request(pictureUrl);
}

void ApiClient::FetchPersonalFm(PlayQueue& fmQueue) {
  if (!Fetch("/personal_fm?" + CookieParameter() + "timestamp=" + MakeTimestamp())) return;
  const std::size_t n = static_cast<std::size_t>(apiJson_.Count("data"));
  for (std::size_t i = 0; i < n; ++i) {
    std::string names;
    const std::string artistsPath = Indexed("data[", i, "].artists");
    const std::size_t artistCount = static_cast<std::size_t>(apiJson_.Count(artistsPath));
    for (std::size_t j = 0; j < artistCount; ++j)
      names += apiJson_.GetText(artistsPath + Indexed("[", j, "].name")) + ",";
    fmQueue.append({.id = apiJson_.GetSubDocument(Indexed("data[", i, "].id")).ToText(),
                    .name = apiJson_.GetText(Indexed("data[", i, "].name")),
                    .artists = TextBefore(names, ","),
                    .album = apiJson_.GetText(Indexed("data[", i, "].album.type"))});
  }
}

void ApiClient::LoadPlaylist(const std::string& playlistId, PlayQueue& playlistQueue,
                             PlaylistLoadState& loadState) {
  playlistQueue.clear();
  if (!Fetch("/playlist/detail?id=" + playlistId)) return;
  if (Code() != "200") {
    if (Code() == "404") {
      loadState.playlistLoadCode = "404";
      view_.showMessage(kPlaylistNotFound);
    }
    return;
  }
  loadState.playlistCoverUrl = apiJson_.GetText("playlist.coverImgUrl");
  loadState.playlistName = apiJson_.GetText("playlist.name");
  const std::size_t trackCount = static_cast<std::size_t>(apiJson_.Count("playlist.trackIds"));
  std::vector<std::string> trackIds;
  trackIds.reserve(trackCount);
  for (std::size_t i = 0; i < trackCount; ++i)
    trackIds.push_back(apiJson_.GetSubDocument(Indexed("playlist.trackIds[", i, "].id")).ToText());

  view_.setCoverPicture(UrlFetch(loadState.playlistCoverUrl));
  view_.setSongNameCaption(loadState.playlistName);
  view_.pumpedWait(1000);

  // One request even for no tracks: the server answers an empty id list with no songs.
  std::size_t first = 0;
  do {
    const std::size_t end = std::min(trackIds.size(), first + kSongDetailBatch);
    std::string ids;
    for (std::size_t i = first; i < end; ++i) ids += (i == first ? "" : ",") + trackIds[i];
    first = end;
    // A batch that does not parse ends the load: the ones after it would most likely fail the
    // same way, each after its own time-out.
    if (!Fetch("/song/detail?ids=" + ids)) break;

    // Read the whole batch before letting window messages run: a handler that runs in between
    // may parse another answer into apiJson.
    const std::size_t songCount = static_cast<std::size_t>(apiJson_.Count("songs"));
    std::vector<Song> songs;
    songs.reserve(songCount);
    for (std::size_t i = 0; i < songCount; ++i) {
      const std::string song = Indexed("songs[", i, "]");
      std::string names;
      const std::size_t artistCount = static_cast<std::size_t>(apiJson_.Count(song + ".ar"));
      for (std::size_t j = 0; j < artistCount; ++j)
        names += apiJson_.GetText(song + Indexed(".ar[", j, "].name")) + ",";
      if (!names.empty()) names.pop_back();
      songs.push_back({.id = apiJson_.GetSubDocument(song + ".id").ToText(),
                       .name = apiJson_.GetText(song + ".name"),
                       .artists = std::move(names),
                       .album = apiJson_.GetText(song + ".al.name")});
    }
    for (const Song& song : songs) {
      playlistQueue.append(song);
      std::string progress = "共";
      progress += std::to_string(trackIds.size());
      progress += "首/已加载：";
      progress += std::to_string(playlistQueue.names.size());
      progress += "首";
      view_.setArtistCaption(progress);
      view_.processPendingEvents();
    }
  } while (first < trackIds.size());
  loadState.playlistLoadCode = "200";
}

}  // namespace lumora
